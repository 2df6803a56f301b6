#pragma once
// What a media file's first bytes say plainly, read without FFmpeg: an MP4 whose index
// (`moov`) comes before its data, and an FLV whose `onMetaData` opens it, name their container
// and frame size in a few hundred bytes. Loading FFmpeg's libraries for that costs tens of
// milliseconds and megabytes; they are left for everything else.
#include <optional>
#include <string_view>

#include "media/media_file/media_probe.h"

namespace zenvira::components {

// The facts when the header tells them for sure (a video stream with its size); none when
// FFmpeg has to look.
std::optional<MediaFacts> readPlainHeader(std::string_view firstBytes);

}  // namespace zenvira::components
