#pragma once
// One blocking page transfer on the transfer layer (an HttpTransfer on a MultiLoop of its
// own), with everything a caller needs to explain a failure afterwards.
#include <curl/curl.h>

#include <string>
#include <string_view>

#include "engine/page_fetch/page_fetch.h"

namespace zenvira::components::pagefetch {

struct TransferOutcome {
    CURLcode code = CURLE_OK;
    long status = 0;           // status of the last response seen
    std::string reason;        // its reason phrase, empty when the server sent none
    std::string contentType;   // its Content-Type header
    std::string contentDisposition;  // its Content-Disposition header
    bool mediaPrefix = false;  // stopped on purpose after the first bytes of a media body
    bool headComplete = false; // the last response's head came whole (its blank line seen)
    long proxyStatus = 0;      // the proxy's answer to a CONNECT, 0 when there was none
    std::string body;          // the decoded (gunzipped) body of the last response
    bool bodyTooLarge = false;     // stopped because the body passed maxBodyBytes
    bool outOfMemory = false;      // stopped because the body could not be stored
    long osErrno = 0;              // errno of a failed connect
    std::string curlMessage;       // libcurl's own detail text
    std::string effectiveUrl;      // the address of the last request (after redirects)
    long long elapsedMicros = 0;
    long long connectedMicros = 0;  // when the connection stood, 0 when it never did
    bool cancelled = false;         // ended by the caller's CancelToken
};

// Content-Types whose body is a media file or plain bytes rather than a page.
bool isMediaType(std::string_view contentType);

// Runs on a multi handle of its own, so that a cancel wakes its wait at once.
TransferOutcome runTransfer(const std::string& url, const FetchOptions& options, CancelToken* cancel = nullptr);

}  // namespace zenvira::components::pagefetch
