// Reading movie headers: the fields of uncompressed and compressed movies, and every way a
// file can fail to be a movie, without crashing or allocating what a lying header asks for.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "ui/flash_player/swf_header.h"

using namespace zenvira::components;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Stage 0..550 x 0..400 pixels (11000 x 8000 twips, 15-bit fields), 24.5 fps, 7 frames, End.
Bytes movieBody() {
    return {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00,  // RECT
            0x80, 0x18,                                            // 24.5 as 8.8
            0x07, 0x00,                                            // 7 frames
            0x00, 0x00};                                           // End tag
}

Bytes withHeader(const char* signature, int version, std::uint32_t length, const Bytes& rest) {
    Bytes out(signature, signature + 3);
    out.push_back(static_cast<std::uint8_t>(version));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

Bytes zlibPacked(const Bytes& body) {
    uLongf size = compressBound(static_cast<uLong>(body.size()));
    Bytes packed(size);
    compress(packed.data(), &size, body.data(), static_cast<uLong>(body.size()));
    packed.resize(size);
    return packed;
}

std::string errorOf(const SwfReadResult& result) {
    const auto* error = std::get_if<std::string>(&result);
    return error ? *error : std::string();
}

}  // namespace

TEST(SwfHeader, ReadsUncompressedAndCompressedMoviesAlike) {
    const Bytes body = movieBody();
    const auto length = static_cast<std::uint32_t>(body.size() + 8);
    for (const Bytes& file : {withHeader("FWS", 6, length, body), withHeader("CWS", 6, length, zlibPacked(body))}) {
        const auto result = readSwfHeader(file);
        ASSERT_TRUE(std::holds_alternative<SwfHeader>(result)) << errorOf(result);
        const auto& header = std::get<SwfHeader>(result);
        EXPECT_EQ(header.compressed, file[0] == 'C');
        EXPECT_EQ(header.version, 6);
        EXPECT_EQ(header.fileLength, length);
        EXPECT_EQ(header.stageWidthTwips, 11000);
        EXPECT_EQ(header.stageHeightTwips, 8000);
        EXPECT_EQ(header.stageWidthPixels(), 550);
        EXPECT_DOUBLE_EQ(header.frameRate, 24.5);
        EXPECT_EQ(header.frameCount, 7);
    }
}

TEST(SwfHeader, RefusesWhatIsNoMovie) {
    const Bytes body = movieBody();
    const auto length = static_cast<std::uint32_t>(body.size() + 8);
    const Bytes packed = zlibPacked(body);
    const Bytes truncatedPacked(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
    Bytes damaged = packed;
    damaged[4] ^= 0xFF;

    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"shorter than a header", {'C', 'W', 'S', 8}},
        {"wrong signature", withHeader("ZWS", 8, length, body)},
        {"text", Bytes{'<', 'h', 't', 'm', 'l', '>', ' ', 'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}},
        {"version 0", withHeader("FWS", 0, length, body)},
        {"length shorter than a header", withHeader("FWS", 8, 4, body)},
        {"file shorter than its length", withHeader("FWS", 8, length + 100, body)},
        {"length says more than zlib gives", withHeader("CWS", 8, length + 1, packed)},
        {"length says less than zlib gives", withHeader("CWS", 8, length - 1, packed)},
        {"compressed data cut short", withHeader("CWS", 8, length, truncatedPacked)},
        {"compressed data damaged", withHeader("CWS", 8, length, damaged)},
        {"not zlib at all", withHeader("CWS", 8, length, body)},
        {"a length of 4 GiB", withHeader("CWS", 8, 0xFFFFFFFFU, packed)},
        {"body ends inside the stage", withHeader("FWS", 8, 11, {0x78, 0x00, 0x05})},
        {"empty stage", withHeader("FWS", 8, 15, {0x00, 0x00, 0x14, 0x02, 0x00, 0x00, 0x00})},
    };
    for (const auto& [name, bytes] : cases)
        EXPECT_FALSE(errorOf(readSwfHeader(bytes)).empty()) << name;
}

TEST(SwfHeader, MissingFileIsAnError) {
    EXPECT_NE(errorOf(readSwfFile("/nonexistent/zenvira/4242")).find("cannot be opened"), std::string::npos);
}
