// fragmentsFromIndex: a SegmentBase file cut into its fragments by its `sidx` box
// (ISO/IEC 14496-12 segment index, versions 0 and 1).
#include <cstdint>
#include <string>
#include <string_view>

#include "media/dash/mpd_limits.h"
#include "media/dash/mpd_manifest.h"

namespace zenvira::components::dash {

namespace {

// A sidx may point at further sidx boxes inside the same index bytes; deeper chains than
// this are no real file.
constexpr int kDeepestIndexChain = 8;

class ByteReader {
public:
    ByteReader(std::string_view bytes, std::size_t at) : bytes_(bytes), at_(at) {}
    bool has(std::size_t count) const { return at_ <= bytes_.size() && bytes_.size() - at_ >= count; }
    std::uint64_t take(int count) {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | static_cast<unsigned char>(bytes_[at_++]);
        return value;
    }
    void skip(std::size_t count) { at_ += count; }
    std::size_t at() const { return at_; }

private:
    std::string_view bytes_;
    std::size_t at_;
};

struct Box {
    std::size_t start = 0, size = 0;  // within the index bytes
    bool found = false;
};

// The first `sidx` box at or after `from` among the top-level boxes of `bytes`.
Box findIndexBox(std::string_view bytes, std::size_t from) {
    std::size_t at = from;
    while (at < bytes.size() && bytes.size() - at >= 8) {
        ByteReader reader(bytes, at);
        std::uint64_t size = reader.take(4);
        const std::string_view type = bytes.substr(at + 4, 4);
        std::size_t header = 8;
        if (size == 1) {
            if (!reader.has(12)) return {};
            reader.skip(4);
            size = reader.take(8);
            header = 16;
        } else if (size == 0) {
            size = bytes.size() - at;
        }
        if (size < header || size > bytes.size() - at) return {};
        if (type == "sidx") return {at, static_cast<std::size_t>(size), true};
        at += static_cast<std::size_t>(size);
    }
    return {};
}

struct IndexReading {
    const Representation& representation;
    std::string_view bytes;
    std::uint64_t bytesOffset;  // where the index bytes sit in the file
    IndexResult result;
    double clock = 0;
    bool clockSet = false;
};

const char* kNotAnIndex = "The video's index (sidx) cannot be read";

bool readIndexBox(IndexReading& reading, std::size_t boxStart, std::size_t boxSize, int depth) {
    if (depth > kDeepestIndexChain) {
        reading.result.error = "The video's index (sidx) refers to itself or nests too deeply";
        return false;
    }
    ByteReader reader(reading.bytes.substr(0, boxStart + boxSize), boxStart);
    reader.skip(reader.take(4) == 1 ? 12 : 4);  // the type, and the 64-bit size when there is one
    if (!reader.has(4 + 4 + 4)) return reading.result.error = kNotAnIndex, false;
    const auto version = reader.take(1);
    reader.skip(3 + 4);  // flags, reference_ID
    const std::uint64_t timescale = reader.take(4);
    const int wide = version == 0 ? 4 : 8;
    if (version > 1 || timescale == 0 || !reader.has(2 * wide + 4)) return reading.result.error = kNotAnIndex, false;
    const std::uint64_t earliest = reader.take(wide);
    const std::uint64_t firstOffset = reader.take(wide);
    reader.skip(2);
    const std::uint64_t count = reader.take(2);
    if (!reader.has(count * 12)) return reading.result.error = kNotAnIndex, false;
    if (!reading.clockSet) {
        reading.clock = static_cast<double>(earliest) / static_cast<double>(timescale);
        reading.clockSet = true;
    }
    // Offsets count from the first byte after this box.
    const std::uint64_t anchor = reading.bytesOffset + boxStart + boxSize;
    if (firstOffset > kLargestFileOffset || anchor > kLargestFileOffset)
        return reading.result.error = kNotAnIndex, false;
    std::uint64_t offset = anchor + firstOffset;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t word = reader.take(4);
        const std::uint64_t duration = reader.take(4);
        reader.skip(4);  // stream access point
        const bool toIndex = word >> 31;
        const std::uint64_t size = word & 0x7fffffffu;
        if (size == 0) return reading.result.error = kNotAnIndex, false;
        const ByteSpan span{offset, offset + size - 1};
        if (toIndex) {
            // The reference spans that index and the media it lists; followed only when the
            // index box itself lies inside the bytes already read.
            if (span.first < reading.bytesOffset || span.first - reading.bytesOffset >= reading.bytes.size()) {
                reading.result.error =
                    "The video's index (sidx) refers to further indexes outside the part that was read";
                return false;
            }
            const auto start = static_cast<std::size_t>(span.first - reading.bytesOffset);
            const Box box = findIndexBox(reading.bytes, start);
            if (!box.found || box.start != start || box.size > size ||
                !readIndexBox(reading, box.start, box.size, depth + 1)) {
                if (reading.result.error.empty()) reading.result.error = kNotAnIndex;
                return false;
            }
        } else {
            if (reading.result.fragments.size() >= kMostFragmentsPerTrack) {
                reading.result.error = "The video's index lists too many fragments";
                return false;
            }
            Fragment fragment;
            fragment.piece = Piece{reading.representation.wholeFile.addresses, span};
            fragment.seconds = static_cast<double>(duration) / static_cast<double>(timescale);
            fragment.startSeconds = reading.clock;
            reading.clock += fragment.seconds;
            reading.result.fragments.push_back(std::move(fragment));
        }
        offset += size;
    }
    return true;
}

}  // namespace

IndexResult fragmentsFromIndex(const Representation& representation, std::string_view indexBytes) {
    IndexReading reading{representation, indexBytes, 0, {}};
    if (representation.indexToRead && representation.indexToRead->range)
        reading.bytesOffset = representation.indexToRead->range->first;
    if (representation.wholeFile.addresses.empty()) {
        reading.result.error = "The video has no index to read";
        return reading.result;
    }
    const Box box = findIndexBox(indexBytes, 0);
    if (!box.found) {
        reading.result.error = kNotAnIndex;
        return reading.result;
    }
    if (!readIndexBox(reading, box.start, box.size, 0))
        reading.result.fragments.clear();
    else if (reading.result.fragments.empty())
        reading.result.error = "The video's index lists no fragment";
    return reading.result;
}

}  // namespace zenvira::components::dash
