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

RateBudget::RateBudget(std::int64_t bytesPerSecond)
    : bytesPerSecond_(std::max<std::int64_t>(bytesPerSecond, 1)),
      burst_(std::max(bytesPerSecond_ / kBurstPerSecond, kSmallestBurst)),
      filled_(Clock::now()) {}

void RateBudget::refill(Clock::time_point now) {
    if (now <= filled_) return;
    allowance_ =
        std::min(static_cast<double>(burst_), allowance_ + std::chrono::duration<double>(now - filled_).count() *
                                                               static_cast<double>(bytesPerSecond_));
    filled_ = now;
}

RatePacer::RatePacer(std::int64_t bytesPerSecond, const CancelToken& stop)
    : RatePacer(std::make_shared<RateBudget>(bytesPerSecond), stop) {}

RatePacer::RatePacer(std::shared_ptr<RateBudget> budget, const CancelToken& stop)
    : budget_(std::move(budget)), stop_(stop) {}

bool RatePacer::admit(CURL* easy, Clock::time_point now) {
    {
        std::lock_guard lock(budget_->mutex_);
        budget_->refill(now);
        // A stopped job takes what comes, so that its transfers end at once.
        if (budget_->allowance_ > 0 || stop_.cancelled()) return true;
    }
    if (std::find(held_.begin(), held_.end(), easy) == held_.end()) held_.push_back(easy);
    return false;
}

void RatePacer::spent(std::size_t bytes) {
    std::lock_guard lock(budget_->mutex_);
    budget_->allowance_ -= static_cast<double>(bytes);
}

void RatePacer::resumeDue(Clock::time_point now) {
    if (held_.empty()) return;
    {
        std::lock_guard lock(budget_->mutex_);
        budget_->refill(now);
        if (budget_->allowance_ <= 0 && !stop_.cancelled()) return;
    }
    // Resuming hands the kept bytes over at once, which may hold a transfer again.
    std::vector<CURL*> going;
    going.swap(held_);
    for (CURL* easy : going) curl_easy_pause(easy, CURLPAUSE_CONT);
}

std::chrono::milliseconds RatePacer::untilDue(std::chrono::milliseconds longest, Clock::time_point now) {
    if (held_.empty()) return longest;
    std::lock_guard lock(budget_->mutex_);
    budget_->refill(now);
    if (budget_->allowance_ > 0) return std::chrono::milliseconds(0);
    const double seconds = (1 - budget_->allowance_) / static_cast<double>(budget_->bytesPerSecond_);
    const auto due = std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
    return std::min(longest, due);
}

void RatePacer::forget(CURL* easy) { held_.erase(std::remove(held_.begin(), held_.end(), easy), held_.end()); }

}  // namespace zenvira::components
