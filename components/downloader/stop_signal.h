#pragma once
// A request to stop a download, raised on the UI thread and seen by the transfer thread,
// which it wakes at once from its wait for network activity.
#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace zenvira::components {

class StopSignal {
public:
    void request();
    bool requested() const { return requested_.load(std::memory_order_acquire); }

    // The transfer thread names the multi handle it waits on while it exists.
    void attach(CURLM* multi);
    void detach();

private:
    std::atomic<bool> requested_{false};
    std::mutex mutex_;  // guards multi_
    CURLM* multi_ = nullptr;
};

}  // namespace zenvira::components
