#pragma once
// Reading HTTP/1.1 requests as a server and a proxy receive them: the head, the target in
// origin-form or absolute-form, query parameters and the Range header.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::site::http {

struct Request {
    std::string method;
    std::string target;   // as sent
    std::string path;     // path and query, whatever the form of the target
    std::string version;  // "HTTP/1.1" or "HTTP/1.0"
    std::map<std::string, std::string> headers;  // lower-case names, repeated ones joined by ", "

    // The value of a header (name in lower case), or the empty text.
    std::string header(const std::string& name) const;
    // Whether the client lets the connection stay open after this exchange.
    bool keepAlive() const;
};

// Where the head ends in buffer (just past its blank line), or npos when it is incomplete.
std::size_t headEnd(std::string_view buffer);

// The request in a complete head; none when it is not a well-formed HTTP/1.x request.
std::optional<Request> parseHead(std::string_view head);

// The path and query a target names: itself in origin-form, the part after the authority in
// absolute-form ("/" when there is none). None for anything else.
std::optional<std::string> pathOfTarget(std::string_view target);

// The path without its query, and the query alone.
std::string routeOf(std::string_view pathAndQuery);
std::string queryOf(std::string_view pathAndQuery);

// A query parameter's value. Parameters are separated by '&' or by the "\u0026" that video
// sites write into addresses (also as "%5Cu0026"); a value ends at the next separator, at a
// backslash or "%5C", or at the end.
std::optional<std::string> queryParam(std::string_view query, std::string_view name);

// The Range header against a resource of `size` bytes. Ignored (None) when absent, not in
// bytes, naming several ranges or ill-formed; Unsatisfiable when it starts past the end.
struct RangeRequest {
    enum class Kind { None, Satisfiable, Unsatisfiable };
    Kind kind = Kind::None;
    std::uint64_t first = 0;
    std::uint64_t last = 0;  // inclusive
};
RangeRequest parseRange(std::string_view headerValue, std::uint64_t size);

std::string lowerAscii(std::string_view text);

// A decimal count with at most 19 digits and nothing else; none otherwise.
std::optional<std::uint64_t> parseCount(std::string_view digits);

}  // namespace zenvira::site::http
