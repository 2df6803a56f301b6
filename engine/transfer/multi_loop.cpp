#include "engine/transfer/multi_loop.h"

#include <algorithm>

namespace zenvira::components {

MultiLoop::MultiLoop(CancelToken& stop) : multi_(curl_multi_init()), stop_(stop) { stop_.attach(multi_); }

MultiLoop::~MultiLoop() {
    stop_.detach(multi_);
    curl_multi_cleanup(multi_);
}

bool MultiLoop::add(HttpTransfer& transfer) {
    return multi_ && transfer.valid() && curl_multi_add_handle(multi_, transfer.handle()) == CURLM_OK;
}

void MultiLoop::remove(HttpTransfer& transfer) {
    if (pacer_) pacer_->forget(transfer.handle());
    curl_multi_remove_handle(multi_, transfer.handle());
}

std::vector<std::pair<HttpTransfer*, CURLcode>> MultiLoop::perform() {
    if (pacer_) pacer_->resumeDue();
    int running = 0;
    curl_multi_perform(multi_, &running);
    std::vector<std::pair<HttpTransfer*, CURLcode>> ended;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        char* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        ended.emplace_back(reinterpret_cast<HttpTransfer*>(owner), message->data.result);
    }
    return ended;
}

void MultiLoop::wait(std::chrono::milliseconds longest) {
    if (stop_.cancelled()) return;
    if (pacer_) longest = pacer_->untilDue(longest);
    curl_multi_poll(multi_, nullptr, 0, static_cast<int>(std::max<long long>(longest.count(), 0)), nullptr);
}

}  // namespace zenvira::components
