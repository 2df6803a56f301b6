#pragma once
// The one way to end a blocking step of the engine: a page or playlist read, a download, a
// link renewal, a probe or a join. cancel() may be called from any thread, also before the
// step starts; it wakes every wait attached to the token at once, so nothing waits for a
// server or a time-out to notice. The window's Stop, Shutdown and the command line's Ctrl-C
// all come here.
#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace zenvira::components {

class CancelToken {
public:
    CancelToken() = default;
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    void cancel();
    bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }

    // A libcurl multi handle whose wait cancel() must wake; detached before it goes away.
    // Several may be attached at once (a job that reads a playlist while its loop runs).
    void attach(CURLM* multi);
    void detach(CURLM* multi);

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;  // guards waits_
    std::vector<CURLM*> waits_;
};

}  // namespace zenvira::components
