#include "ui/flash_player/time_text.h"

#include <cmath>
#include <cstdio>

namespace zenvira::components {

std::string clockText(double seconds) {
    const long long whole = std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(seconds) : 0;
    const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
    return text;
}

std::string positionText(double position, double duration) {
    return clockText(position) + " / " + clockText(duration);
}

}  // namespace zenvira::components
