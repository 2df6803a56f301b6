#pragma once
// Joins the pieces of one stream (HLS segments: MPEG-TS, or fMP4 after its initialisation
// section) into one MP4 file without re-encoding, with FFmpeg's libraries (loaded on the first
// call; when they cannot be, the join fails and says so).
#include <functional>
#include <string>
#include <vector>

namespace zenvira::components {

struct JoinResult {
    bool ok = false;
    std::string error;  // one line a person understands
    double seconds = 0;  // duration of the joined file
    bool stopped = false;  // ended because it was asked to: no output is left
};

// Asked between reads and packets of a join; true ends it within a read or a packet.
using JoinCancelled = std::function<bool()>;

inline constexpr const char* kJoinStoppedText = "The join was stopped";

// Reads `pieces` one after the other as one byte stream and writes `output` (an MP4,
// whatever its name ends in). `output` is overwritten. When `cancelled` says so, the join
// ends, removes what it wrote and says it was stopped.
JoinResult joinIntoMp4(const std::vector<std::string>& pieces, const std::string& output,
                       const JoinCancelled& cancelled = {});

// Joins tracks that come apart (video and its sound, each a list of pieces read back to back
// as one stream) into one `output` of `container` ("mp4", "webm" or "mkv") without
// re-encoding: every video and audio stream of every track, timestamps kept, packets
// interleaved by time. A stop removes what was written, as for joinIntoMp4.
JoinResult joinTracks(const std::vector<std::vector<std::string>>& tracks, const std::string& output,
                      const std::string& container, const JoinCancelled& cancelled = {});

// The container tracks of these codecs (as manifests and playlists name them: "avc1.64001f",
// "mp4a.40.2", "vp09.00.10.08", "opus") are joined into: "webm" when all are WebM's
// (VP8, VP9, AV1, Opus, Vorbis), "mp4" when MP4 holds them all, "mkv" otherwise. Unknown
// (empty) codecs say nothing against MP4.
std::string containerForCodecs(const std::vector<std::string>& codecs);

}  // namespace zenvira::components
