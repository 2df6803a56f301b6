#pragma once
// One HTTP GET on a libcurl easy handle, set up for big downloads: large receive buffer,
// body bytes handed straight to the caller, the response head parsed as it comes.
#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "components/downloader/byte_ranges.h"
#include "components/downloader/rate_pacer.h"
#include "components/downloader/response_head.h"
#include "components/downloader/transfer_errors.h"

namespace zenvira::components {

struct TransferRequest {
    std::string url;
    std::string userAgent;
    std::optional<ByteRange> range;  // sent as "Range: bytes=begin-(end-1)"
    std::string ifRange;             // validator sent as If-Range, so a changed file is noticed
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
    CurlFailure failure(CURLcode code) const;

private:
    static std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBodyData(char* data, std::size_t size, std::size_t count, void* self);
    void configure(const TransferRequest& request);

    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    BodyHandler onBody_;
    RatePacer* pacer_ = nullptr;
    ResponseHead head_;
    std::string host_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace zenvira::components
