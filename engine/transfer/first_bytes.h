#pragma once
// Whether the first bytes of an answer can be the media a download asked for. Servers answer
// an expired or forbidden address with a web page under status 200, and some send it with the
// media's own Content-Type: saved, it would be a "video" that never plays.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::components {

// How many first bytes the check reads; fewer when the body is shorter.
constexpr std::size_t kFirstBytesChecked = 512;

// Whether a file of this name is meant to hold media (its extension is a video or sound
// container's): other downloads, a checksum or a page saved on purpose, are not judged.
bool namesMedia(const std::string& fileName);

// A sentence when `firstBytes` are a web page or plain text instead of media, naming
// `what` ("The file x.mp4", "A segment (http://...)"); nothing when they can be media.
// Media containers (FLV, MP4, MPEG-TS, WebM, MP3, AAC) all hold bytes no text holds early on.
std::optional<std::string> notMediaProblem(std::string_view firstBytes, const std::string& what);

}  // namespace zenvira::components
