#include "app/window/window_size.h"

#include "app/window/control_table.h"

namespace zenvira::window {

PixelSize fixedClientSize(const TwipsPerPixel& factor, PixelSize frameExtra) {
    const PixelSize designed{twipsToPixels(kClientWidthTwips, factor.x), twipsToPixels(kClientHeightTwips, factor.y)};
    if (frameExtra.width <= 0 && frameExtra.height <= 0) return designed;
    const PixelSize fromOuter{twipsToPixels(kWindowWidthTwips, factor.x) - frameExtra.width,
                              twipsToPixels(kWindowHeightTwips, factor.y) - frameExtra.height};
    // A frame that would leave less than half the layout is not a frame we can trust.
    if (fromOuter.width < designed.width / 2 || fromOuter.height < designed.height / 2) return designed;
    return fromOuter;
}

}  // namespace zenvira::window
