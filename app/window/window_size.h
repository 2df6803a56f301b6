#pragma once
// The fixed size of the main window. The window system draws the frame and caption around
// the client area, so the client gets the fixed outer size minus what the frame adds.
#include "app/window/twips.h"

namespace zenvira::window {

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// frameExtra: how much wider and higher the frame makes the window than its client area.
// With no frame known (not shown yet, offscreen, no window manager) the client is the area
// the controls were laid out for, so nothing is cut off and nothing is left empty.
PixelSize fixedClientSize(const TwipsPerPixel& factor, PixelSize frameExtra);

}  // namespace zenvira::window
