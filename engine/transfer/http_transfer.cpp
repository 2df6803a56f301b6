#include "engine/transfer/http_transfer.h"

#include <algorithm>

namespace zenvira::components {

namespace {

// A transfer held to a rate reads in pieces of about this share of a second's allowance,
// so that the allowance is spent evenly rather than in a few large gulps.
constexpr std::int64_t kPacedReadsPerSecond = 20;
constexpr std::int64_t kSmallestPacedBuffer = 16 * 1024;

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

HttpTransfer::HttpTransfer(const TransferRequest& request, BodyHandler onBody, const TransferLimits& limits)
    : easy_(curl_easy_init()), onBody_(std::move(onBody)), host_(hostOfAddress(request.url)) {
    if (easy_) configure(request, limits);
}

HttpTransfer::~HttpTransfer() {
    if (pacer_) pacer_->forget(easy_);
    if (easy_) curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
}

void HttpTransfer::configure(const TransferRequest& request, const TransferLimits& limits) {
    setUpEasy(easy_, EasySetup{request.url, request.userAgent, limits}, errorBuffer_);
    maxRedirects_ = limits.maxRedirects;
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HttpTransfer::onHeaderLine);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpTransfer::onBodyData);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
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
    transfer->begun_ = true;
    const bool wasComplete = transfer->head_.complete;
    transfer->head_.addLine(std::string_view(data, size * count));
    if (transfer->onHead_ && transfer->head_.complete && !wasComplete && !transfer->onHead_(transfer->head_)) return 0;
    return size * count;
}

void HttpTransfer::setPacer(RatePacer* pacer) {
    if (pacer_ && pacer_ != pacer) pacer_->forget(easy_);
    pacer_ = pacer;
    if (!pacer_ || begun_ || !easy_) return;
    const std::int64_t share = pacer_->bytesPerSecond() / kPacedReadsPerSecond;
    curl_easy_setopt(
        easy_, CURLOPT_BUFFERSIZE,
        static_cast<long>(std::clamp<std::int64_t>(share, kSmallestPacedBuffer, TransferLimits{}.receiveBuffer)));
}

std::size_t HttpTransfer::onBodyData(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    if (transfer->refused_) return 0;
    if (transfer->pauseAtBody_) {
        // libcurl keeps these bytes and offers them again once resumed.
        transfer->pauseAtBody_ = false;
        transfer->pausedAtBody_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    // Over the job's rate: libcurl keeps these bytes until the pacer lets it go on, and
    // stops reading this connection meanwhile, so the server is held back by TCP.
    if (transfer->pacer_ && !transfer->pacer_->admit(transfer->easy_)) return CURL_WRITEFUNC_PAUSE;
    const std::size_t taken = transfer->onBody_(data, size * count);
    if (transfer->pacer_ && taken > 0) transfer->pacer_->spent(taken);
    return taken;
}

void HttpTransfer::resume() {
    if (!pausedAtBody_) return;
    pausedAtBody_ = false;
    if (!heldBody_.empty()) {
        const std::string held = std::move(heldBody_);
        heldBody_.clear();
        const std::size_t taken = onBody_(held.data(), held.size());
        if (pacer_ && taken > 0) pacer_->spent(taken);
        refused_ = taken < held.size();  // the transfer ends at its next bytes
    }
    curl_easy_pause(easy_, CURLPAUSE_CONT);
}

void HttpTransfer::setTimeLimits(const TransferLimits& limits) {
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, limits.stallLimit.count() > 0 ? 1L : 0L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallLimit.count()));
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
    failure.maxRedirects = maxRedirects_;
    failure.headComplete = head_.complete;
    long connects = 0;
    failure.reusedConnection = curl_easy_getinfo(easy_, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK && connects == 0;
    return failure;
}

}  // namespace zenvira::components
