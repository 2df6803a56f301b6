#include "engine/policy/byte_ranges.h"

#include <algorithm>

namespace zenvira::components {

void ByteRanges::add(ByteRange range) {
    if (range.end <= range.begin) return;
    std::vector<ByteRange> merged;
    merged.reserve(ranges_.size() + 1);
    bool placed = false;
    for (const auto& existing : ranges_) {
        if (existing.end < range.begin) {
            merged.push_back(existing);
        } else if (existing.begin > range.end) {
            if (!placed) merged.push_back(range);
            placed = true;
            merged.push_back(existing);
        } else {
            range.begin = std::min(range.begin, existing.begin);
            range.end = std::max(range.end, existing.end);
        }
    }
    if (!placed) merged.push_back(range);
    ranges_ = std::move(merged);
}

std::int64_t ByteRanges::total() const {
    std::int64_t sum = 0;
    for (const auto& range : ranges_) sum += range.length();
    return sum;
}

std::int64_t ByteRanges::maxEnd() const { return ranges_.empty() ? 0 : ranges_.back().end; }

bool ByteRanges::coversAll(std::int64_t size) const {
    if (size <= 0) return true;
    return ranges_.size() == 1 && ranges_.front().begin <= 0 && ranges_.front().end >= size;
}

std::vector<ByteRange> ByteRanges::missingWithin(std::int64_t size) const {
    std::vector<ByteRange> missing;
    std::int64_t next = 0;
    for (const auto& range : ranges_) {
        if (range.begin >= size) break;
        if (range.begin > next) missing.push_back({next, range.begin});
        next = std::max(next, range.end);
    }
    if (next < size) missing.push_back({next, size});
    return missing;
}

ByteRanges ByteRanges::clippedTo(std::int64_t size) const {
    ByteRanges clipped;
    for (const auto& range : ranges_)
        if (range.begin < size) clipped.ranges_.push_back({std::max<std::int64_t>(range.begin, 0), std::min(range.end, size)});
    return clipped;
}

}  // namespace zenvira::components
