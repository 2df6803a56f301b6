#pragma once
// One HTTP GET on a libcurl easy handle, set up in easy_setup (big downloads by default:
// large receive buffer, a stall limit), body bytes handed straight to the caller, the
// response head parsed as it comes. Pages, ranges and fragments all go through it.
#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/policy/byte_ranges.h"
#include "engine/transfer/easy_setup.h"
#include "engine/transfer/rate_pacer.h"
#include "engine/transfer/response_head.h"
#include "engine/transfer/transfer_errors.h"

namespace zenvira::components {

struct TransferRequest {
    std::string url;
    std::string userAgent;
    std::optional<ByteRange> range;  // sent as "Range: bytes=begin-(end-1)"
    std::string ifRange;             // validator sent as If-Range, so a changed file is noticed
    bool toTheEnd = false;           // the range is "bytes=begin-": from its begin to the end
};

// The host an address names, for texts and for counting connections per host.
std::string hostOfAddress(const std::string& url);

class HttpTransfer {
public:
    // Gets each piece of the body; taking fewer bytes than offered ends the transfer.
    using BodyHandler = std::function<std::size_t(const char* data, std::size_t length)>;
    // Told each time a head has come whole (a redirect's too); false ends the transfer.
    using HeadHandler = std::function<bool(const ResponseHead& head)>;

    // The limits are a download's unless the caller says otherwise.
    HttpTransfer(const TransferRequest& request, BodyHandler onBody, const TransferLimits& limits = {});
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    bool valid() const { return easy_ != nullptr; }
    CURL* handle() const { return easy_; }
    const ResponseHead& head() const { return head_; }
    std::string effectiveUrl() const;
    const std::string& host() const { return host_; }
    // Counts the body against the job's rate (none: no limit): over budget, the transfer
    // pauses and the pacer resumes it from the loop.
    void setPacer(RatePacer* pacer);
    void setHeadHandler(HeadHandler onHead) { onHead_ = std::move(onHead); }
    // Hands the body to another reader from now on; bytes held by a pause go to it.
    void setBodyHandler(BodyHandler onBody) { onBody_ = std::move(onBody); }
    // Holds the body back as soon as its first bytes come, so that the head can be read and
    // the transfer handed on without losing a byte; resume() lets them through.
    void pauseAtBody() { pauseAtBody_ = true; }
    bool pausedAtBody() const { return pausedAtBody_; }
    // Body bytes taken before the pause that the next reader must get first: resume() hands
    // them over before libcurl goes on.
    void holdBody(std::string bytes) { heldBody_ = std::move(bytes); }
    void resume();
    // The time-outs and stall limit from now on, for an answer that turns from a page's into
    // a download's.
    void setTimeLimits(const TransferLimits& limits);
    CurlFailure failure(CURLcode code) const;

private:
    static std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBodyData(char* data, std::size_t size, std::size_t count, void* self);
    void configure(const TransferRequest& request, const TransferLimits& limits);

    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    BodyHandler onBody_;
    HeadHandler onHead_;
    RatePacer* pacer_ = nullptr;
    bool begun_ = false;  // an answer has started coming: the receive buffer is fixed
    bool pauseAtBody_ = false;
    bool pausedAtBody_ = false;
    std::string heldBody_;
    bool refused_ = false;  // the reader took fewer of the held bytes than were offered
    ResponseHead head_;
    std::string host_;
    long maxRedirects_ = 10;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace zenvira::components
