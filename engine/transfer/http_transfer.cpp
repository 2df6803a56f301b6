#include "engine/transfer/http_transfer.h"

#include "engine/transfer/ca_bundle.h"

namespace zenvira::components {

namespace {

// Few, large reads: fewer system calls and callbacks per gigabyte.
constexpr long kReceiveBuffer = 512 * 1024;
constexpr long kMaxRedirects = 10;

}  // namespace

std::string hostOfAddress(const std::string& url) {
    std::string host;
    if (CURLU* parsed = curl_url()) {
        char* part = nullptr;
        if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK)
            host = part;
        curl_free(part);
        curl_url_cleanup(parsed);
    }
    return host.empty() ? url : host;
}

HttpTransfer::HttpTransfer(const TransferRequest& request, BodyHandler onBody)
    : easy_(curl_easy_init()), onBody_(std::move(onBody)), host_(hostOfAddress(request.url)) {
    if (easy_) configure(request);
}

HttpTransfer::~HttpTransfer() {
    if (easy_) curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
}

void HttpTransfer::configure(const TransferRequest& request) {
    curl_easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    // Parallel ranges only help over separate connections, never as streams of one.
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, 20L);
    // A connection that delivers nothing for 30 s is treated as broken and taken up again.
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, 30L);
    curl_easy_setopt(easy_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HttpTransfer::onHeaderLine);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpTransfer::onBodyData);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
    applyCaBundle(easy_);
    if (request.range) {
        const std::string range = std::to_string(request.range->begin) + "-" +
                                  (request.toTheEnd ? std::string() : std::to_string(request.range->end - 1));
        curl_easy_setopt(easy_, CURLOPT_RANGE, range.c_str());  // libcurl copies the text
    }
    if (!request.ifRange.empty()) {
        headers_ = curl_slist_append(headers_, ("If-Range: " + request.ifRange).c_str());
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    }
}

std::size_t HttpTransfer::onHeaderLine(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    transfer->head_.addLine(std::string_view(data, size * count));
    return size * count;
}

std::size_t HttpTransfer::onBodyData(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    if (transfer->pauseAtBody_) {
        // libcurl keeps these bytes and offers them again once resumed.
        transfer->pauseAtBody_ = false;
        transfer->pausedAtBody_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    const std::size_t taken = transfer->onBody_(data, size * count);
    if (transfer->pacer_ && taken > 0) transfer->pacer_->pace(taken);
    return taken;
}

void HttpTransfer::resume() {
    if (!pausedAtBody_) return;
    pausedAtBody_ = false;
    curl_easy_pause(easy_, CURLPAUSE_CONT);
}

std::string HttpTransfer::effectiveUrl() const {
    char* url = nullptr;
    if (curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || !url) return {};
    return url;
}

CurlFailure HttpTransfer::failure(CURLcode code) const {
    CurlFailure failure;
    failure.code = code;
    curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &failure.osErrno);
    failure.message = errorBuffer_;
    failure.host = host_;
    failure.effectiveUrl = effectiveUrl();
    failure.maxRedirects = kMaxRedirects;
    failure.headComplete = head_.complete;
    long connects = 0;
    failure.reusedConnection = curl_easy_getinfo(easy_, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK && connects == 0;
    return failure;
}

}  // namespace zenvira::components
