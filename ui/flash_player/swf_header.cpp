#include "ui/flash_player/swf_header.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace zenvira::components {
namespace {

constexpr std::size_t kFixedHeaderBytes = 8;              // signature, version, length
constexpr std::uint32_t kLargestMovie = 256U * 1024 * 1024; // a bigger length is a broken file

std::uint32_t littleEndian32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The whole uncompressed body of a CWS file; nullopt when zlib finds it damaged or its size
// disagrees with the header. Grows as data come, so a lying length field costs nothing.
std::optional<std::vector<std::uint8_t>> inflateBody(std::span<const std::uint8_t> packed,
                                                     std::size_t expectedSize) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::vector<std::uint8_t> body;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    stream.next_in = const_cast<Bytef*>(packed.data());
    stream.avail_in = static_cast<uInt>(packed.size());
    int status = Z_OK;
    while (status == Z_OK && body.size() <= expectedSize) {
        const std::size_t filled = body.size();
        body.resize(filled + kChunk);
        stream.next_out = body.data() + filled;
        stream.avail_out = static_cast<uInt>(kChunk);
        status = inflate(&stream, Z_NO_FLUSH);
        body.resize(filled + kChunk - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0) break;  // input ended early
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END || body.size() != expectedSize) return std::nullopt;
    return body;
}

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // Reads an unsigned field of bits (most significant first); nullopt past the end.
    std::optional<std::uint32_t> take(int bits) {
        std::uint32_t value = 0;
        for (int i = 0; i < bits; ++i) {
            const std::size_t byte = position_ / 8;
            if (byte >= bytes_.size()) return std::nullopt;
            value = (value << 1) | ((bytes_[byte] >> (7 - position_ % 8)) & 1U);
            ++position_;
        }
        return value;
    }
    std::optional<int> takeSigned(int bits) {
        const auto raw = take(bits);
        if (!raw) return std::nullopt;
        if (bits > 0 && (*raw & (1U << (bits - 1)))) return static_cast<int>(*raw) - (1 << bits);
        return static_cast<int>(*raw);
    }
    std::size_t bytesUsed() const { return (position_ + 7) / 8; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// Stage RECT, frame rate and frame count at the start of the body.
std::optional<std::string> readBodyHeader(std::span<const std::uint8_t> body, SwfHeader& header) {
    BitReader bits(body);
    const auto fieldBits = bits.take(5);
    if (!fieldBits) return "the movie ends inside its stage size";
    int rect[4];
    for (int& value : rect) {
        const auto field = bits.takeSigned(static_cast<int>(*fieldBits));
        if (!field) return "the movie ends inside its stage size";
        value = *field;
    }
    const std::size_t at = bits.bytesUsed();
    if (body.size() < at + 4) return "the movie ends before its frame rate and count";
    header.stageWidthTwips = rect[1] - rect[0];
    header.stageHeightTwips = rect[3] - rect[2];
    header.frameRate = body[at + 1] + body[at] / 256.0;
    header.frameCount = body[at + 2] | (body[at + 3] << 8);
    if (header.stageWidthTwips <= 0 || header.stageHeightTwips <= 0) return "the movie's stage is empty";
    return std::nullopt;
}

}  // namespace

SwfReadResult readSwfHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFixedHeaderBytes) return std::string("the file is too short to be a Flash movie");
    SwfHeader header;
    const bool fws = bytes[0] == 'F' && bytes[1] == 'W' && bytes[2] == 'S';
    header.compressed = bytes[0] == 'C' && bytes[1] == 'W' && bytes[2] == 'S';
    if (!fws && !header.compressed) return std::string("the file is not a Flash movie (no FWS or CWS signature)");
    header.version = bytes[3];
    if (header.version < 1) return std::string("the movie's version is 0");
    header.fileLength = littleEndian32(bytes.data() + 4);
    if (header.fileLength < kFixedHeaderBytes || header.fileLength > kLargestMovie)
        return std::string("the movie's length field is out of range");
    const std::size_t bodySize = header.fileLength - kFixedHeaderBytes;
    const auto rest = bytes.subspan(kFixedHeaderBytes);
    std::vector<std::uint8_t> inflated;
    if (header.compressed) {
        auto body = inflateBody(rest, bodySize);
        if (!body) return std::string("the movie's compressed data are damaged or of the wrong length");
        inflated = std::move(*body);
    } else if (rest.size() < bodySize) {
        return std::string("the movie is shorter than its length field");
    }
    const auto body = header.compressed ? std::span<const std::uint8_t>(inflated) : rest.first(bodySize);
    if (auto error = readBodyHeader(body, header)) return *error;
    return header;
}

SwfReadResult readSwfFile(const std::string& path) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::string("the movie file cannot be opened: ") + path;
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error) return std::string("the movie file cannot be read: ") + path;
    std::vector<std::uint8_t> bytes(std::min<std::uintmax_t>(size, kLargestMovie + kFixedHeaderBytes));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return std::string("the movie file cannot be read: ") + path;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return readSwfHeader(bytes);
}

}  // namespace zenvira::components
