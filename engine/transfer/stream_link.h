#pragma once
// Where a running download meets whoever watches it while it comes. The download says which
// file holds its bytes, its size once known, every range as it lands on the disk and how it
// ended; a reader (the local stream's server, on threads of its own) waits for the bytes it
// is about to send and says where it reads, so the download fetches those regions first.
// Thread-safe: the download's thread writes, any number of reader threads read.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/policy/byte_ranges.h"

namespace zenvira::components {

class StreamLink {
public:
    using Clock = std::chrono::steady_clock;
    // How far past its position a reader's region reaches: what a player buffers ahead.
    static constexpr std::int64_t kReadAhead = 2 * 1024 * 1024;

    // What a reader may send now from one position.
    struct Available {
        std::int64_t size = -1;  // the file's size, -1 while unknown
        std::int64_t bytes = 0;  // bytes on the disk from the position on, in one run
        std::string path;  // the file that holds them
        bool ended = false;  // the download ended: nothing more comes
        bool whole = false;  // ... and the file is complete under `path`
    };

    // The download's side.
    // The file the bytes go to (the part file, then the finished file once renamed).
    void setFile(const std::string& path);
    // The size once the server said it, and what is on the disk already.
    void begin(std::int64_t size, const ByteRanges& kept);
    void arrived(ByteRange range);
    // The download ended; `wholeFile`: complete at `path`.
    void end(bool wholeFile, const std::string& path);
    // The regions readers are about to read, nearest the front of each reader first; empty
    // when nobody reads.
    std::vector<ByteRange> wanted() const;

    // A reader's side.
    // A reader starts at `position`; the number names it in the calls below.
    int openReader(std::int64_t position);
    void moveReader(int reader, std::int64_t position);
    void closeReader(int reader);
    // What is there from `position` on; waits until something is, the size is known, or the
    // download ended, at most until `deadline`.
    Available waitFor(std::int64_t position, Clock::time_point deadline) const;
    Available now(std::int64_t position) const;

private:
    Available availableLocked(std::int64_t position) const;
    bool readyLocked(std::int64_t position) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string path_;
    std::int64_t size_ = -1;
    ByteRanges done_;
    bool ended_ = false;
    bool whole_ = false;
    std::map<int, std::int64_t> readers_;  // reader -> where it reads
    int nextReader_ = 1;
};

}  // namespace zenvira::components
