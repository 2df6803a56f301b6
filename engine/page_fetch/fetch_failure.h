#pragma once
// The one-line reason a person reads when a page could not be fetched.
#include <chrono>
#include <cstddef>
#include <string>

#include "engine/page_fetch/curl_transfer.h"
#include "engine/page_fetch/page_fetch.h"

namespace zenvira::components::pagefetch {

// True when the transfer did not give a page: a libcurl error, a stopped body or an HTTP
// status of 400 or more.
bool transferFailed(const TransferOutcome& outcome);

// requestedHost names the place in messages when libcurl gives nothing better.
std::string describeFailure(const TransferOutcome& outcome, const FetchOptions& options,
                            const std::string& requestedHost);

// "64 MiB", "300 KiB", "1000 bytes".
std::string formatByteCount(std::size_t bytes);

// "30 s", "0.3 s", "1.25 s".
std::string formatSeconds(std::chrono::milliseconds duration);

}  // namespace zenvira::components::pagefetch
