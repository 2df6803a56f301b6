// Heights from labels and addresses, where they land on the buttons, and names for files.
#include <gtest/gtest.h>

#include "resolve/generic/stream_height.h"
#include "resolve/resolver.h"

using namespace zenvira::resolve;

TEST(StreamHeight, FromLabels) {
    EXPECT_EQ(heightFromLabel("720p"), 720);
    EXPECT_EQ(heightFromLabel("1080p60"), 1080);
    EXPECT_EQ(heightFromLabel("HD 720p"), 720);
    EXPECT_EQ(heightFromLabel("1280x720"), 720);
    EXPECT_EQ(heightFromLabel("480"), 480);
    EXPECT_EQ(heightFromLabel("4K"), 2160);
    EXPECT_EQ(heightFromLabel("HD"), 0);
    EXPECT_EQ(heightFromLabel("12"), 0);
    EXPECT_EQ(heightFromLabel("3 Mbps"), 0);
    EXPECT_EQ(heightFromLabel(""), 0);
}

TEST(StreamHeight, FromAddressesOnlyWhereAHeightIsWritten) {
    EXPECT_EQ(heightFromAddress("https://h/v/clip_720p.mp4"), 720);
    EXPECT_EQ(heightFromAddress("https://h/v/clip_720.mp4"), 720);
    EXPECT_EQ(heightFromAddress("https://h/v/1080p/clip.mp4"), 1080);
    EXPECT_EQ(heightFromAddress("https://h/v/1920x1080/clip.mp4"), 1080);
    EXPECT_EQ(heightFromAddress("https://h/v/clip-360-low.webm"), 360);
    EXPECT_EQ(heightFromAddress("https://h/2019/clip.mp4"), 0);       // a year
    EXPECT_EQ(heightFromAddress("https://h/v/id7201234.mp4"), 0);      // part of an id
    EXPECT_EQ(heightFromAddress("https://h/v/clip.mp4?h=720"), 0);     // the query is not looked at
    EXPECT_EQ(heightFromAddress("https://h/v/clip.mp4"), 0);
}

TEST(StreamHeight, ButtonsByRangeAndTheTallestWins) {
    EXPECT_EQ(buttonOfHeight(2160), 0);
    EXPECT_EQ(buttonOfHeight(1080), 0);
    EXPECT_EQ(buttonOfHeight(1079), 1);
    EXPECT_EQ(buttonOfHeight(720), 1);
    EXPECT_EQ(buttonOfHeight(719), 2);
    EXPECT_EQ(buttonOfHeight(480), 2);
    EXPECT_EQ(buttonOfHeight(479), 3);
    EXPECT_EQ(buttonOfHeight(360), 3);
    EXPECT_EQ(buttonOfHeight(359), 4);
    EXPECT_EQ(buttonOfHeight(0), 4);

    const std::vector<Stream> streams = {{"a", 540, "mp4"}, {"b", 576, "mp4"}, {"c", 1440, "webm"}, {"d", 0, "mp4"},
                                         {"e", 240, "mp4"}, {"f", 576, "mp4"}};
    const auto buttons = streamsOnButtons(streams);
    ASSERT_TRUE(buttons[0]);
    EXPECT_EQ(buttons[0]->address, "c");
    EXPECT_FALSE(buttons[1]);
    ASSERT_TRUE(buttons[2]);
    EXPECT_EQ(buttons[2]->address, "b");  // taller than a; f ties and comes later
    EXPECT_FALSE(buttons[3]);
    ASSERT_TRUE(buttons[4]);
    EXPECT_EQ(buttons[4]->address, "e");  // a known 240 beats an unknown height
}

TEST(FileNames, FromTheServerOrTheAddress) {
    EXPECT_EQ(dispositionName("attachment; filename=\"Harbour at dusk.mp4\""), "Harbour at dusk");
    EXPECT_EQ(dispositionName("attachment; filename=clip.webm; size=3"), "clip");
    EXPECT_EQ(dispositionName("attachment; filename=\"a.mp4\"; filename*=UTF-8''Caf%C3%A9%20clip.mp4"), "Café clip");
    EXPECT_EQ(dispositionName("attachment; filename=\"../../etc/passwd\""), "passwd");
    EXPECT_EQ(dispositionName("inline"), "");
    EXPECT_EQ(nameFromAddress("http://h/media/Sunset%20Drive.mp4?sig=1"), "Sunset Drive");
    EXPECT_EQ(nameFromAddress("http://h/media/get/8f3a2/"), "8f3a2");
    EXPECT_EQ(nameFromAddress("http://h/stream"), "stream");
}
