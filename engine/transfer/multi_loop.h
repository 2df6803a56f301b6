#pragma once
// The libcurl multi handle all transfers of one download run on, on one thread: connections
// are kept and reused between the probe and the ranges.
#include <curl/curl.h>

#include <chrono>
#include <utility>
#include <vector>

#include "engine/transfer/http_transfer.h"
#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

class MultiLoop {
public:
    explicit MultiLoop(CancelToken& stop);
    ~MultiLoop();
    MultiLoop(const MultiLoop&) = delete;
    MultiLoop& operator=(const MultiLoop&) = delete;

    bool add(HttpTransfer& transfer);
    void remove(HttpTransfer& transfer);
    // The job's rate: transfers it held are resumed from here, and a wait ends when they may
    // go on.
    void setPacer(RatePacer* pacer) { pacer_ = pacer; }

    // Moves every transfer along; returns those that have ended, with their results.
    std::vector<std::pair<HttpTransfer*, CURLcode>> perform();
    // Sleeps until there is network activity, a stop request, or `longest` has passed.
    void wait(std::chrono::milliseconds longest);

private:
    CURLM* multi_;
    CancelToken& stop_;
    RatePacer* pacer_ = nullptr;
};

}  // namespace zenvira::components
