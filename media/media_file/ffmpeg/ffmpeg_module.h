#pragma once
// Inside the media module: the work done with FFmpeg's libraries, which only this module links.
#include "media/media_file/media_probe.h"
#include "media/media_file/segment_join.h"

namespace zenvira::components::ffmpeg {

MediaFacts probe(std::string_view firstBytes);
JoinResult join(const std::vector<std::string>& pieces, const std::string& output, const JoinCancelled& cancelled);
JoinResult joinTracks(const std::vector<std::vector<std::string>>& tracks, const std::string& output,
                      const std::string& container, const JoinCancelled& cancelled);

}  // namespace zenvira::components::ffmpeg
