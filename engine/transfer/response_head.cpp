#include "engine/transfer/response_head.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

#include <curl/curl.h>

#include "base/text_ops.h"
#include "engine/transfer/shown_text.h"

namespace zenvira::components {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

std::optional<std::int64_t> parseCount(std::string_view s) {
    s = trimmed(s);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size() || value < 0 || s.empty()) return std::nullopt;
    return value;
}

// "HTTP/1.1 206 Partial Content" -> status and reason.
void parseStatusLine(std::string_view line, int& status, std::string& reason) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return;
    std::string_view rest = line.substr(space + 1);
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), status);
    if (error != std::errc()) status = 0;
    // The server's own words reach the status bar and the terminal: shown safely.
    reason = shownText(trimmed(rest.substr(static_cast<std::size_t>(end - rest.data()))));
}


}  // namespace

std::optional<ContentRange> parseContentRange(std::string_view value) {
    value = trimmed(value);
    if (text::lowerAscii(value.substr(0, 6)) != "bytes ") return std::nullopt;
    value = trimmed(value.substr(6));
    const auto slash = value.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    ContentRange range;
    const std::string_view span = trimmed(value.substr(0, slash));
    const std::string_view total = trimmed(value.substr(slash + 1));
    if (total != "*") {
        range.total = parseCount(total);
        if (!range.total) return std::nullopt;
    }
    if (span == "*") return range.total ? std::optional(range) : std::nullopt;
    const auto dash = span.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    range.first = parseCount(span.substr(0, dash));
    const auto last = parseCount(span.substr(dash + 1));
    if (!range.first || !last || *last < *range.first) return std::nullopt;
    if (range.total && *last >= *range.total) return std::nullopt;
    range.last = *last;
    return range;
}

void ResponseHead::addLine(std::string_view line) {
    if (line.rfind("HTTP/", 0) == 0) {
        *this = ResponseHead();
        parseStatusLine(trimmed(line), status, reason);
        return;
    }
    if (trimmed(line).empty()) {
        complete = status != 0;
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string name = text::lowerAscii(trimmed(line.substr(0, colon)));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (name == "content-length") contentLength = parseCount(value);
    else if (name == "content-range") contentRange = parseContentRange(value);
    else if (name == "etag") etag = std::string(value);
    else if (name == "last-modified") lastModified = std::string(value);
    else if (name == "retry-after") retryAfter = std::string(value);
    else if (name == "content-type") contentType = std::string(value);
    else if (name == "content-disposition")
        contentDisposition = std::string(value);
    else if (name == "content-encoding")
        contentEncoding = std::string(value);
}

bool ResponseHead::encoded() const {
    const std::string coding = text::lowerAscii(contentEncoding);
    return !coding.empty() && coding != "identity";
}

std::optional<std::int64_t> retryAfterSeconds(const std::string& value, std::int64_t now) {
    if (value.empty()) return std::nullopt;
    if (const auto seconds = parseCount(value)) return *seconds;
    const std::int64_t when = curl_getdate(value.c_str(), nullptr);
    if (when < 0) return std::nullopt;
    return std::max<std::int64_t>(when - now, 0);
}

}  // namespace zenvira::components
