#include "engine/journal/disk_room.h"

#include <cstdio>
#include <filesystem>

#include "platform/file_system.h"

namespace zenvira::components {

namespace {

std::string sizeText(std::int64_t bytes) {
    constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
    char text[64];
    if (bytes >= (1ll << 30))
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / kGiB);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace

std::optional<std::string> diskRoomProblem(const std::string& path, std::int64_t moreBytes) {
    if (moreBytes <= 0) return std::nullopt;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const auto free = platform::freeDiskBytes(folder.empty() ? "." : folder);
    if (!free || moreBytes <= *free - kFreeSpaceMargin) return std::nullopt;
    return "There is not enough free space on the disk for " + path + ": it needs " + sizeText(moreBytes) + " and " +
           sizeText(*free) + " are free";
}

}  // namespace zenvira::components
