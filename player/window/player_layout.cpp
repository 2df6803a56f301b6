#include "player/window/player_layout.h"

#include <algorithm>
#include <cmath>

namespace zenvira::player {

namespace {
int roundedTwips(double twips) { return static_cast<int>(std::lround(twips)); }
}  // namespace

TwipsSize defaultWindowSize(const TwipsPerPixel& tpp) {
    return {roundedTwips(tpp.x * 480), roundedTwips(tpp.y * 360 + 300 + kBarHeight)};
}

TwipsSize minimumWindowSize(const TwipsPerPixel& tpp, int frameWidth) {
    return {frameWidth + roundedTwips(tpp.x * 320), roundedTwips(tpp.y * 260 + kTopBand + kBarHeight)};
}

TwipsRect dragpicAtLoad(TwipsSize window) {
    return {0, kTopBand, window.width, window.height - kBarHeight - kBarHeight};
}

int barTop(TwipsSize window) { return window.height - kBarHeight; }

VideoArea normalVideoArea(TwipsSize window) {
    return {kTopBand, window.width, window.height - kBarHeight - kTopBand};
}

VideoArea playVideoArea(TwipsSize window) { return {kTopBand, window.width, window.height - kBarHeight}; }

FullScreenLayout fullScreenLayout(double screenWidthTwips, double screenHeightTwips, const TwipsPerPixel& tpp) {
    // Whole pixels, as the screen's twips divided by the whole factor.
    const auto wholePixels = [](double twips, double factor) {
        const long divisor = std::max(1L, std::lround(factor));
        return std::lround(twips) / divisor;
    };
    const int width = roundedTwips(static_cast<double>(wholePixels(screenWidthTwips, tpp.x)) * tpp.x);
    const int height = roundedTwips(static_cast<double>(wholePixels(screenHeightTwips, tpp.y)) * tpp.y);
    return {{width, height}, {0, width, height}, width - kRestoreFromRight};
}

RestoreLayout restoreLayout(TwipsSize saved) {
    return {saved, {kTopBand, saved.width, saved.height - kBarHeight}};
}

MinimumSizeTick minimumSizeTick(TwipsSize window, int frameWidth, const TwipsPerPixel& tpp) {
    const TwipsSize minimum = minimumWindowSize(tpp, frameWidth);
    MinimumSizeTick tick;
    TwipsSize size = window;
    if (size.width <= minimum.width) size.width = minimum.width;
    if (size.height <= minimum.height) size.height = minimum.height;
    if (window.width <= minimum.width || window.height <= minimum.height) tick.resizeTo = size;
    tick.video = normalVideoArea(size);
    return tick;
}

}  // namespace zenvira::player
