#include "encoder/value_syntax.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace zenvira::encoder {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A positive int that fits, from digits only.
std::optional<int> positiveInt(std::string_view text) {
    if (!isWholeNumber(text)) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
    return value;
}

}  // namespace

bool isWholeNumber(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), isDigit); }

bool isDecimal(std::string_view text) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) return isWholeNumber(text);
    const auto whole = text.substr(0, dot);
    const auto fraction = text.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return false;
    return (whole.empty() || isWholeNumber(whole)) && (fraction.empty() || isWholeNumber(fraction));
}

bool isPlainName(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '-'; });
}

std::optional<std::string> kbitValue(std::string_view text) {
    if (isDecimal(text)) return std::string(text) + "k";
    if (text.size() < 2) return std::nullopt;
    const char unit = text.back();
    const bool knownUnit = unit == 'k' || unit == 'K' || unit == 'm' || unit == 'M';
    if (!knownUnit || !isDecimal(text.substr(0, text.size() - 1))) return std::nullopt;
    return std::string(text);
}

std::optional<std::string> frameRateValue(std::string_view text) {
    // The NTSC rates are 30000/1001 and its kin; the short decimals are 0.001 % off.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNtscRates{{
        {"29.97", "30000/1001"},
        {"23.976", "24000/1001"},
        {"23.98", "24000/1001"},
        {"59.94", "60000/1001"},
        {"14.985", "15000/1001"},
        {"119.88", "120000/1001"},
    }};
    for (const auto& [shortForm, exact] : kNtscRates)
        if (text == shortForm) return std::string(exact);
    if (isDecimal(text)) return std::string(text);
    const auto slash = text.find('/');
    if (slash != std::string_view::npos) {
        if (positiveInt(text.substr(0, slash)) && positiveInt(text.substr(slash + 1))) return std::string(text);
        return std::nullopt;
    }
    if (isPlainName(text) && !isDigit(text.front())) return std::string(text);
    return std::nullopt;
}

std::optional<FrameSize> parseFrameSize(std::string_view text) {
    const auto x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto width = positiveInt(text.substr(0, x));
    const auto height = positiveInt(text.substr(x + 1));
    if (!width || !height) return std::nullopt;
    return FrameSize{*width, *height};
}

FrameSize roundDown(FrameSize size, int multiple) {
    if (multiple <= 1) return size;
    const auto down = [multiple](int side) { return std::max(multiple, side / multiple * multiple); };
    return {down(size.width), down(size.height)};
}

bool isAspectRatio(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return isDecimal(text);
    return positiveInt(text.substr(0, colon)) && positiveInt(text.substr(colon + 1));
}

}  // namespace zenvira::encoder
