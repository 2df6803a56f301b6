#pragma once
// Small FLV clips made with the installed ffmpeg at test time, so no media file has to come
// from elsewhere: a test pattern (Sorenson Spark, 25 fps) and a 440 Hz tone (MP3, 44.1 kHz).
#include <QString>

namespace zenvira::testmedia {

enum class Clip { PictureAndSound, PictureOnly, SoundOnly };

// Writes the clip to `path`, creating its folder; false when ffmpeg is missing or fails.
bool makeFlvClip(const QString& path, int width, int height, int seconds, Clip streams = Clip::PictureAndSound);

}  // namespace zenvira::testmedia
