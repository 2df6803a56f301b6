// The movie address and FlashVars as the window builds them: paths with spaces and drive
// letters, taken as written.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/flash_player/movie_address.h"

using namespace zenvira::components;

TEST(MovieAddress, SplitsTheMoviePathFromTheVideoPath) {
    const auto windows = splitMovieAddress("C:/Temp/4242?file=D:/v/clip.flv");
    EXPECT_EQ(windows.moviePath, "C:/Temp/4242");
    EXPECT_EQ(parameterValue(windows.query, "file"), "D:/v/clip.flv");

    const auto spaces = splitMovieAddress("/tmp/4242?file=/home/u/My Videos/a b.flv");
    EXPECT_EQ(spaces.moviePath, "/tmp/4242");
    EXPECT_EQ(parameterValue(spaces.query, "file"), "/home/u/My Videos/a b.flv");

    const auto bare = splitMovieAddress("/tmp/4242");
    EXPECT_EQ(bare.moviePath, "/tmp/4242");
    EXPECT_EQ(parameterValue(bare.query, "file"), std::nullopt);
}

TEST(MovieAddress, TakesTheValueAsWrittenUpToTheNextParameter) {
    // No decoding: "%20" and "+" stay, a second "?" belongs to the path.
    EXPECT_EQ(parameterValue("file=/v/a%20b+c?.flv", "file"), "/v/a%20b+c?.flv");
    EXPECT_EQ(parameterValue("file=/v/a.flv&volume=50", "file"), "/v/a.flv");
    EXPECT_EQ(parameterValue("volume=50&file=/v/a.flv", "file"), "/v/a.flv");
    // A parameter whose name only ends in "file" is another parameter.
    EXPECT_EQ(parameterValue("profile=x&file=/v/a.flv", "file"), "/v/a.flv");
    EXPECT_EQ(parameterValue("profile=x", "file"), std::nullopt);
    EXPECT_EQ(parameterValue("file=/a.flv&file=/b.flv", "file"), "/a.flv");
    EXPECT_EQ(parameterValue("file=", "file"), "");
    EXPECT_EQ(parameterValue("file", "file"), std::nullopt);
    EXPECT_EQ(parameterValue("", "file"), std::nullopt);
}

// "Tom & Jerry.flv": the window writes the path unescaped, so a "&" in it must not end it.
TEST(MovieAddress, AVideoPathKeepsItsAmpersandsWhenThatFileExists) {
    const std::set<std::string> files = {"/v/Tom & Jerry.flv", "/v/a&b=c?#d%20.flv", "/v/a.flv",
                                         "/v/x&y.flv&volume=5"};
    const auto exists = [&](const std::string& path) { return files.count(path) > 0; };
    EXPECT_EQ(videoFileOf("file=/v/Tom & Jerry.flv", exists), "/v/Tom & Jerry.flv");
    EXPECT_EQ(videoFileOf("file=/v/a&b=c?#d%20.flv", exists), "/v/a&b=c?#d%20.flv");
    EXPECT_EQ(videoFileOf("volume=5&file=/v/Tom & Jerry.flv", exists), "/v/Tom & Jerry.flv");
    // A real parameter after the path still ends it; the longest existing file wins.
    EXPECT_EQ(videoFileOf("file=/v/a.flv&volume=50", exists), "/v/a.flv");
    EXPECT_EQ(videoFileOf("file=/v/x&y.flv&volume=5&autostart=true", exists), "/v/x&y.flv&volume=5");
    // Nothing exists (the player then says it cannot play it): parameters still end the path,
    // anything else is the path's own.
    EXPECT_EQ(videoFileOf("file=/gone/a & b.flv", exists), "/gone/a & b.flv");
    EXPECT_EQ(videoFileOf("file=/gone/a.flv&volume=5&autostart=true", exists), "/gone/a.flv");
    EXPECT_EQ(videoFileOf("file=/gone/a&b=c.flv", exists), "/gone/a");  // reads as a parameter
    EXPECT_EQ(videoFileOf("file=", exists), "");
    EXPECT_EQ(videoFileOf("volume=5", exists), std::nullopt);
}

TEST(MovieAddress, AutostartOnlyForTrue) {
    EXPECT_TRUE(autostartRequested("autostart=true"));
    EXPECT_TRUE(autostartRequested("volume=80&autostart=TRUE"));
    EXPECT_FALSE(autostartRequested("autostart=false"));
    EXPECT_FALSE(autostartRequested("autostart=1"));
    EXPECT_FALSE(autostartRequested("autostart=truer"));
    EXPECT_FALSE(autostartRequested(""));
}
