#pragma once
// Twips (1/1440 inch) are the unit the window was laid out in; the screen's twips per pixel
// turn them into pixels. Kept free of Qt so the arithmetic is checked on its own.
#include <cmath>

namespace zenvira::ui {

constexpr double kTwipsPerInch = 1440.0;
// What a 96 DPI screen gives, and what we assume when a screen reports nonsense.
constexpr double kDefaultTwipsPerPixel = 15.0;

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// One factor per axis, as screens may differ horizontally and vertically.
struct TwipsPerPixel {
    double x = kDefaultTwipsPerPixel;
    double y = kDefaultTwipsPerPixel;
};

// 1440 / logical DPI; a DPI that is zero, negative or not a number gives the default.
double twipsPerPixelForDpi(double logicalDpi);

// Rounded to the nearest pixel, halves away from zero.
int twipsToPixels(int twips, double twipsPerPixel);
// Rounded to the nearest twip, halves away from zero.
int pixelsToTwips(int pixels, double twipsPerPixel);

PixelRect twipsToPixels(const TwipsRect& rect, const TwipsPerPixel& factor);

}  // namespace zenvira::ui
