#pragma once
// What every phase of one download shares on the transfer thread, and how a phase ends.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/policy/segment_plan.h"
#include "engine/request/failure_cause.h"
#include "engine/transfer/cancel_token.h"
#include "engine/transfer/multi_loop.h"
#include "engine/transfer/progress_meter.h"
#include "engine/transfer/rate_pacer.h"
#include "engine/transfer/stream_link.h"

namespace zenvira::components {

struct FetchContext {
    MultiLoop& loop;
    CancelToken& stop;
    ProgressMeter& meter;
    std::function<void()> tick;  // called on every turn of the loop; it throttles itself
    std::string userAgent;
    RetryPolicy retry;
    // Holds every transfer of the job to its total rate; none when the job has no limit.
    std::shared_ptr<RatePacer> pacer;
    // Someone watches the download while it comes: told what lands, it says what to fetch first.
    StreamLink* stream = nullptr;
};

enum class PhaseStatus { Complete, Failed, Stopped };

struct PhaseResult {
    PhaseStatus status = PhaseStatus::Failed;
    std::string error;            // when failed
    std::string warning;          // complete, but something could not be checked or disagreed
    bool resourceChanged = false; // the kept bytes no longer belong to what the server sends
    bool expired = false;         // the address is no longer served (403, 410): worth renewing
    bool notMedia = false;        // the first bytes are a page or text, not the media named: `error` says so
    FailureCause cause{};  // when failed: of what kind
};

// Waits out a back-off while keeping progress reports going; false when stopped meanwhile.
bool pauseFor(FetchContext& context, std::chrono::milliseconds duration);

// The longest a loop sleeps between two looks at the stop flag and the progress figures.
constexpr std::chrono::milliseconds kLoopTick{100};

}  // namespace zenvira::components
