#include "components/downloader/stop_signal.h"

namespace zenvira::components {

void StopSignal::request() {
    requested_.store(true, std::memory_order_release);
    std::lock_guard lock(mutex_);
    if (multi_) curl_multi_wakeup(multi_);
}

void StopSignal::attach(CURLM* multi) {
    std::lock_guard lock(mutex_);
    multi_ = multi;
}

void StopSignal::detach() {
    std::lock_guard lock(mutex_);
    multi_ = nullptr;
}

}  // namespace zenvira::components
