#pragma once
// The eight bit rates of AMR-NB and the one a requested audio bit rate gets.
#include <span>
#include <string_view>

namespace zenvira::encoder {

struct AmrMode {
    int index;  // the codec's mode number (MR475 = 0 ... MR122 = 7)
    int bitsPerSecond;
    std::string_view label;  // "12.2"
};

std::span<const AmrMode> amrModes();

// The highest mode not above `kbitPerSecond` (an -ab value: "48", "12.2", "7.95k"); the
// lowest mode below 4.75; 12.2 when no rate is asked (empty). Invalid text: nullptr.
const AmrMode* amrModeForBitrate(std::string_view kbitPerSecond);

}  // namespace zenvira::encoder
