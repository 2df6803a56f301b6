// The twips arithmetic every window's geometry rests on, without a display.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/twips.h"

using namespace zenvira::ui;

TEST(Twips, ConvertAtTheScreensFactor) {
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(96), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(120), 12.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(144), 10.0);
    // A screen that reports nonsense is taken as an ordinary 96 DPI one.
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(0), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(-72), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(std::nan("")), 15.0);

    EXPECT_EQ(twipsToPixels(11670, 15), 778);
    EXPECT_EQ(twipsToPixels(3400, 15), 227);  // 226.67 rounds up
    EXPECT_EQ(twipsToPixels(1935, 12), 161);  // 161.25 rounds down
    EXPECT_EQ(twipsToPixels(210, 12), 18);    // a half rounds away from zero
    EXPECT_EQ(twipsToPixels(-210, 12), -18);
    EXPECT_EQ(twipsToPixels(0, 15), 0);
    EXPECT_EQ(twipsToPixels(1500, 0), 100);  // an unusable factor falls back to 15
}

TEST(Twips, RectanglesUseEachAxisOwnFactor) {
    const TwipsRect button{210, 120, 1935, 735};
    EXPECT_EQ(twipsToPixels(button, {15, 15}), (PixelRect{14, 8, 129, 49}));
    EXPECT_EQ(twipsToPixels(button, {12, 15}), (PixelRect{18, 8, 161, 49}));
}
