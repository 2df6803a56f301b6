#pragma once
// The head of one HTTP response as it comes in line by line: status, the sizes a download
// needs (Content-Length, Content-Range) and the validators that tell whether the resource
// is still the one a kept part came from (ETag, Last-Modified).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/transfer/http_status.h"

namespace zenvira::components {

// "bytes FIRST-LAST/TOTAL", "bytes FIRST-LAST/*" or "bytes */TOTAL".
struct ContentRange {
    std::optional<std::int64_t> first;  // absent for "bytes */TOTAL"
    std::int64_t last = -1;
    std::optional<std::int64_t> total;  // absent for "/*"
};

std::optional<ContentRange> parseContentRange(std::string_view value);

struct ResponseHead {
    int status = 0;
    std::string reason;
    std::optional<std::int64_t> contentLength;
    std::optional<ContentRange> contentRange;
    std::string etag;
    std::string lastModified;
    std::string retryAfter;  // as sent: seconds or an HTTP date
    std::string contentType;
    std::string contentDisposition;
    std::string contentEncoding;  // as sent; libcurl decodes what it can
    bool complete = false;  // the blank line after the headers has come

    // Takes one header line as the transfer delivers it (CR LF included). A status line starts
    // a new head, so the final response wins after redirects and proxy answers.
    void addLine(std::string_view line);
    // The body is sent compressed (gzip, deflate...): its parts and its length are those of
    // the compressed bytes, not of the file.
    bool encoded() const;
};

// How long a Retry-After value asks to wait from `now` (seconds since 1970); none when the
// value is neither a count of seconds nor a date.
std::optional<std::int64_t> retryAfterSeconds(const std::string& value, std::int64_t now);

}  // namespace zenvira::components
