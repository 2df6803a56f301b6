#include "engine/transfer/cancel_token.h"

#include <algorithm>

namespace zenvira::components {

void CancelToken::cancel() {
    cancelled_.store(true, std::memory_order_release);
    const std::lock_guard lock(mutex_);
    for (CURLM* multi : waits_) curl_multi_wakeup(multi);
}

void CancelToken::attach(CURLM* multi) {
    if (!multi) return;
    const std::lock_guard lock(mutex_);
    waits_.push_back(multi);
}

void CancelToken::detach(CURLM* multi) {
    const std::lock_guard lock(mutex_);
    waits_.erase(std::remove(waits_.begin(), waits_.end(), multi), waits_.end());
}

}  // namespace zenvira::components
