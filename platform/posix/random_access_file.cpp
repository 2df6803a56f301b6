#include "platform/random_access_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zenvira::platform {

namespace {

bool failWith(int code, std::string& error) {
    error = systemErrorText(code);
    return false;
}

}  // namespace

std::string systemErrorText(int code) {
    if (code == ENOSPC) return "No space left on the disk";
    return std::generic_category().message(code);
}

RandomAccessFile::~RandomAccessFile() { close(); }

bool RandomAccessFile::open(const std::string& path, bool discardContent, std::string& error) {
    close();
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    if (discardContent) flags |= O_TRUNC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return failWith(errno, error);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return failWith(code, error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        error = "Not a regular file";
        return false;
    }
    handle_ = fd;
    return true;
}

bool RandomAccessFile::isOpen() const { return handle_ >= 0; }

void RandomAccessFile::close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

std::int64_t RandomAccessFile::size() const {
    struct stat info {};
    if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool RandomAccessFile::reserve(std::int64_t size, std::string& error) {
    if (size <= 0) return true;
    const int result = ::fallocate(static_cast<int>(handle_), 0, 0, static_cast<off_t>(size));
    if (result == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS) return failWith(errno, error);
    if (this->size() >= size) return true;
    return truncate(size, error);
}

bool RandomAccessFile::truncate(std::int64_t size, std::string& error) {
    if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0) return failWith(errno, error);
    return true;
}

bool RandomAccessFile::writeAt(const void* data, std::size_t length, std::int64_t offset, std::string& error) {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = ::pwrite(static_cast<int>(handle_), bytes, length, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            return failWith(errno, error);
        }
        if (written == 0) return failWith(EIO, error);
        bytes += written;
        length -= static_cast<std::size_t>(written);
        offset += written;
    }
    return true;
}

bool RandomAccessFile::readAt(void* data, std::size_t length, std::int64_t offset, std::string& error) const {
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        const ssize_t got = ::pread(static_cast<int>(handle_), bytes, length, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            return failWith(errno, error);
        }
        if (got == 0) {
            error = "The file ended early";
            return false;
        }
        bytes += got;
        length -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

RandomAccessFile::Lock RandomAccessFile::tryLock(std::string& error) {
    // flock, not fcntl: its lock belongs to this open file, so a second open in the same
    // process is refused too.
    while (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return Lock::Busy;
        failWith(errno, error);
        return Lock::Failed;
    }
    return Lock::Taken;
}

bool RandomAccessFile::flush(std::string& error) {
    if (::fdatasync(static_cast<int>(handle_)) != 0) return failWith(errno, error);
    return true;
}

void RandomAccessFile::startWriteback(std::int64_t offset, std::int64_t length) {
#ifdef __linux__
    if (handle_ >= 0 && length > 0)
        ::sync_file_range(static_cast<int>(handle_), static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
}

}  // namespace zenvira::platform
