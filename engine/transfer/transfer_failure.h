#pragma once
// The sentences a person reads when an HTTP transfer failed, for the failures that mean the
// same whether a page was being read or a file downloaded: one wording for both.
#include <curl/curl.h>

#include <optional>
#include <string>

namespace zenvira::components {

// What libcurl left behind when a transfer ended with an error.
struct TransferFailure {
    CURLcode code = CURLE_OK;
    long osErrno = 0;            // CURLINFO_OS_ERRNO
    std::string message;         // libcurl's error buffer, may be empty
    std::string host;            // the host of the address asked for, for the text
    std::string effectiveUrl;    // the last address asked for: where a redirect led
    long maxRedirects = 10;      // the limit the transfer ran with
    bool headComplete = false;   // the answer's head had come whole
    bool reusedConnection = false;  // the request went over a connection an earlier answer used
};

// The sentence for a failure that reads the same everywhere: redirects (too many, or to
// another scheme), a header too large, a host or proxy not found, no connection, a
// certificate or secure connection that failed, a connection that broke off, an answer that
// is not HTTP, a bad address. Nothing for the failures whose words depend on what was being
// fetched (a body cut short, a time-out, memory): the caller says those.
std::optional<std::string> commonFailureText(const TransferFailure& failure);

// libcurl's own detail: its error buffer, else the code's standard text, made safe to show.
std::string failureDetail(const TransferFailure& failure);

// A server that answered a reused connection with something that is not HTTP: the bytes
// left over from an answer shorter than it announced.
bool leftoverOfShortAnswer(const TransferFailure& failure);

}  // namespace zenvira::components
