#include "platform/short_path.h"

#include <sys/stat.h>

namespace zenvira::platform {

std::string shortPath(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return {};
    return path;
}

}  // namespace zenvira::platform
