#pragma once
// The site's "shutting down" flag, with sleeps that end as soon as it is raised, so a
// delayed or paced response never holds up the destructor.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zenvira::site {

class StopSignal {
public:
    using Clock = std::chrono::steady_clock;

    void raise() {
        {
            std::lock_guard lock(mutex_);
            raised_ = true;
        }
        wake_.notify_all();
    }

    bool raised() const {
        std::lock_guard lock(mutex_);
        return raised_;
    }

    // False when the wait was cut short by raise().
    bool sleepUntil(Clock::time_point when) {
        std::unique_lock lock(mutex_);
        return !wake_.wait_until(lock, when, [this] { return raised_; });
    }

    bool sleepFor(Clock::duration length) { return sleepUntil(Clock::now() + length); }

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool raised_ = false;
};

}  // namespace zenvira::site
