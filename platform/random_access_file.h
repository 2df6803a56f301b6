#pragma once
// A file written at explicit offsets, as parallel ranges of a download arrive. Failures come
// back as the system's reason in words ("Permission denied", "No space left on the disk").
#include <cstddef>
#include <cstdint>
#include <string>

namespace zenvira::platform {

class RandomAccessFile {
public:
    RandomAccessFile() = default;
    ~RandomAccessFile();
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;

    // Opens for reading and writing, creating the file when missing; `discardContent` empties
    // it. A symbolic link in place of the file is refused rather than followed.
    bool open(const std::string& path, bool discardContent, std::string& error);
    bool isOpen() const;
    void close();

    // Current size in bytes, or -1 when it cannot be read.
    std::int64_t size() const;
    // Sets the size, reserving disk space where the file system can, so a full disk shows at
    // once; falls back to a sparse size elsewhere.
    bool reserve(std::int64_t size, std::string& error);
    bool truncate(std::int64_t size, std::string& error);
    // Writes all of `length` bytes at `offset`.
    bool writeAt(const void* data, std::size_t length, std::int64_t offset, std::string& error);
    // Reads all of `length` bytes at `offset`; false also when the file ends before.
    bool readAt(void* data, std::size_t length, std::int64_t offset, std::string& error) const;
    // Puts the written data on the disk. Safe to call from another thread while writes go on.
    bool flush(std::string& error);
    // Starts writing `length` bytes at `offset` to the disk without waiting for them, so a
    // later flush finds little left. A hint: where the system has no such call it does nothing.
    void startWriteback(std::int64_t offset, std::int64_t length);

    // An exclusive advisory lock for as long as this object keeps the file open; the system
    // drops it when the process ends in any way. Another open of the same file, in this
    // process or another, gets Busy.
    enum class Lock { Taken, Busy, Failed };
    Lock tryLock(std::string& error);

private:
    std::intptr_t handle_ = -1;
};

// The system's reason for an error number, in words.
std::string systemErrorText(int code);

}  // namespace zenvira::platform
