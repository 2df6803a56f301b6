#include "encoder/amr_mode.h"

#include <array>
#include <charconv>

#include "encoder/value_syntax.h"

namespace zenvira::encoder {

namespace {

constexpr std::array kModes{
    AmrMode{0, 4750, "4.75"}, AmrMode{1, 5150, "5.15"}, AmrMode{2, 5900, "5.9"},   AmrMode{3, 6700, "6.7"},
    AmrMode{4, 7400, "7.4"},  AmrMode{5, 7950, "7.95"}, AmrMode{6, 10200, "10.2"}, AmrMode{7, 12200, "12.2"},
};

}  // namespace

std::span<const AmrMode> amrModes() { return kModes; }

const AmrMode* amrModeForBitrate(std::string_view kbitPerSecond) {
    if (kbitPerSecond.empty()) return &kModes.back();
    if (!kbitValue(kbitPerSecond)) return nullptr;
    double scale = 1000.0;
    std::string_view number = kbitPerSecond;
    if (!isDecimal(number)) {
        if (number.back() == 'm' || number.back() == 'M') scale = 1000000.0;
        number.remove_suffix(1);
    }
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    const double bitsPerSecond = value * scale;
    const AmrMode* chosen = &kModes.front();
    for (const auto& mode : kModes)
        if (mode.bitsPerSecond <= bitsPerSecond) chosen = &mode;
    return chosen;
}

}  // namespace zenvira::encoder
