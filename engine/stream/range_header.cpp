#include "engine/stream/range_header.h"

#include <charconv>
#include <optional>

namespace zenvira::components {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::optional<std::int64_t> number(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

}  // namespace

RequestedBytes requestedBytes(std::string_view header, std::int64_t size) {
    RequestedBytes whole{RequestedBytes::Kind::Whole, 0, size - 1};
    header = trimmed(header);
    constexpr std::string_view unit = "bytes=";
    if (header.substr(0, unit.size()) != unit) return whole;
    const std::string_view asked = trimmed(header.substr(unit.size()));
    // Several ranges would need a multipart answer: the whole file is as good an answer.
    if (asked.find(',') != std::string_view::npos) return whole;
    const auto dash = asked.find('-');
    if (dash == std::string_view::npos) return whole;
    const auto from = trimmed(asked.substr(0, dash));
    const auto to = trimmed(asked.substr(dash + 1));
    RequestedBytes part{RequestedBytes::Kind::Part, 0, size - 1};
    if (from.empty()) {  // the last N bytes
        const auto suffix = number(to);
        if (!suffix) return whole;
        if (*suffix == 0 || size == 0) return {RequestedBytes::Kind::Unsatisfiable, 0, -1};
        part.first = size > *suffix ? size - *suffix : 0;
        return part;
    }
    const auto first = number(from);
    if (!first) return whole;
    std::optional<std::int64_t> last;
    if (!to.empty()) {
        last = number(to);
        if (!last || *last < *first) return whole;
    }
    if (*first >= size) return {RequestedBytes::Kind::Unsatisfiable, 0, -1};
    part.first = *first;
    part.last = last && *last < size ? *last : size - 1;
    return part;
}

}  // namespace zenvira::components
