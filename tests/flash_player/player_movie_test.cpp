// The player movie the build makes and compiles in as resource 101.
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "ui/flash_player/swf_header.h"
#include "player/movie/custom_resource.h"

using namespace zenvira::components;
using zenvira::player::customResource;

TEST(PlayerMovie, IsACompressedVersion8MovieWithTheWindowsStage) {
    const auto movie = customResource(101);
    ASSERT_GT(movie.size(), 8U);
    EXPECT_EQ(movie[0], 'C');
    EXPECT_EQ(movie[1], 'W');
    EXPECT_EQ(movie[2], 'S');
    EXPECT_EQ(movie[3], 8);

    // The length field is the whole file once inflated: check it with zlib directly.
    const std::uint32_t length = movie[4] | (movie[5] << 8) | (movie[6] << 16) | (movie[7] << 24);
    std::vector<std::uint8_t> body(length);
    uLongf inflated = length;
    ASSERT_EQ(uncompress(body.data(), &inflated, movie.data() + 8, static_cast<uLong>(movie.size() - 8)), Z_OK);
    EXPECT_EQ(inflated + 8, length);

    const auto result = readSwfHeader(movie);
    ASSERT_TRUE(std::holds_alternative<SwfHeader>(result)) << std::get<std::string>(result);
    const auto& header = std::get<SwfHeader>(result);
    EXPECT_EQ(header.stageWidthTwips, 6400);
    EXPECT_EQ(header.stageHeightTwips, 5200);
    EXPECT_EQ(header.stageWidthPixels(), 320);
    EXPECT_EQ(header.stageHeightPixels(), 260);
    EXPECT_DOUBLE_EQ(header.frameRate, 20.0);
    EXPECT_EQ(header.frameCount, 2);
}

TEST(PlayerMovie, OtherResourceNumbersAreEmpty) {
    EXPECT_TRUE(customResource(100).empty());
    EXPECT_TRUE(customResource(102).empty());
    EXPECT_TRUE(customResource(-101).empty());
}
