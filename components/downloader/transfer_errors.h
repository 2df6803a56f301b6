#pragma once
// libcurl's results in words a person understands, and which of them are worth another try.
#include <curl/curl.h>

#include <string>

namespace zenvira::components {

struct CurlFailure {
    CURLcode code = CURLE_OK;
    long osErrno = 0;        // CURLINFO_OS_ERRNO
    std::string message;     // libcurl's error buffer, may be empty
    std::string host;        // the host of the address, for the text
    bool headComplete = false;  // the answer's head had come whole
};

std::string describeCurlFailure(const CurlFailure& failure);

// The server was never reached (no such host, nothing listening): trying again at once
// changes nothing, so a download that has not started fails straight away.
bool isUnreachable(CURLcode code);

// A connection that broke or stalled: worth taking up again from where it stopped.
bool isRetryable(CURLcode code);
bool isRetryable(const CurlFailure& failure);

}  // namespace zenvira::components
