#pragma once
// A way to end a page fetch from outside it: the window's Stop button and the command
// line's Ctrl-C. cancel() may be called from any thread, also before the fetch starts; the
// fetch then ends at once, without waiting for the server or for a time-out.
#include <atomic>
#include <mutex>

namespace zenvira::components {

class FetchCancel {
public:
    FetchCancel() = default;
    FetchCancel(const FetchCancel&) = delete;
    FetchCancel& operator=(const FetchCancel&) = delete;

    void cancel();
    bool cancelled() const { return cancelled_.load(); }

    // For the transfer: while attached, cancel() also wakes the transfer's wait. The transfer
    // detaches before its handle goes away.
    void attach(void* multiHandle);
    void detach();

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    void* multi_ = nullptr;  // the running transfer's CURLM, guarded by mutex_
};

}  // namespace zenvira::components
