#include "media/dash/segment_template.h"

#include <charconv>

namespace zenvira::components::dash {

namespace {

// Padding wider than any 64-bit number is no real template.
constexpr int kWidestPadding = 20;

std::optional<int> paddingOf(std::string_view format) {
    if (format.empty()) return 0;
    if (format.size() < 3 || format.front() != '%' || format.back() != 'd') return std::nullopt;
    format = format.substr(1, format.size() - 2);
    int width = 0;
    const auto parsed = std::from_chars(format.data(), format.data() + format.size(), width);
    if (parsed.ec != std::errc() || parsed.ptr != format.data() + format.size() || width < 0 || width > kWidestPadding)
        return std::nullopt;
    return width;
}

void appendPadded(std::string& out, std::uint64_t value, int width) {
    const std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

}  // namespace

std::optional<std::string> expandTemplate(std::string_view pattern, const TemplateValues& values) {
    std::string out;
    out.reserve(pattern.size() + 16);
    std::size_t at = 0;
    while (at < pattern.size()) {
        const auto open = pattern.find('$', at);
        if (open == std::string_view::npos) {
            out.append(pattern.substr(at));
            break;
        }
        out.append(pattern.substr(at, open - at));
        const auto close = pattern.find('$', open + 1);
        if (close == std::string_view::npos) return std::nullopt;
        const auto identifier = pattern.substr(open + 1, close - open - 1);
        at = close + 1;
        if (identifier.empty()) {
            out += '$';
            continue;
        }
        const auto percent = identifier.find('%');
        const auto name = identifier.substr(0, percent);
        const auto width =
            paddingOf(percent == std::string_view::npos ? std::string_view() : identifier.substr(percent));
        if (!width) return std::nullopt;
        if (name == "RepresentationID" && percent == std::string_view::npos)
            out.append(values.representationId);
        else if (name == "Bandwidth")
            appendPadded(out, values.bandwidth, *width);
        else if (name == "Number" && values.number)
            appendPadded(out, *values.number, *width);
        else if (name == "Time" && values.time)
            appendPadded(out, *values.time, *width);
        else
            return std::nullopt;
    }
    return out;
}

}  // namespace zenvira::components::dash
