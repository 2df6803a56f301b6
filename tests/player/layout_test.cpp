// The player window's layout numbers at 15 twips per pixel (96 DPI) and a 975-twip bar.
#include <gtest/gtest.h>

#include "player/window/player_layout.h"

using namespace zenvira::player;

namespace {
constexpr TwipsPerPixel k96Dpi{15.0, 15.0};
constexpr int kFrame = 150;  // 10 pixels of frame, left and right together
}  // namespace

TEST(PlayerLayout, DefaultSizeIs480By445Pixels) {
    EXPECT_EQ(defaultWindowSize(k96Dpi), (TwipsSize{7200, 6675}));
    EXPECT_EQ(twipsToPixels(7200, 15.0), 480);
    EXPECT_EQ(twipsToPixels(6675, 15.0), 445);
    // The load's dragpic and the normal layout of the default window.
    EXPECT_EQ(dragpicAtLoad({7200, 6675}), (TwipsRect{0, 375, 7200, 4725}));
    EXPECT_EQ(barTop({7200, 6675}), 5700);
    EXPECT_EQ(normalVideoArea({7200, 6675}), (VideoArea{375, 7200, 5325}));
    EXPECT_EQ(playVideoArea({7200, 6675}), (VideoArea{375, 7200, 5700}));
}

TEST(PlayerLayout, MinimumSizeAndTheTimerTick) {
    EXPECT_EQ(minimumWindowSize(k96Dpi, kFrame), (TwipsSize{4800 + kFrame, 3900 + 375 + 975}));

    // Narrower and lower than the minimum: both grow, the video follows.
    const MinimumSizeTick small = minimumSizeTick({3000, 2000}, kFrame, k96Dpi);
    ASSERT_TRUE(small.resizeTo.has_value());
    EXPECT_EQ(*small.resizeTo, (TwipsSize{4950, 5250}));
    EXPECT_EQ(small.video, (VideoArea{375, 4950, 5250 - 975 - 375}));

    // Exactly at the minimum: set to the same size again.
    const MinimumSizeTick exact = minimumSizeTick({4950, 5250}, kFrame, k96Dpi);
    EXPECT_EQ(exact.resizeTo, (TwipsSize{4950, 5250}));

    // Only one side too small: the other keeps its size.
    EXPECT_EQ(minimumSizeTick({9000, 4000}, kFrame, k96Dpi).resizeTo, (TwipsSize{9000, 5250}));

    // Large enough: no resize, the video still fills the area above the bar.
    const MinimumSizeTick large = minimumSizeTick({7200, 6675}, kFrame, k96Dpi);
    EXPECT_FALSE(large.resizeTo.has_value());
    EXPECT_EQ(large.video, (VideoArea{375, 7200, 5325}));
}

TEST(PlayerLayout, FullScreenAndRestore) {
    const FullScreenLayout full = fullScreenLayout(1920 * 15.0, 1080 * 15.0, k96Dpi);
    EXPECT_EQ(full.window, (TwipsSize{28800, 16200}));
    EXPECT_EQ(full.video, (VideoArea{0, 28800, 16200}));
    EXPECT_EQ(full.restoreLeft, 27000);

    // A screen whose twips are not whole pixels keeps whole pixels only.
    EXPECT_EQ(fullScreenLayout(1920 * 15.0 + 14, 1080 * 15.0 + 7, k96Dpi).window, (TwipsSize{28800, 16200}));

    const RestoreLayout back = restoreLayout({7200, 6675});
    EXPECT_EQ(back.window, (TwipsSize{7200, 6675}));
    EXPECT_EQ(back.video, (VideoArea{375, 7200, 6675 - 975}));
}

TEST(PlayerLayout, OtherScreenDensities) {
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(96), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(120), 12.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(0), 15.0);
    // 120 DPI: the default window is still 480 pixels wide with 360 of video.
    const TwipsSize size = defaultWindowSize({12.0, 12.0});
    EXPECT_EQ(twipsToPixels(size.width, 12.0), 480);
    EXPECT_EQ(size.height, 360 * 12 + 300 + 975);
    EXPECT_EQ(fullScreenLayout(2560 * 12.0, 1440 * 12.0, {12.0, 12.0}).window, (TwipsSize{30720, 17280}));
}
