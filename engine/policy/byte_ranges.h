#pragma once
// A set of byte ranges of one resource: which parts of a download are already on the disk.
#include <cstdint>
#include <vector>

namespace zenvira::components {

// Bytes begin .. end-1.
struct ByteRange {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::int64_t length() const { return end - begin; }
    bool operator==(const ByteRange&) const = default;
};

// Sorted, non-overlapping, non-touching ranges.
class ByteRanges {
public:
    void add(ByteRange range);
    void clear() { ranges_.clear(); }
    const std::vector<ByteRange>& items() const { return ranges_; }
    std::int64_t total() const;
    std::int64_t maxEnd() const;
    bool coversAll(std::int64_t size) const;
    // What of 0 .. size-1 is not in the set.
    std::vector<ByteRange> missingWithin(std::int64_t size) const;
    // The set cut to 0 .. size-1.
    ByteRanges clippedTo(std::int64_t size) const;

private:
    std::vector<ByteRange> ranges_;
};

}  // namespace zenvira::components
