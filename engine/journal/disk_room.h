#pragma once
// Whether the disk has room for a file before any of it is allocated: a server that announces
// more than the disk holds must not get to fill it, and other programs with it.
#include <cstdint>
#include <optional>
#include <string>

namespace zenvira::components {

// Room kept free beyond the file, for the file system's own blocks and for other programs.
constexpr std::int64_t kFreeSpaceMargin = 64ll << 20;

// A sentence when `moreBytes` more on the disk that holds `path` would leave less than the
// margin free; nothing when they fit or the system cannot tell.
std::optional<std::string> diskRoomProblem(const std::string& path, std::int64_t moreBytes);

}  // namespace zenvira::components
