#include "engine/transfer/multi_loop.h"

#include <algorithm>

namespace zenvira::components {

MultiLoop::MultiLoop(CancelToken& stop) : multi_(curl_multi_init()), stop_(stop) { stop_.attach(multi_); }

MultiLoop::MultiLoop() : ownStop_(std::make_unique<CancelToken>()), multi_(curl_multi_init()), stop_(*ownStop_) {
    stop_.attach(multi_);
}

MultiLoop::~MultiLoop() {
    guests_.clear();
    stop_.detach(multi_);
    curl_multi_cleanup(multi_);
}

bool MultiLoop::add(HttpTransfer& transfer) {
    return multi_ && transfer.valid() && curl_multi_add_handle(multi_, transfer.handle()) == CURLM_OK;
}

void MultiLoop::remove(HttpTransfer& transfer) {
    if (pacer_) pacer_->forget(transfer.handle());
    // libcurl refuses, harmlessly, a handle that runs on another multi.
    curl_multi_remove_handle(multi_, transfer.handle());
    for (auto& guest : guests_) guest->remove(transfer);
}

void MultiLoop::adoptGuest(std::unique_ptr<MultiLoop> guest) {
    if (guest) guests_.push_back(std::move(guest));
}

void MultiLoop::performOwn(std::vector<std::pair<HttpTransfer*, CURLcode>>& ended) {
    int running = 0;
    curl_multi_perform(multi_, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        char* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        ended.emplace_back(reinterpret_cast<HttpTransfer*>(owner), message->data.result);
    }
}

std::vector<std::pair<HttpTransfer*, CURLcode>> MultiLoop::perform() {
    if (pacer_) pacer_->resumeDue();
    std::vector<std::pair<HttpTransfer*, CURLcode>> ended;
    performOwn(ended);
    for (auto& guest : guests_) guest->performOwn(ended);
    return ended;
}

void MultiLoop::wait(std::chrono::milliseconds longest) {
    if (stop_.cancelled()) return;
    if (pacer_) longest = pacer_->untilDue(longest);
    // A guest's sockets are waited on with this loop's, and its timers shorten the wait.
    std::vector<curl_waitfd> extra;
    for (const auto& guest : guests_) {
        fd_set reads, writes, errors;
        FD_ZERO(&reads);
        FD_ZERO(&writes);
        FD_ZERO(&errors);
        int highest = -1;
        if (curl_multi_fdset(guest->multi_, &reads, &writes, &errors, &highest) != CURLM_OK) continue;
        for (int fd = 0; fd <= highest; ++fd) {
            short events = 0;
            if (FD_ISSET(fd, &reads)) events |= CURL_WAIT_POLLIN;
            if (FD_ISSET(fd, &writes)) events |= CURL_WAIT_POLLOUT;
            if (FD_ISSET(fd, &errors)) events |= CURL_WAIT_POLLPRI;
            if (events) extra.push_back(curl_waitfd{fd, events, 0});
        }
        long due = -1;
        if (curl_multi_timeout(guest->multi_, &due) == CURLM_OK && due >= 0)
            longest = std::min(longest, std::chrono::milliseconds(due));
    }
    curl_multi_poll(multi_, extra.data(), static_cast<unsigned>(extra.size()),
                    static_cast<int>(std::max<long long>(longest.count(), 0)), nullptr);
}

}  // namespace zenvira::components
