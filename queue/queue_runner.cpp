#include "queue/queue_runner.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include "engine/transfer/cancel_token.h"
#include "queue/entry_job.h"
#include "queue/held_entries.h"
#include "queue/queue_store.h"
#include "queue/runner_lock.h"

namespace zenvira::queue {

namespace {

using Clock = std::chrono::steady_clock;

// How often the loop looks for changes other processes made, and reports figures.
constexpr auto kLookEvery = std::chrono::milliseconds(250);
// How often a running entry's bytes are written to the store.
constexpr auto kRecordEvery = std::chrono::seconds(1);

// One entry being fetched on its own thread. The thread writes only `outcome`, `title`,
// `file` (under `mutex`) and `done`; the loop reads them.
struct RunningJob {
    Entry entry;
    components::ProgressMeter meter;
    components::CancelToken cancel;
    std::thread thread;
    std::mutex mutex;
    EntryOutcome outcome;
    std::string title, file;
    bool named = false;       // title and file are new, for the store
    bool done = false;
    bool abandoned = false;   // paused or removed from outside: its outcome is not recorded
};

}  // namespace

std::int64_t QueueRunner::retryDelayMs(int attempt) { return 1000LL << std::min(attempt, 10); }

QueueRunner::QueueRunner(std::string queuePath, RunnerSettings settings, RunnerListener listener)
    : queuePath_(std::move(queuePath)), settings_(std::move(settings)), listener_(std::move(listener)) {}

RunSummary QueueRunner::run() {
    RunSummary summary;
    RunnerLock::Result lockResult;
    const auto lock = RunnerLock::take(queuePath_, lockResult, summary.error);
    if (!lock) return summary;
    auto opened = QueueStore::open(queuePath_);
    if (!opened.store) {
        summary.error = opened.error;
        return summary;
    }
    QueueStore& store = *opened.store;
    summary.ran = true;
    store.requeueRunning(heldEntries(queuePath_));  // a runner before this one died with these under way

    const int most = std::max(1, settings_.jobs);
    JobOptions options;
    options.connections = settings_.connections;
    options.userAgent = settings_.userAgent;
    options.beforeJob = settings_.beforeJob;
    // One allowance for all running downloads: what one leaves, the others may take.
    if (settings_.maxBytesPerSecond > 0) options.sharedRate = std::make_shared<components::RateBudget>(settings_.maxBytesPerSecond);

    std::mutex wakeMutex;
    std::condition_variable wake;
    std::list<RunningJob> jobs;
    std::int64_t seenVersion = store.dataVersion();
    auto lastRecord = Clock::now();
    auto lastProgress = Clock::now();

    const auto startJob = [&](Entry entry) {
        RunningJob& job = jobs.emplace_back();
        job.entry = std::move(entry);
        job.meter.start(Clock::now());
        if (listener_.started) listener_.started(job.entry);
        job.thread = std::thread([&job, &options, &wakeMutex, &wake] {
            EntryOutcome outcome = runEntry(job.entry, options, job.meter, job.cancel,
                                            [&](const std::string& title, const std::string& file) {
                                                {
                                                    std::lock_guard guard(job.mutex);
                                                    job.title = title;
                                                    job.file = file;
                                                    job.named = true;
                                                }
                                                // Written at once: a removal with the part
                                                // looks for the part by this name.
                                                std::lock_guard guard(wakeMutex);
                                                wake.notify_all();
                                            });
            {
                std::lock_guard guard(job.mutex);
                job.outcome = std::move(outcome);
                job.done = true;
            }
            std::lock_guard guard(wakeMutex);
            wake.notify_all();
        });
    };

    const auto recordNames = [&](RunningJob& job) {
        std::lock_guard guard(job.mutex);
        if (!job.named) return;
        job.named = false;
        job.entry.title = job.title;
        job.entry.file = job.file;
        store.setTitle(job.entry.id, job.title, job.file);
    };

    const auto tell = [&](EntryId id) {
        if (!listener_.ended) return;
        if (auto entry = store.entry(id)) listener_.ended(*entry);
    };

    // What a job's end means for its entry.
    const auto recordEnd = [&](RunningJob& job, bool stopping) {
        recordNames(job);
        const auto figures = job.meter.snapshot();
        store.setProgress(job.entry.id, figures.BytesDone, figures.BytesTotal);
        if (job.abandoned) return;
        const auto& result = job.outcome.result;
        if (components::fileSaved(result.outcome)) {
            store.finish(job.entry.id, EntryState::Saved, result.outcome == components::JobOutcome::Completed ? "" : result.text,
                         result.path);
            ++summary.saved;
        } else if (stopping || result.outcome == components::JobOutcome::Stopped) {
            store.requeue(job.entry.id, "");
        } else if (job.outcome.worthRetrying && job.entry.attempts + 1 < kMostTries) {
            const std::int64_t delay = retryDelayMs(job.entry.attempts + 1);
            store.requeue(job.entry.id, result.text + " (tried " + std::to_string(job.entry.attempts + 1) + " times)",
                          nowMs() + delay);
        } else {
            store.finish(job.entry.id, EntryState::Failed, result.text);
            ++summary.failed;
        }
        tell(job.entry.id);
    };

    for (;;) {
        const bool stopping = stopRequested_.load();
        if (stopping)
            for (auto& job : jobs) job.cancel.cancel();

        // Jobs that ended.
        for (auto it = jobs.begin(); it != jobs.end();) {
            bool done;
            {
                std::lock_guard guard(it->mutex);
                done = it->done;
            }
            if (!done && !stopping) {
                ++it;
                continue;
            }
            it->thread.join();
            recordEnd(*it, stopping);
            it = jobs.erase(it);
        }
        if (stopping) {
            summary.stopped = true;
            break;
        }

        // What other processes changed: a paused or removed entry stops at once.
        if (const std::int64_t version = store.dataVersion(); version != seenVersion) {
            seenVersion = version;
            for (auto& job : jobs) {
                const auto now = store.entry(job.entry.id);
                if (!now || now->state != EntryState::Running) {
                    job.abandoned = true;
                    job.cancel.cancel();
                }
            }
        }

        const auto now = Clock::now();
        for (auto& job : jobs) recordNames(job);
        if (now - lastRecord >= kRecordEvery) {
            lastRecord = now;
            for (auto& job : jobs) {
                const auto figures = job.meter.snapshot();
                if (!job.abandoned) store.setProgress(job.entry.id, figures.BytesDone, figures.BytesTotal);
            }
        }
        if (listener_.progress && now - lastProgress >= kLookEvery) {
            lastProgress = now;
            for (auto& job : jobs) listener_.progress(job.entry.id, job.entry.address, job.meter.snapshot());
        }

        while (static_cast<int>(jobs.size()) < most) {
            auto next = store.claimNext(nowMs(), heldEntries(queuePath_));
            if (!next) break;
            startJob(std::move(*next));
        }
        if (settings_.untilEmpty && jobs.empty() && !store.nextDue(heldEntries(queuePath_))) break;

        std::unique_lock guard(wakeMutex);
        wake.wait_for(guard, kLookEvery, [&] {
            if (stopRequested_.load()) return true;
            for (auto& job : jobs) {
                std::lock_guard jobGuard(job.mutex);
                if (job.done || job.named) return true;
            }
            return false;
        });
    }
    return summary;
}

}  // namespace zenvira::queue
