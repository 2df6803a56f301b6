#include "platform/file_system.h"

#include <fcntl.h>
#include <unistd.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>

#include "platform/random_access_file.h"

namespace zenvira::platform {

std::size_t fileNameLimit(const std::string& folder) {
    errno = 0;
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

std::optional<std::int64_t> freeDiskBytes(const std::string& folder) {
    struct statvfs facts {};
    if (::statvfs(folder.c_str(), &facts) != 0) return std::nullopt;
    // f_bavail, not f_bfree: the blocks kept for the superuser are no room for a download.
    return static_cast<std::int64_t>(facts.f_bavail) * static_cast<std::int64_t>(facts.f_frsize);
}

bool setFileMark(const std::string& path, const std::string& name, const std::string& value) {
    return ::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

std::optional<std::string> fileMark(const std::string& path, const std::string& name) {
    char buffer[4096];
    const ssize_t length = ::getxattr(path.c_str(), name.c_str(), buffer, sizeof buffer);
    if (length < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(length));
}

bool replaceFileDurably(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = systemErrorText(errno);
        return false;
    }
    const char* data = text.data();
    std::size_t left = text.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) ok = false;
        else {
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    if (ok && ::fdatasync(fd) != 0) ok = false;
    const int code = errno;
    ::close(fd);
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = systemErrorText(ok ? errno : code);
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace zenvira::platform
