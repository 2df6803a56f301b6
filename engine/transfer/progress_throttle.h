#pragma once
// Decides, on the transfer thread, when a Progress report is worth sending: at most one per
// interval, and only when the byte counts have moved since the last one.
#include <chrono>

#include "engine/transfer/progress_meter.h"

namespace zenvira::components {

class ProgressThrottle {
public:
    explicit ProgressThrottle(ProgressMeter& meter, std::chrono::milliseconds interval = std::chrono::milliseconds(100))
        : meter_(meter), interval_(interval), last_(ProgressMeter::Clock::now()) {}

    // Takes a rate sample when an interval has passed; true when a report should go out.
    bool due() {
        const auto now = ProgressMeter::Clock::now();
        if (now - last_ < interval_) return false;
        last_ = now;
        meter_.sample(now);
        const DownloadProgress figures = meter_.snapshot();
        // A stalled transfer is reported too once its speed has fallen to 0, so the window
        // never keeps showing the last burst.
        const bool stalledNow = figures.BytesPerSecond == 0 && reported_.BytesPerSecond != 0;
        if (figures.BytesDone == reported_.BytesDone && figures.BytesTotal == reported_.BytesTotal && !stalledNow)
            return false;
        reported_ = figures;
        return true;
    }

private:
    ProgressMeter& meter_;
    std::chrono::milliseconds interval_;
    ProgressMeter::Clock::time_point last_;
    DownloadProgress reported_;
};

}  // namespace zenvira::components
