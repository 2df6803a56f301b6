// The control bar's time and the places its clicks land.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/flash_player/control_bar_layout.h"
#include "ui/flash_player/time_text.h"

using namespace zenvira::components;

TEST(ControlBarText, MinutesSecondsAndHoursWhenNeeded) {
    EXPECT_EQ(positionText(12.9, 90), "0:12 / 1:30");
    EXPECT_EQ(positionText(0, 3723), "0:00 / 1:02:03");
    EXPECT_EQ(clockText(599.99), "9:59");
    // Unknown durations and positions before the start show zero.
    EXPECT_EQ(positionText(-1, std::nan("")), "0:00 / 0:00");
    EXPECT_EQ(clockText(INFINITY), "0:00");
}

TEST(ControlBarLayout, PartsDoNotOverlapAndClicksMapToFractions) {
    const auto layout = controlBarLayout(320, kControlBarHeight);
    EXPECT_LT(layout.playButton.right(), layout.seekBar.left());
    EXPECT_LT(layout.seekBar.right(), layout.timeText.left());
    EXPECT_LT(layout.timeText.right(), layout.volumeBar.left());
    EXPECT_LE(layout.volumeBar.right(), 320);

    const QRect bar = layout.seekBar;
    EXPECT_DOUBLE_EQ(fractionAt(bar, QPoint(bar.left(), 0)), 0.0);
    EXPECT_DOUBLE_EQ(fractionAt(bar, QPoint(bar.right(), 0)), 1.0);
    EXPECT_DOUBLE_EQ(fractionAt(bar, QPoint(bar.right() + 50, 0)), 1.0);
    EXPECT_DOUBLE_EQ(fractionAt(bar, QPoint(bar.left() - 50, 0)), 0.0);

    // Too narrow for a seek bar: it goes, the play button stays.
    const auto narrow = controlBarLayout(150, kControlBarHeight);
    EXPECT_TRUE(narrow.seekBar.isEmpty());
    EXPECT_FALSE(narrow.playButton.isEmpty());
}
