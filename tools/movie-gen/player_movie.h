#pragma once
// The player movie: a 320 x 260-pixel stage at 20 frames per second, two frames on a black
// background; the second frame stops the timeline. The video itself is the host's business.
#include "swf_writer.h"

namespace zenvira::moviegen {

constexpr int kMovieVersion = 8;
constexpr int kStageWidthTwips = 6400;
constexpr int kStageHeightTwips = 5200;
constexpr int kFramesPerSecond = 20;
constexpr int kFrameCount = 2;

Bytes playerMovie();

}  // namespace zenvira::moviegen
