#pragma once
// Holds the transfers of one job to a total rate, as a token bucket: the allowance fills at
// the rate, each piece of body taken spends it. A transfer that finds it spent pauses (libcurl
// keeps the bytes and stops reading its connection, so TCP holds the server back) and the
// loop resumes it when the allowance is there again. Nothing ever sleeps in a callback:
// the other transfers, the retry timers and the progress figures go on meanwhile. The total
// over all connections stays at the rate, however many there are.
#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

// The allowance itself, which several jobs may share: their pacers draw on one bucket, so the
// total of all of them stays at the rate (a queue's limit over its running downloads). Safe
// to use from the threads of several jobs at once.
class RateBudget {
public:
    using Clock = std::chrono::steady_clock;
    explicit RateBudget(std::int64_t bytesPerSecond);
    std::int64_t bytesPerSecond() const { return bytesPerSecond_; }

private:
    friend class RatePacer;
    void refill(Clock::time_point now);  // with mutex_ held

    std::mutex mutex_;  // guards what follows
    const std::int64_t bytesPerSecond_;
    const std::int64_t burst_;  // the most the allowance holds: an idle spell is not made up for
    Clock::time_point filled_;
    double allowance_ = 0;
};

class RatePacer {
public:
    using Clock = std::chrono::steady_clock;

    RatePacer(std::int64_t bytesPerSecond, const CancelToken& stop);
    // Draws on a budget other jobs share.
    RatePacer(std::shared_ptr<RateBudget> budget, const CancelToken& stop);
    std::int64_t bytesPerSecond() const { return budget_->bytesPerSecond(); }

    // Whether `easy` may take body now; when not, it is held until resumeDue() lets it go.
    bool admit(CURL* easy, Clock::time_point now = Clock::now());
    // `bytes` of body have just been taken.
    void spent(std::size_t bytes);
    // Lets the held transfers go on when the allowance is there again.
    void resumeDue(Clock::time_point now = Clock::now());
    // How long until a held transfer may go on; none held: `longest`.
    std::chrono::milliseconds untilDue(std::chrono::milliseconds longest, Clock::time_point now = Clock::now());
    // The transfer is going away or leaves the loop.
    void forget(CURL* easy);

private:
    std::shared_ptr<RateBudget> budget_;
    const CancelToken& stop_;
    std::vector<CURL*> held_;
};

}  // namespace zenvira::components
