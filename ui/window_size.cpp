#include "ui/window_size.h"

namespace zenvira::ui {

PixelSize fixedClientSize(const FixedWindowTwips& window, const TwipsPerPixel& factor, PixelSize frameExtra) {
    const PixelSize designed{twipsToPixels(window.clientWidth, factor.x), twipsToPixels(window.clientHeight, factor.y)};
    if (frameExtra.width <= 0 && frameExtra.height <= 0) return designed;
    const PixelSize fromOuter{twipsToPixels(window.outerWidth, factor.x) - frameExtra.width,
                              twipsToPixels(window.outerHeight, factor.y) - frameExtra.height};
    // A frame that would leave less than half the layout is not a frame we can trust.
    if (fromOuter.width < designed.width / 2 || fromOuter.height < designed.height / 2) return designed;
    return fromOuter;
}

}  // namespace zenvira::ui
