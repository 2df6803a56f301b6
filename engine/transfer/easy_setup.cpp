#include "engine/transfer/easy_setup.h"

#include <mutex>

#include "engine/transfer/ca_bundle.h"

namespace zenvira::components {

void setUpEasy(CURL* easy, const EasySetup& setup, char* errorBuffer) {
    const TransferLimits& limits = setup.limits;
    curl_easy_setopt(easy, CURLOPT_URL, setup.url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, setup.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM in a threaded program
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    if (limits.totalTimeout.count() > 0)
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    if (limits.stallLimit.count() > 0) {
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallLimit.count()));
    }
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, limits.receiveBuffer);
    switch (limits.encoding) {
    case ContentEncoding::NotAsked: break;
    case ContentEncoding::Identity:
        // Setting it also turns libcurl's decoding on, for a server that encodes regardless.
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity");
        break;
    case ContentEncoding::Any: curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, ""); break;
    }
    if (limits.http11Only) curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    if (limits.suppressProxyHeads) curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
    applyCaBundle(easy);
}

void ensureCurlReady() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace zenvira::components
