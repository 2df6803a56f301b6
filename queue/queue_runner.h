#pragma once
// Works through a queue: at most `jobs` entries at once, each on a job thread of its own with
// its own CancelToken, the rest waiting in order. Only this loop writes to the store; the job
// threads fetch. Changes other processes make (a new entry, a pause, a removal) are seen
// within a second through the store's data version: a paused or removed entry's job is
// cancelled at once, its `.part` kept. Failures worth another try wait and come again with a
// growing pause between tries. Entries the main window's batch holds in this process are passed
// over (see held_entries.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/request/download_request.h"
#include "engine/transfer/progress_meter.h"
#include "queue/queue_entry.h"

namespace zenvira::queue {

struct RunnerSettings {
    int jobs = 3;                        // entries running at once
    int connections = 3;                 // where each download starts
    std::int64_t maxBytesPerSecond = 0;  // over all running downloads; 0: no limit
    std::string userAgent;
    bool untilEmpty = true;  // end when nothing waits or runs; else until stop()
    // Each entry's request before its job runs, on the job's thread (JobOptions::beforeJob).
    std::function<void(const Entry&, components::DownloadRequest&)> beforeJob;
};

// What a front is told, on the runner's own thread.
struct RunnerListener {
    std::function<void(const Entry&)> started;
    // A few times a second for each running entry.
    std::function<void(EntryId, const std::string& address, const components::DownloadProgress&)> progress;
    // An entry ended: saved, failed, or waiting again (a retry later, or the run stopped).
    std::function<void(const Entry&)> ended;
};

struct RunSummary {
    bool ran = false;     // the queue was opened and its lock taken
    std::string error;    // why not
    int saved = 0;
    int failed = 0;
    bool stopped = false;  // stop() ended it with entries running or waiting
};

class QueueRunner {
public:
    QueueRunner(std::string queuePath, RunnerSettings settings, RunnerListener listener = {});

    // Runs on the calling thread until the queue is done (untilEmpty) or stop() is called.
    RunSummary run();
    // From any thread: the running entries stop at once and wait for the next run.
    void stop() { stopRequested_.store(true); }

    // Back-off after the n-th failed try (1, 2, ...): 2 s, 4 s, 8 s...
    static std::int64_t retryDelayMs(int attempt);
    static constexpr int kMostTries = 5;

private:
    std::string queuePath_;
    RunnerSettings settings_;
    RunnerListener listener_;
    std::atomic<bool> stopRequested_{false};
};

}  // namespace zenvira::queue
