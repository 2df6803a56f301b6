#pragma once
// libcurl's results in words a person understands, and which of them are worth another try.
#include <curl/curl.h>

#include <string>

#include "engine/transfer/transfer_failure.h"

namespace zenvira::components {

using CurlFailure = TransferFailure;

// The shared sentences, and the downloader's own where a file is what was being fetched.
std::string describeCurlFailure(const CurlFailure& failure);

// A body that broke off while no size was known to check it by: close-delimited (no
// Content-Length) or chunked, cut by a reset or a TLS close without close_notify.
inline constexpr const char* kUnsizedCutShortText =
    "The server closed the connection before the whole file came, and it did not say how long the file is";

// The server was never reached (no such host, nothing listening): trying again at once
// changes nothing, so a download that has not started fails straight away.
bool isUnreachable(CURLcode code);

// A connection that broke or stalled: worth taking up again from where it stopped.
bool isRetryable(CURLcode code);
bool isRetryable(const CurlFailure& failure);

}  // namespace zenvira::components
