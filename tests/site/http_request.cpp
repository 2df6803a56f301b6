#include "tests/site/http_request.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace zenvira::site::http {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isToken(std::string_view s) {
    if (s.empty()) return false;
    return std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isalnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) !=
                                      std::string_view::npos;
    });
}

bool hasControlOrSpace(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; });
}

// The head's lines without their line ends (CRLF, or a bare LF from sloppy clients).
std::vector<std::string_view> splitLines(std::string_view head) {
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        const std::size_t lf = head.find('\n');
        std::string_view line = head.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        head.remove_prefix(lf + 1);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

bool parseRequestLine(std::string_view line, Request& request) {
    const std::size_t sp1 = line.find(' ');
    const std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) return false;
    request.method = std::string(line.substr(0, sp1));
    request.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    request.version = std::string(line.substr(sp2 + 1));
    if (!isToken(request.method) || request.target.empty() || hasControlOrSpace(request.target))
        return false;
    if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0") return false;
    const auto path = pathOfTarget(request.target);
    if (!path) return false;
    request.path = *path;
    return true;
}

bool parseHeaderLine(std::string_view line, Request& request) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view name = line.substr(0, colon);
    if (!isToken(name)) return false;  // also refuses folded continuation lines
    const std::string key = lowerAscii(name);
    const std::string value(trim(line.substr(colon + 1)));
    auto [it, inserted] = request.headers.emplace(key, value);
    if (!inserted) it->second += ", " + value;
    return true;
}

// Separators between parameters, longest first so "%5Cu0026" is not read as "%5C".
constexpr std::string_view kSeparators[] = {"%5Cu0026", "%5cu0026", "\\u0026", "&"};
constexpr std::string_view kValueEnds[] = {"%5C", "%5c", "\\", "#"};

std::size_t separatorAt(std::string_view query, std::size_t pos) {
    for (const auto sep : kSeparators)
        if (query.substr(pos, sep.size()) == sep) return sep.size();
    return 0;
}

}  // namespace

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string Request::header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

bool Request::keepAlive() const {
    const std::string connection = lowerAscii(header("connection"));
    // HTTP/1.0 clients get one exchange per connection: we never announce keep-alive.
    return version == "HTTP/1.1" && connection.find("close") == std::string::npos;
}

std::size_t headEnd(std::string_view buffer) {
    const std::size_t crlf = buffer.find("\r\n\r\n");
    const std::size_t lflf = buffer.find("\n\n");
    if (crlf == std::string_view::npos && lflf == std::string_view::npos) return std::string_view::npos;
    if (lflf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lflf)) return crlf + 4;
    return lflf + 2;
}

std::optional<Request> parseHead(std::string_view head) {
    const auto lines = splitLines(head);
    if (lines.empty()) return std::nullopt;
    Request request;
    if (!parseRequestLine(lines.front(), request)) return std::nullopt;
    for (std::size_t i = 1; i < lines.size(); ++i)
        if (!parseHeaderLine(lines[i], request)) return std::nullopt;
    return request;
}

std::optional<std::string> pathOfTarget(std::string_view target) {
    if (target.front() == '/') return std::string(target);
    if (target == "*") return std::string(target);
    const std::size_t schemeEnd = target.find("://");
    if (schemeEnd == std::string_view::npos) return std::nullopt;
    const std::string scheme = lowerAscii(target.substr(0, schemeEnd));
    if (scheme != "http" && scheme != "https") return std::nullopt;
    const std::string_view rest = target.substr(schemeEnd + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?");
    if (authorityEnd == 0 || rest.empty()) return std::nullopt;  // no host
    if (authorityEnd == std::string_view::npos) return std::string("/");
    if (rest[authorityEnd] == '?') return "/" + std::string(rest.substr(authorityEnd));
    return std::string(rest.substr(authorityEnd));
}

std::string routeOf(std::string_view pathAndQuery) {
    return std::string(pathAndQuery.substr(0, pathAndQuery.find('?')));
}

std::string queryOf(std::string_view pathAndQuery) {
    const std::size_t q = pathAndQuery.find('?');
    return q == std::string_view::npos ? std::string() : std::string(pathAndQuery.substr(q + 1));
}

std::optional<std::string> queryParam(std::string_view query, std::string_view name) {
    const std::string key = std::string(name) + "=";
    std::size_t pos = 0;
    while (pos <= query.size()) {
        // pos is the start of a parameter.
        if (query.substr(pos, key.size()) == key) {
            const std::string_view value = query.substr(pos + key.size());
            std::size_t end = value.size();
            for (const auto stop : kValueEnds) end = std::min(end, value.find(stop));
            end = std::min(end, value.find('&'));
            return std::string(value.substr(0, end));
        }
        // Skip to the next separator.
        std::size_t next = pos;
        std::size_t sepLength = 0;
        while (next < query.size() && (sepLength = separatorAt(query, next)) == 0) ++next;
        if (next >= query.size()) break;
        pos = next + sepLength;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> parseCount(std::string_view digits) {
    if (digits.empty() || digits.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

RangeRequest parseRange(std::string_view headerValue, std::uint64_t size) {
    RangeRequest none;
    std::string_view ranges = trim(headerValue);
    const std::size_t eq = ranges.find('=');
    if (eq == std::string_view::npos || lowerAscii(trim(ranges.substr(0, eq))) != "bytes") return none;
    ranges = trim(ranges.substr(eq + 1));
    if (ranges.find(',') != std::string_view::npos) return none;
    const std::size_t dash = ranges.find('-');
    if (dash == std::string_view::npos) return none;
    const std::string_view firstText = trim(ranges.substr(0, dash));
    const std::string_view lastText = trim(ranges.substr(dash + 1));

    RangeRequest range;
    if (firstText.empty()) {  // the last N bytes
        const auto suffix = parseCount(lastText);
        if (!suffix) return none;
        if (*suffix == 0 || size == 0) return {RangeRequest::Kind::Unsatisfiable};
        range.first = size - std::min(*suffix, size);
        range.last = size - 1;
    } else {
        const auto first = parseCount(firstText);
        if (!first) return none;
        std::optional<std::uint64_t> last = lastText.empty() ? std::optional<std::uint64_t>(UINT64_MAX)
                                                             : parseCount(lastText);
        if (!last || *last < *first) return none;
        if (*first >= size) return {RangeRequest::Kind::Unsatisfiable};
        range.first = *first;
        range.last = std::min(*last, size - 1);
    }
    range.kind = RangeRequest::Kind::Satisfiable;
    return range;
}

}  // namespace zenvira::site::http
