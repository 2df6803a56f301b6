#include "platform/random_access_file.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace zenvira::platform {

namespace {

HANDLE handleOf(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

bool failWithLastError(std::string& error) {
    const DWORD code = GetLastError();
    error = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL ? "No space left on the disk"
                                                                      : win32::systemReason(code);
    return false;
}

// Positioned reads and writes name their offset in an OVERLAPPED, at most 1 GiB at a time.
OVERLAPPED overlappedAt(std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xffffffff);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

DWORD chunkOf(std::size_t length) { return static_cast<DWORD>(length > (1u << 30) ? (1u << 30) : length); }

}  // namespace

std::string systemErrorText(int code) {
    if (code == ERROR_DISK_FULL) return "No space left on the disk";
    return win32::systemReason(static_cast<DWORD>(code));
}

RandomAccessFile::~RandomAccessFile() { close(); }

bool RandomAccessFile::open(const std::string& path, bool discardContent, std::string& error) {
    close();
    const HANDLE file = CreateFileW(win32::wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    discardContent ? CREATE_ALWAYS : OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failWithLastError(error);
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool RandomAccessFile::isOpen() const { return handle_ != -1; }

void RandomAccessFile::close() {
    if (handle_ != -1) CloseHandle(handleOf(handle_));
    handle_ = -1;
}

std::int64_t RandomAccessFile::size() const {
    LARGE_INTEGER size{};
    if (handle_ == -1 || !GetFileSizeEx(handleOf(handle_), &size)) return -1;
    return size.QuadPart;
}

bool RandomAccessFile::reserve(std::int64_t size, std::string& error) {
    if (size <= 0 || this->size() >= size) return true;
    return truncate(size, error);
}

bool RandomAccessFile::truncate(std::int64_t size, std::string& error) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    if (!SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof end))
        return failWithLastError(error);
    return true;
}

bool RandomAccessFile::writeAt(const void* data, std::size_t length, std::int64_t offset, std::string& error) {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        OVERLAPPED at = overlappedAt(offset);
        const DWORD chunk = chunkOf(length);
        DWORD written = 0;
        if (!WriteFile(handleOf(handle_), bytes, chunk, &written, &at)) return failWithLastError(error);
        bytes += written;
        length -= written;
        offset += written;
    }
    return true;
}

bool RandomAccessFile::readAt(void* data, std::size_t length, std::int64_t offset, std::string& error) const {
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        OVERLAPPED at = overlappedAt(offset);
        const DWORD chunk = chunkOf(length);
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), bytes, chunk, &got, &at)) return failWithLastError(error);
        if (got == 0) {
            error = "The file ended early";
            return false;
        }
        bytes += got;
        length -= got;
        offset += got;
    }
    return true;
}

RandomAccessFile::Lock RandomAccessFile::tryLock(std::string& error) {
    // One byte far past any data, so the lock never blocks reads or writes of the content.
    OVERLAPPED at{};
    at.Offset = 0xffffffff;
    at.OffsetHigh = 0x7fffffff;
    if (LockFileEx(handleOf(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return Lock::Taken;
    if (GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING) return Lock::Busy;
    failWithLastError(error);
    return Lock::Failed;
}

bool RandomAccessFile::flush(std::string& error) {
    if (!FlushFileBuffers(handleOf(handle_))) return failWithLastError(error);
    return true;
}

// Windows writes the cache back on its own schedule; the flush before the rename waits for it.
void RandomAccessFile::startWriteback(std::int64_t, std::int64_t) {}

}  // namespace zenvira::platform
