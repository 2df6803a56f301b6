#pragma once
// The one place a libcurl easy handle is set up for this program: http and https only (also
// after a redirect), the proxy from the environment (libcurl's own http_proxy, https_proxy,
// no_proxy), the certificate authorities of ca_bundle, the user agent, redirects, the connect,
// stall and overall time-outs, the receive buffer and what the request accepts as content
// encoding. Pages and downloads differ only in the figures they pass.
#include <curl/curl.h>

#include <chrono>
#include <string>

namespace zenvira::components {

enum class ContentEncoding {
    NotAsked,  // no Accept-Encoding sent; an encoded answer is passed on as it came
    Identity,  // "Accept-Encoding: identity"; an answer encoded anyway is decoded
    Any,  // every encoding libcurl can decode is offered, and decoded
};

struct TransferLimits {
    long maxRedirects = 10;
    std::chrono::milliseconds connectTimeout{20'000};
    std::chrono::milliseconds totalTimeout{0};  // 0: none, the stall limit watches instead
    std::chrono::seconds stallLimit{30};  // no byte for this long: broken (0: none)
    long receiveBuffer = 512 * 1024;  // few, large reads: fewer calls per gigabyte
    ContentEncoding encoding = ContentEncoding::Identity;
    bool http11Only = true;  // parallel ranges only help over separate connections
    bool suppressProxyHeads = true;  // a proxy's CONNECT answer is not read as the response
};

struct EasySetup {
    std::string url;
    std::string userAgent;
    TransferLimits limits;
};

// Sets every common option; `errorBuffer` (CURL_ERROR_SIZE bytes) must outlive the handle.
void setUpEasy(CURL* easy, const EasySetup& setup, char* errorBuffer);

// Makes sure libcurl's process-wide setup has run, once, whatever thread gets here first.
void ensureCurlReady();

}  // namespace zenvira::components
