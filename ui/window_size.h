#pragma once
// The fixed size of a window given in twips. The window system draws the frame and caption
// around the client area, so the client gets the fixed outer size minus what the frame adds.
#include "ui/twips.h"

namespace zenvira::ui {

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A fixed-size window's outer size and the client area its controls were laid out for.
struct FixedWindowTwips {
    int outerWidth = 0;
    int outerHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

// frameExtra: how much wider and higher the frame makes the window than its client area.
// With no frame known (not shown yet, offscreen, no window manager) the client is the area
// the controls were laid out for, so nothing is cut off and nothing is left empty.
PixelSize fixedClientSize(const FixedWindowTwips& window, const TwipsPerPixel& factor, PixelSize frameExtra);

}  // namespace zenvira::ui
