#pragma once
// What a media file is, read with FFmpeg's libraries from its first bytes: enough to tell
// a video's container and frame height before downloading it. FFmpeg's libraries are loaded
// on the first call (media_module.h), not when the program starts.
#include <string>
#include <string_view>

namespace zenvira::components {

struct MediaFacts {
    bool recognised = false;  // FFmpeg knows the format
    std::string container;    // the extension files of this format carry: "mp4", "webm", "flv", "mkv", "ts"...
    int width = 0, height = 0;  // of the first video stream, 0 when none was found
    std::string error;          // why nothing could be read when FFmpeg's libraries could not be loaded
};

MediaFacts probeMediaBytes(std::string_view firstBytes);

// The extension for FFmpeg's demuxer name ("mov,mp4,m4a,3gp,3g2,mj2" -> "mp4").
std::string extensionOfFormat(std::string_view formatName, bool isWebm);

}  // namespace zenvira::components
