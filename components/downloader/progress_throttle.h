#pragma once
// Decides, on the transfer thread, when a Progress report is worth sending: at most one per
// interval, and only when the byte counts have moved since the last one.
#include <chrono>

#include "components/downloader/progress_meter.h"

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
        if (figures.BytesDone == reported_.BytesDone && figures.BytesTotal == reported_.BytesTotal) return false;
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
