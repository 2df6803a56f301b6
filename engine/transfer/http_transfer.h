#pragma once
// One HTTP GET on a libcurl easy handle, set up for big downloads: large receive buffer,
// body bytes handed straight to the caller, the response head parsed as it comes.
#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/policy/byte_ranges.h"
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

    HttpTransfer(const TransferRequest& request, BodyHandler onBody);
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    bool valid() const { return easy_ != nullptr; }
    CURL* handle() const { return easy_; }
    const ResponseHead& head() const { return head_; }
    std::string effectiveUrl() const;
    const std::string& host() const { return host_; }
    // Counts the body against the job's rate (none: no limit).
    void setPacer(RatePacer* pacer) { pacer_ = pacer; }
    // Hands the body to another reader from now on; bytes held by a pause go to it.
    void setBodyHandler(BodyHandler onBody) { onBody_ = std::move(onBody); }
    // Holds the body back as soon as its first bytes come, so that the head can be read and
    // the transfer handed on without losing a byte; resume() lets them through.
    void pauseAtBody() { pauseAtBody_ = true; }
    bool pausedAtBody() const { return pausedAtBody_; }
    void resume();
    CurlFailure failure(CURLcode code) const;

private:
    static std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBodyData(char* data, std::size_t size, std::size_t count, void* self);
    void configure(const TransferRequest& request);

    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    BodyHandler onBody_;
    RatePacer* pacer_ = nullptr;
    bool pauseAtBody_ = false;
    bool pausedAtBody_ = false;
    ResponseHead head_;
    std::string host_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace zenvira::components
