#include "app/window/window_caption.h"

#include "app/progress_text.h"

namespace zenvira::window {

std::string loadedCaption(char decimalSeparator) {
    return "Zenvira " + app::formatFullPrecision(appVersion, decimalSeparator);
}

}  // namespace zenvira::window
