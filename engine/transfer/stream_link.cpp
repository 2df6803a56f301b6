#include "engine/transfer/stream_link.h"

#include <algorithm>

namespace zenvira::components {

void StreamLink::setFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
}

void StreamLink::begin(std::int64_t size, const ByteRanges& kept) {
    {
        std::lock_guard lock(mutex_);
        size_ = size;
        done_ = kept;
    }
    changed_.notify_all();
}

void StreamLink::arrived(ByteRange range) {
    if (range.length() <= 0) return;
    {
        std::lock_guard lock(mutex_);
        done_.add(range);
    }
    changed_.notify_all();
}

void StreamLink::end(bool wholeFile, const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        whole_ = wholeFile;
        if (!path.empty()) path_ = path;
        if (wholeFile && size_ >= 0) done_.add({0, size_});
    }
    changed_.notify_all();
}

std::vector<ByteRange> StreamLink::wanted() const {
    std::lock_guard lock(mutex_);
    std::vector<ByteRange> regions;
    if (ended_ || size_ < 0) return regions;
    for (const auto& [reader, position] : readers_) {
        // The region starts where the bytes on the disk from the reader's position end.
        std::int64_t from = position;
        for (const auto& range : done_.items())
            if (range.begin <= from && range.end > from) from = range.end;
        const std::int64_t to = std::min(size_, position + kReadAhead);
        if (from < to) regions.push_back({from, to});
    }
    std::sort(regions.begin(), regions.end(), [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
    return regions;
}

int StreamLink::openReader(std::int64_t position) {
    std::lock_guard lock(mutex_);
    const int reader = nextReader_++;
    readers_[reader] = position;
    return reader;
}

void StreamLink::moveReader(int reader, std::int64_t position) {
    std::lock_guard lock(mutex_);
    if (auto found = readers_.find(reader); found != readers_.end()) found->second = position;
}

void StreamLink::closeReader(int reader) {
    std::lock_guard lock(mutex_);
    readers_.erase(reader);
}

bool StreamLink::readyLocked(std::int64_t position) const {
    if (ended_) return true;
    if (size_ < 0) return false;
    if (position >= size_) return true;
    return std::any_of(done_.items().begin(), done_.items().end(),
                       [position](const ByteRange& r) { return r.begin <= position && r.end > position; });
}

StreamLink::Available StreamLink::availableLocked(std::int64_t position) const {
    Available available;
    available.size = size_;
    available.path = path_;
    available.ended = ended_;
    available.whole = whole_;
    for (const auto& range : done_.items())
        if (range.begin <= position && range.end > position) available.bytes = range.end - position;
    return available;
}

StreamLink::Available StreamLink::waitFor(std::int64_t position, Clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return readyLocked(position); });
    return availableLocked(position);
}

StreamLink::Available StreamLink::now(std::int64_t position) const {
    std::lock_guard lock(mutex_);
    return availableLocked(position);
}

}  // namespace zenvira::components
