#pragma once
// Source clips made with ffmpeg at test time, and what ffprobe reads in a file.
#include <string>
#include <vector>

#include "tests/media/flv_clip.h"

namespace zenvira::encoder::testing {

using testmedia::Clip;

// A 2-second FLV (320x240 at 25 fps, Sorenson Spark; a 440 Hz tone at 44.1 kHz, MP3), made
// once per build tree and shared by the tests.
std::string clipPath(Clip clip);

struct ProbedStream {
    std::string type;  // "video", "audio"
    std::string codec;
    int width = 0;
    int height = 0;
    std::string frameRate;  // r_frame_rate
    std::string aspect;     // display_aspect_ratio
    int sampleRate = 0;
    int channels = 0;
};

struct ProbedFile {
    bool ok = false;
    std::string format;  // format_name
    double duration = 0;
    std::vector<ProbedStream> streams;
    const ProbedStream* first(const std::string& type) const;
    int count(const std::string& type) const;
};

// ffprobe -show_streams -show_format -of json, read.
ProbedFile probeFile(const std::string& path);

}  // namespace zenvira::encoder::testing
