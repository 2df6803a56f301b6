#pragma once
// What every phase of one download shares on the transfer thread, and how a phase ends.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/downloader/multi_loop.h"
#include "components/downloader/progress_meter.h"
#include "components/downloader/rate_pacer.h"
#include "components/downloader/segment_plan.h"
#include "components/downloader/stop_signal.h"

namespace zenvira::components {

struct FetchContext {
    MultiLoop& loop;
    StopSignal& stop;
    ProgressMeter& meter;
    std::function<void()> tick;  // called on every turn of the loop; it throttles itself
    std::string userAgent;
    RetryPolicy retry;
    // Holds every transfer of the job to its total rate; none when the job has no limit.
    std::shared_ptr<RatePacer> pacer;
};

enum class FetchStatus { Complete, Failed, Stopped };

struct FetchResult {
    FetchStatus status = FetchStatus::Failed;
    std::string error;            // when failed
    std::string warning;          // complete, but something could not be checked or disagreed
    bool resourceChanged = false; // the kept bytes no longer belong to what the server sends
    bool expired = false;         // the address is no longer served (403, 410): worth renewing
};

// Waits out a back-off while keeping progress reports going; false when stopped meanwhile.
bool pauseFor(FetchContext& context, std::chrono::milliseconds duration);

// The longest a loop sleeps between two looks at the stop flag and the progress figures.
constexpr std::chrono::milliseconds kLoopTick{100};

}  // namespace zenvira::components
