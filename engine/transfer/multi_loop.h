#pragma once
// The libcurl multi handle all transfers of one download run on, on one thread: connections
// are kept and reused between the probe and the ranges.
#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

#include "engine/transfer/cancel_token.h"
#include "engine/transfer/http_transfer.h"

namespace zenvira::components {

class MultiLoop {
public:
    explicit MultiLoop(CancelToken& stop);
    // A loop with a stop of its own, never cancelled: one that may outlive its first user.
    MultiLoop();
    ~MultiLoop();
    MultiLoop(const MultiLoop&) = delete;
    MultiLoop& operator=(const MultiLoop&) = delete;

    bool add(HttpTransfer& transfer);
    void remove(HttpTransfer& transfer);
    // The job's rate: transfers it held are resumed from here, and a wait ends when they may
    // go on.
    void setPacer(RatePacer* pacer) { pacer_ = pacer; }
    // Runs another loop's transfers with this one's from now on: a transfer taken over in the
    // middle of its answer stays on the multi handle it started on.
    void adoptGuest(std::unique_ptr<MultiLoop> guest);
    CURLM* handle() const { return multi_; }

    // Moves every transfer along; returns those that have ended, with their results.
    std::vector<std::pair<HttpTransfer*, CURLcode>> perform();
    // Sleeps until there is network activity, a stop request, or `longest` has passed.
    void wait(std::chrono::milliseconds longest);

private:
    void performOwn(std::vector<std::pair<HttpTransfer*, CURLcode>>& ended);

    std::unique_ptr<CancelToken> ownStop_;
    CURLM* multi_;
    CancelToken& stop_;
    RatePacer* pacer_ = nullptr;
    std::vector<std::unique_ptr<MultiLoop>> guests_;
};

}  // namespace zenvira::components
