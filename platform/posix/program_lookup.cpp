#include "platform/program_lookup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace zenvira::platform {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string searchPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const auto colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + std::string(name);
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

// A name with a slash is a path; a bare name is looked up on PATH.
std::string resolve(const std::string& nameOrPath) {
    if (nameOrPath.find('/') != std::string::npos) return isExecutableFile(nameOrPath) ? nameOrPath : std::string();
    return searchPath(nameOrPath);
}

}  // namespace

std::string findFfmpeg(std::string& error) {
    const char* chosen = std::getenv("ZENVIRA_FFMPEG");
    if (chosen && *chosen) {
        std::string found = resolve(chosen);
        if (found.empty()) error = std::string("ZENVIRA_FFMPEG names no program that can be run: ") + chosen;
        return found;
    }
    std::string found = searchPath("ffmpeg");
    if (found.empty()) error = "ffmpeg is not installed (not found on PATH; or set ZENVIRA_FFMPEG)";
    return found;
}

std::string findFfprobe(const std::string& ffmpeg, std::string& error) {
    const auto slash = ffmpeg.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = ffmpeg.substr(0, slash + 1) + "ffprobe";
        if (isExecutableFile(beside)) return beside;
    }
    std::string found = searchPath("ffprobe");
    if (found.empty()) error = "ffprobe is not installed (needed to read the source's streams)";
    return found;
}

std::string findProgram(const std::string& nameOrPath) {
    return nameOrPath.empty() ? std::string() : resolve(nameOrPath);
}

}  // namespace zenvira::platform
