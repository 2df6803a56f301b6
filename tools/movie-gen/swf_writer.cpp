#include "swf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace zenvira::moviegen {
namespace {

class BitWriter {
public:
    void put(std::uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            current_ = static_cast<std::uint8_t>((current_ << 1) | ((value >> i) & 1U));
            if (++used_ == 8) flush();
        }
    }
    Bytes finish() {
        if (used_ > 0) {
            current_ = static_cast<std::uint8_t>(current_ << (8 - used_));
            flush();
        }
        return bytes_;
    }

private:
    void flush() {
        bytes_.push_back(current_);
        current_ = 0;
        used_ = 0;
    }
    Bytes bytes_;
    std::uint8_t current_ = 0;
    int used_ = 0;
};

// Bits a signed field needs to hold value, sign bit included.
int signedBits(int value) {
    int bits = 1;
    while (value >= (1 << (bits - 1)) || value < -(1 << (bits - 1))) ++bits;
    return bits;
}

void putLittleEndian(Bytes& out, std::uint32_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

Bytes rectRecord(int xMin, int xMax, int yMin, int yMax) {
    int bits = 1;
    for (int v : {xMin, xMax, yMin, yMax}) bits = std::max(bits, signedBits(v));
    BitWriter writer;
    writer.put(static_cast<std::uint32_t>(bits), 5);
    for (int v : {xMin, xMax, yMin, yMax}) writer.put(static_cast<std::uint32_t>(v), bits);
    return writer.finish();
}

Bytes tag(int code, const Bytes& body) {
    Bytes out;
    const auto length = static_cast<std::uint32_t>(body.size());
    if (length < 0x3F) {
        putLittleEndian(out, (static_cast<std::uint32_t>(code) << 6) | length, 2);
    } else {
        putLittleEndian(out, (static_cast<std::uint32_t>(code) << 6) | 0x3F, 2);
        putLittleEndian(out, length, 4);
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes compressedMovie(int version, const Bytes& uncompressedBody) {
    Bytes out = {'C', 'W', 'S', static_cast<std::uint8_t>(version)};
    putLittleEndian(out, static_cast<std::uint32_t>(uncompressedBody.size() + 8), 4);
    uLongf packedSize = compressBound(static_cast<uLong>(uncompressedBody.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, uncompressedBody.data(),
                  static_cast<uLong>(uncompressedBody.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress the movie");
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
    return out;
}

}  // namespace zenvira::moviegen
