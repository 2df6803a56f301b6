#pragma once
// The player window's layout numbers, in twips (1/1440 inch). Window sizes are outer sizes
// (frame and caption bar included), and the bottom bar and the video are placed against them,
// so the bar's lower part lies under the window's bottom frame as the window was designed.
// Pure arithmetic: the window converts to pixels with the screen's twips per pixel.
#include <optional>

#include "ui/twips.h"

namespace zenvira::player {

// The twips arithmetic every window shares.
using ui::pixelsToTwips;
using ui::TwipsPerPixel;
using ui::twipsPerPixelForDpi;
using ui::TwipsRect;
using ui::twipsToPixels;

inline constexpr int kTopBand = 375;          // the empty black band above the video
inline constexpr int kBarHeight = 975;        // the bottom bar Picture3
inline constexpr int kRestoreFromRight = 1800;  // restore button's left edge, from the right

struct TwipsSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const TwipsSize&, const TwipsSize&) = default;
};

// The Flash instance's place; its left edge is never set and stays at the window's left.
struct VideoArea {
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const VideoArea&, const VideoArea&) = default;
};

// 480 x 360 pixels of video plus 300 twips and the bar: set at load and by every play request.
TwipsSize defaultWindowSize(const TwipsPerPixel& tpp);
// The frame's width plus 320 pixels, by 260 pixels plus the top band and the bar.
TwipsSize minimumWindowSize(const TwipsPerPixel& tpp, int frameWidth);

// `dragpic` as the load places it: under the top band, the bar's height taken off twice.
TwipsRect dragpicAtLoad(TwipsSize window);

// The normal layout that the resize handler and the timer keep.
int barTop(TwipsSize window);
VideoArea normalVideoArea(TwipsSize window);
// A play request's new instance: down to the bar's top edge, the band not yet taken off.
VideoArea playVideoArea(TwipsSize window);

struct FullScreenLayout {
    TwipsSize window;  // at the screen's top-left corner
    VideoArea video;
    int restoreLeft = 0;
    friend bool operator==(const FullScreenLayout&, const FullScreenLayout&) = default;
};
// The screen's size in twips; whole pixels of it, at the twips-per-pixel factors.
FullScreenLayout fullScreenLayout(double screenWidthTwips, double screenHeightTwips, const TwipsPerPixel& tpp);

// Leaving full screen: the size saved on entering it, the video down to the bar's top edge.
struct RestoreLayout {
    TwipsSize window;
    VideoArea video;
    friend bool operator==(const RestoreLayout&, const RestoreLayout&) = default;
};
RestoreLayout restoreLayout(TwipsSize saved);

// One tick of the minimum-size timer: the size to set (absent when the window is large
// enough), and the video's place. A window exactly at the minimum is set to it again.
struct MinimumSizeTick {
    std::optional<TwipsSize> resizeTo;
    VideoArea video;
    friend bool operator==(const MinimumSizeTick&, const MinimumSizeTick&) = default;
};
MinimumSizeTick minimumSizeTick(TwipsSize window, int frameWidth, const TwipsPerPixel& tpp);

}  // namespace zenvira::player
