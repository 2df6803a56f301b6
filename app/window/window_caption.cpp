#include "app/window/window_caption.h"

#include "base/product_site.h"
#include "app/progress_text.h"

namespace zenvira::window {

std::string loadedCaption(char decimalSeparator) {
    return "Zenvira " + app::formatFullPrecision(base::appVersion, decimalSeparator);
}

}  // namespace zenvira::window
