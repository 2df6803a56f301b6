#include "ui/twips.h"

namespace zenvira::ui {

namespace {
bool usable(double factor) { return std::isfinite(factor) && factor > 0; }
}  // namespace

double twipsPerPixelForDpi(double logicalDpi) {
    return usable(logicalDpi) ? kTwipsPerInch / logicalDpi : kDefaultTwipsPerPixel;
}

int twipsToPixels(int twips, double twipsPerPixel) {
    if (!usable(twipsPerPixel)) twipsPerPixel = kDefaultTwipsPerPixel;
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

int pixelsToTwips(int pixels, double twipsPerPixel) {
    if (!usable(twipsPerPixel)) twipsPerPixel = kDefaultTwipsPerPixel;
    return static_cast<int>(std::lround(pixels * twipsPerPixel));
}

PixelRect twipsToPixels(const TwipsRect& rect, const TwipsPerPixel& factor) {
    return {twipsToPixels(rect.left, factor.x), twipsToPixels(rect.top, factor.y),
            twipsToPixels(rect.width, factor.x), twipsToPixels(rect.height, factor.y)};
}

}  // namespace zenvira::ui
