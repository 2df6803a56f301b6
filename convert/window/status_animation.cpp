#include "convert/window/status_animation.h"

namespace zenvira::convert {

StatusStep statusStepAfter(std::int16_t ProgressStep) {
    const int shown = ProgressStep >= 0 && ProgressStep <= 3 ? ProgressStep + 1 : 1;
    return {static_cast<std::int16_t>(shown % 4), shown, "Processing" + std::string(static_cast<std::size_t>(shown), '.')};
}

std::string errorStatusText(const std::string& ErrorMessage) { return "Error! " + ErrorMessage; }

}  // namespace zenvira::convert
