#include "engine/transfer/rate_pacer.h"

#include <algorithm>
#include <cmath>

namespace zenvira::components {

namespace {

// The allowance holds at most this share of a second: enough for a read or two, too little
// for a burst above the rate.
constexpr std::int64_t kBurstPerSecond = 10;
constexpr std::int64_t kSmallestBurst = 16 * 1024;

}  // namespace

RatePacer::RatePacer(std::int64_t bytesPerSecond, const CancelToken& stop)
    : bytesPerSecond_(std::max<std::int64_t>(bytesPerSecond, 1)),
      burst_(std::max(bytesPerSecond_ / kBurstPerSecond, kSmallestBurst)),
      stop_(stop),
      filled_(Clock::now()) {}

void RatePacer::refill(Clock::time_point now) {
    if (now <= filled_) return;
    allowance_ =
        std::min(static_cast<double>(burst_), allowance_ + std::chrono::duration<double>(now - filled_).count() *
                                                               static_cast<double>(bytesPerSecond_));
    filled_ = now;
}

bool RatePacer::admit(CURL* easy, Clock::time_point now) {
    refill(now);
    // A stopped job takes what comes, so that its transfers end at once.
    if (allowance_ > 0 || stop_.cancelled()) return true;
    if (std::find(held_.begin(), held_.end(), easy) == held_.end()) held_.push_back(easy);
    return false;
}

void RatePacer::spent(std::size_t bytes) { allowance_ -= static_cast<double>(bytes); }

void RatePacer::resumeDue(Clock::time_point now) {
    refill(now);
    if (held_.empty() || (allowance_ <= 0 && !stop_.cancelled())) return;
    // Resuming hands the kept bytes over at once, which may hold a transfer again.
    std::vector<CURL*> going;
    going.swap(held_);
    for (CURL* easy : going) curl_easy_pause(easy, CURLPAUSE_CONT);
}

std::chrono::milliseconds RatePacer::untilDue(std::chrono::milliseconds longest, Clock::time_point now) {
    if (held_.empty()) return longest;
    refill(now);
    if (allowance_ > 0) return std::chrono::milliseconds(0);
    const double seconds = (1 - allowance_) / static_cast<double>(bytesPerSecond_);
    const auto due = std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
    return std::min(longest, due);
}

void RatePacer::forget(CURL* easy) { held_.erase(std::remove(held_.begin(), held_.end(), easy), held_.end()); }

}  // namespace zenvira::components
