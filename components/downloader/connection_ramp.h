#pragma once
// How many connections a download wants. It starts where TuningValueA says; as soon as the
// first of them has shown its rate, it tries the ceiling at once (what a path with a cap per
// connection needs, and short downloads have no time for a slow climb). A step that brought
// a worthwhile share of what the connections before it did each, times the connections
// added, is kept; one that brought less means the path is full: the count falls back to what
// the measured gain was worth, never below the start, and grows no more. A server that asks
// to slow down (429, 503) halves the count and ends the growth too.
#include <algorithm>

namespace zenvira::components {

class ConnectionRamp {
public:
    // A step pays when it brings at least this share of what the connections before it did
    // each, times the connections it added.
    static constexpr double kWorthwhile = 0.3;

    ConnectionRamp(int start, int ceiling)
        : want_(std::max(start, 1)), start_(want_), ceiling_(std::max(ceiling, 1)) {}

    int want() const { return std::min(want_, ceiling_); }
    // Whether a measurement can still change the count.
    bool growing() const { return !full_; }
    // Whether the rate a step is judged against is known yet.
    bool hasBaseline() const { return before_ > 0; }
    void setCeiling(int ceiling) { ceiling_ = std::max(ceiling, 1); }

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
                return;
            }
        }
        before_ = active;
        rateBefore_ = rate;
        if (want_ >= ceiling_) full_ = true;  // nothing left to try
        want_ = ceiling_;
    }

    void serverAskedForFewer() {
        full_ = true;
        want_ = std::max(1, std::min(want_, ceiling_) / 2);
    }

private:
    int want_;
    int start_;
    int ceiling_;
    bool full_ = false;
    int before_ = 0;       // connections before the last step
    double rateBefore_ = 0;
};

}  // namespace zenvira::components
