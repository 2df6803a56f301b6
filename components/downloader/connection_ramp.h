#pragma once
// How many connections a download wants. It starts where TuningValueA says and, while every
// added connection raised the total rate by a worthwhile share, adds more (twice as many, or
// four times when the last step paid almost in full), up to a ceiling. Once a step brings
// too little the path is full and nothing more is added; a server that asks to slow down
// (429, 503) halves the count and ends the growth too.
#include <algorithm>

namespace zenvira::components {

class ConnectionRamp {
public:
    // A step pays when it brings at least this share of what the connections before it did
    // each, times the connections it added.
    static constexpr double kWorthwhile = 0.5;
    static constexpr double kAlmostInFull = 0.8;

    ConnectionRamp(int start, int ceiling) : want_(std::max(start, 1)), ceiling_(std::max(ceiling, 1)) {}

    int want() const { return std::min(want_, ceiling_); }
    bool growing() const { return !full_ && want_ < ceiling_; }
    void setCeiling(int ceiling) { ceiling_ = std::max(ceiling, 1); }

    // `active` connections, all of them delivering through a whole window, gave `rate`.
    void measured(int active, double rate) {
        if (!growing() || active <= 0 || rate <= 0) return;
        if (before_ > 0) {
            if (active <= before_) return;  // the last step has not taken effect
            const double expected = rateBefore_ / before_ * (active - before_);
            const double gain = rate - rateBefore_;
            if (gain < kWorthwhile * expected) {
                full_ = true;
                return;
            }
            factor_ = gain >= kAlmostInFull * expected ? 4 : 2;
        }
        before_ = active;
        rateBefore_ = rate;
        want_ = std::min(active * factor_, ceiling_);
    }

    void serverAskedForFewer() {
        full_ = true;
        want_ = std::max(1, std::min(want_, ceiling_) / 2);
    }

private:
    int want_;
    int ceiling_;
    bool full_ = false;
    int factor_ = 2;       // the first step doubles
    int before_ = 0;       // connections before the last step
    double rateBefore_ = 0;
};

}  // namespace zenvira::components
