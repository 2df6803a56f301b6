#include "components/page_fetch/fetch_cancel.h"

#include <curl/curl.h>

namespace zenvira::components {

void FetchCancel::cancel() {
    cancelled_.store(true);
    const std::lock_guard lock(mutex_);
    if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void FetchCancel::attach(void* multiHandle) {
    const std::lock_guard lock(mutex_);
    multi_ = multiHandle;
}

void FetchCancel::detach() {
    const std::lock_guard lock(mutex_);
    multi_ = nullptr;
}

}  // namespace zenvira::components
