#pragma once
// How many connections a download wants. It starts where TuningValueA says; as soon as the
// first of them has shown its rate, it tries the ceiling at once (what a path with a cap per
// connection needs, and short downloads have no time for a slow climb). A step that brought
// a worthwhile share of what the connections before it did each, times the connections
// added, is kept; one that brought less means the path is full: the count falls back to what
// the measured gain was worth, never below the start, and grows no more. A server that asks
// to slow down (429, 503) halves the count and ends the growth too.
//
// A server may let each answer burst at its start and hold it to a cap after: the first rate
// then promises more than the path gives, and a step looks wasted. When the steady rate
// after the fallback is far below what the path seemed to give, the figures were a burst:
// the step is tried again from the steady rate, twice at most.
#include <algorithm>

namespace zenvira::components {

class ConnectionRamp {
public:
    // A step pays when it brings at least this share of what the connections before it did
    // each, times the connections it added.
    static constexpr double kWorthwhile = 0.3;
    // A steady rate below this share of what the path seemed to give shows a burst.
    static constexpr double kBurstShare = 0.5;
    static constexpr int kMostRetries = 2;

    ConnectionRamp(int start, int ceiling)
        : want_(std::max(start, 1)), start_(want_), ceiling_(std::max(ceiling, 1)) {}

    int want() const { return std::min(want_, ceiling_); }
    // Whether a measurement can still change the count.
    bool growing() const { return !full_; }
    // Whether the rate a step is judged against is known yet.
    bool hasBaseline() const { return before_ > 0; }
    // The most it may have changed (other downloads from the host came or went). A count
    // that stopped only because it had reached the old ceiling grows on to a higher one.
    void setCeiling(int ceiling) {
        ceiling = std::max(ceiling, 1);
        if (ceiling > ceiling_ && full_ && stoppedAtCeiling_ && !busy_) {
            full_ = false;
            stoppedAtCeiling_ = false;
            want_ = ceiling;
        }
        ceiling_ = ceiling;
    }

    // `active` connections, all of them delivering through a whole window, gave `rate`.
    void measured(int active, double rate) {
        if (full_ || active <= 0 || rate <= 0) return;
        if (before_ > 0) {
            if (active <= before_) return;  // the last step has not taken effect
            const double expected = rateBefore_ / before_ * (active - before_);
            const double gain = rate - rateBefore_;
            if (gain < kWorthwhile * expected) {
                // As many as the gain was worth had each connection brought what the first did.
                const double worth = before_ * std::max(rate, rateBefore_) / rateBefore_;
                want_ = std::clamp(static_cast<int>(worth + 0.5), std::min(std::max(before_, start_), active), active);
                full_ = true;
                pathSeemed_ = std::max(rate, rateBefore_);
                return;
            }
        }
        before_ = active;
        rateBefore_ = rate;
        if (want_ >= ceiling_) full_ = stoppedAtCeiling_ = true;  // nothing left to try
        want_ = ceiling_;
    }

    void serverAskedForFewer() {
        full_ = true;
        busy_ = true;
        want_ = std::max(1, std::min(want_, ceiling_) / 2);
    }

    // Whether a steady rate can still show that a step was judged on a burst.
    bool doubting() const { return full_ && !busy_ && pathSeemed_ > 0 && retries_ < kMostRetries && want() < ceiling_; }

    // `active` connections, all delivering, gave `rate` steadily since the count last changed.
    void steady(int active, double rate) {
        if (!doubting() || active < want() || rate <= 0) return;
        if (rate >= kBurstShare * pathSeemed_) {
            pathSeemed_ = 0;  // the path gives what it seemed to: the count stands
            return;
        }
        ++retries_;
        pathSeemed_ = 0;
        full_ = false;
        before_ = active;
        rateBefore_ = rate;
        want_ = ceiling_;
    }

private:
    int want_;
    int start_;
    int ceiling_;
    bool full_ = false;
    bool stoppedAtCeiling_ = false;  // full only for want of a higher ceiling
    int before_ = 0;       // connections before the last step
    double rateBefore_ = 0;
    double pathSeemed_ = 0;  // the rate a step that did not pay was judged on
    int retries_ = 0;
    bool busy_ = false;
};

}  // namespace zenvira::components
