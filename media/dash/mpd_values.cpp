#include "media/dash/mpd_values.h"

#include <charconv>
#include <cmath>
#include <string>

namespace zenvira::components::dash {

namespace {

std::string_view trimmedView(std::string_view text) {
    while (!text.empty() &&
           (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

template <typename Number>
std::optional<Number> wholeValue(std::string_view text) {
    text = trimmedView(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    Number value{};
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::uint64_t> unsignedValue(std::string_view text) { return wholeValue<std::uint64_t>(text); }

std::optional<std::int64_t> signedValue(std::string_view text) { return wholeValue<std::int64_t>(text); }

std::optional<ByteSpan> byteSpanValue(std::string_view text) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = unsignedValue(text.substr(0, dash));
    const auto last = unsignedValue(text.substr(dash + 1));
    if (!first || !last || *first > *last) return std::nullopt;
    return ByteSpan{*first, *last};
}

// PnYnMnDTnHnMnS; a year counts 365 days and a month 30, as players count them.
std::optional<double> durationSeconds(std::string_view text) {
    text = trimmedView(text);
    if (text.empty() || text.front() != 'P') return std::nullopt;
    text.remove_prefix(1);
    double total = 0;
    bool inTime = false, anyPart = false;
    while (!text.empty()) {
        if (text.front() == 'T') {
            if (inTime) return std::nullopt;
            inTime = true;
            text.remove_prefix(1);
            continue;
        }
        std::size_t length = 0;
        while (length < text.size() && ((text[length] >= '0' && text[length] <= '9') || text[length] == '.')) ++length;
        if (length == 0 || length == text.size()) return std::nullopt;
        double value = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + length, value);
        if (parsed.ec != std::errc() || parsed.ptr != text.data() + length) return std::nullopt;
        const char unit = text[length];
        double factor = 0;
        if (!inTime && unit == 'Y')
            factor = 365 * 86400.0;
        else if (!inTime && unit == 'M')
            factor = 30 * 86400.0;
        else if (!inTime && unit == 'W')
            factor = 7 * 86400.0;
        else if (!inTime && unit == 'D')
            factor = 86400;
        else if (inTime && unit == 'H')
            factor = 3600;
        else if (inTime && unit == 'M')
            factor = 60;
        else if (inTime && unit == 'S')
            factor = 1;
        else
            return std::nullopt;
        total += value * factor;
        anyPart = true;
        text.remove_prefix(length + 1);
    }
    if (!anyPart || !std::isfinite(total)) return std::nullopt;
    return total;
}

}  // namespace zenvira::components::dash
