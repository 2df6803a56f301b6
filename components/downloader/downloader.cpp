#include "components/downloader/downloader.h"

#include <curl/curl.h>

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <exception>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/journal/file_name.h"
#include "engine/transfer/progress_throttle.h"
#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

namespace {

constexpr int kMaxConnections = 16;

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The threads of runs the downloaders let go of. A thread is joined once it has ended (at
// once, then: it has nothing left to do), never while it still works; whatever is still
// running when the application object goes, or at the latest when the process ends, is
// waited for then (they were all cancelled), so no job outlives what it uses.
class LetGoThreads {
public:
    static LetGoThreads& instance() {
        static LetGoThreads threads;
        return threads;
    }

    LetGoThreads() {
        if (QCoreApplication::instance()) qAddPostRoutine([] { instance().joinAll(); });
    }

    void adopt(std::thread thread, std::shared_ptr<std::atomic<bool>> ended) {
        std::lock_guard lock(mutex_);
        joinEnded();
        threads_.push_back({std::move(thread), std::move(ended)});
    }

    ~LetGoThreads() { joinAll(); }

    void joinAll() {
        std::lock_guard lock(mutex_);
        for (auto& entry : threads_)
            if (entry.thread.joinable()) entry.thread.join();
        threads_.clear();
    }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    void joinEnded() {
        for (auto it = threads_.begin(); it != threads_.end();)
            if (it->ended->load()) {
                if (it->thread.joinable()) it->thread.join();
                it = threads_.erase(it);
            } else {
                ++it;
            }
    }

    std::mutex mutex_;
    std::list<Entry> threads_;
};

}  // namespace

// One Start's transfer thread and what it shares with the UI thread. The thread holds the
// run as long as it works; `owner` is the downloader while it still wants the run's events.
struct clDownLoader::Run {
    quint64 generation = 0;
    std::shared_ptr<ProgressMeter> meter;
    CancelToken stop;
    std::atomic<bool> progressQueued{false};  // one Progress waiting in the event queue at most
    std::mutex ownerMutex;  // guards owner against the thread's posts
    clDownLoader* owner = nullptr;
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    std::thread worker;
};

clDownLoader::clDownLoader(QObject* parent) : QObject(parent), meter_(std::make_shared<ProgressMeter>()) {
    initialiseCurlOnce();
    LetGoThreads::instance();  // made before any run, so it outlives them all
}

clDownLoader::~clDownLoader() { letGoOfRun(); }

DownloadProgress clDownLoader::ProgressInfo() const { return meter_->snapshot(); }

DownloadRequest clDownLoader::currentRequest() const {
    DownloadRequest request;
    request.tracks.push_back({TrackKind::Unknown, sourceAddress_, "", ""});
    request.target = {localFolder_, localFileName_, fallbackName_};
    request.source = {pageAddress_, quality_};
    request.options.userAgent = internetAgent_;
    request.options.connections = tuningValueA_;
    request.options.minSegmentBytes = tuningValueB_ > 0 ? static_cast<std::int64_t>(tuningValueB_) * 1024 : 0;
    request.options.maxBytesPerSecond = maxBytesPerSecond_;
    request.renewAddress = addressRenewal_;
    return request;
}

void clDownLoader::Start(bool /*flag*/) {
    if (busy_) return;
    launch(currentRequest());
}

void clDownLoader::Start(DownloadRequest request) {
    if (busy_) return;
    sourceAddress_ = request.tracks.empty() ? std::string() : request.tracks.front().address;
    localFolder_ = request.target.folder;
    localFileName_ = request.target.fileName;
    fallbackName_ = request.target.fallbackName;
    pageAddress_ = request.source.pageAddress;
    quality_ = request.source.quality;
    if (request.options.userAgent.empty()) request.options.userAgent = internetAgent_;
    tuningValueA_ = request.options.connections;
    tuningValueB_ = static_cast<int>(request.options.minSegmentBytes / 1024);
    maxBytesPerSecond_ = request.options.maxBytesPerSecond;
    if (!request.renewAddress) request.renewAddress = addressRenewal_;
    launch(std::move(request));
}

void clDownLoader::launch(DownloadRequest request) {
    request.options.connections = std::clamp(request.options.connections, 1, kMaxConnections);
    request.options.minSegmentBytes = std::max<std::int64_t>(request.options.minSegmentBytes, 0);
    request.options.maxBytesPerSecond = std::max<std::int64_t>(request.options.maxBytesPerSecond, 0);
    letGoOfRun();
    busy_ = true;
    error_ = {};
    meter_ = std::make_shared<ProgressMeter>();
    run_ = std::make_shared<Run>();
    run_->generation = ++generation_;
    run_->meter = meter_;
    run_->owner = this;
    try {
        run_->worker = std::thread([run = run_, request = std::move(request)] { work(run, request); });
    } catch (const std::system_error& error) {
        post(*run_, {JobOutcome::Failed, std::string("Cannot start the download: ") + error.what(), {}});
    }
}

// The transfer thread: runs the job and hands Progress and the outcome to the owner's thread.
void clDownLoader::work(const std::shared_ptr<Run>& run, const DownloadRequest& request) {
    ProgressThrottle throttle(*run->meter);
    const auto tick = [&] {
        if (!throttle.due() || run->progressQueued.exchange(true)) return;
        std::lock_guard lock(run->ownerMutex);
        if (!run->owner) return;
        QMetaObject::invokeMethod(
            run->owner, [owner = run->owner, generation = run->generation] { owner->deliverProgress(generation); },
            Qt::QueuedConnection);
    };
    JobResult result;
    try {
        result = runAnyJob(request, *run->meter, run->stop, tick);
    } catch (const std::exception& error) {  // out of memory and the like: still one outcome
        result = {JobOutcome::Failed, std::string("The download failed: ") + error.what(), {}};
    }
    post(*run, result);
    run->ended->store(true);
}

void clDownLoader::post(Run& run, const JobResult& result) {
    std::lock_guard lock(run.ownerMutex);
    if (!run.owner) return;  // let go of: nothing is delivered
    QMetaObject::invokeMethod(
        run.owner,
        [owner = run.owner, generation = run.generation, result] { owner->deliverOutcome(generation, result); },
        Qt::QueuedConnection);
}

void clDownLoader::deliverProgress(quint64 generation) {
    if (!run_ || run_->generation != generation) return;
    run_->progressQueued = false;
    if (busy_) emit Progress();
}

void clDownLoader::deliverOutcome(quint64 generation, const JobResult& result) {
    if (!run_ || run_->generation != generation || !busy_) return;  // a run let go of ends unheard
    busy_ = false;
    error_.ErrorText = printableText(result.text);  // server words and names reach a terminal
    savedPath_ = fileSaved(result.outcome) ? result.path : std::string();
    if (fileSaved(result.outcome)) emit Progress();
    emit ProcessCompleted(processCompletedCode(result.outcome));
}

void clDownLoader::Stop() {
    if (busy_ && run_) run_->stop.cancel();
}

bool clDownLoader::letGoOfRun() {
    const bool wasBusy = busy_;
    busy_ = false;
    if (!run_) return wasBusy;
    run_->stop.cancel();
    {
        std::lock_guard lock(run_->ownerMutex);
        run_->owner = nullptr;
    }
    if (run_->worker.joinable()) LetGoThreads::instance().adopt(std::move(run_->worker), run_->ended);
    run_.reset();
    return wasBusy;
}

void clDownLoader::Shutdown() {
    if (!letGoOfRun()) return;
    savedPath_.clear();
    // The stopped run's one outcome, through the event loop, unless a newer Start came first.
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_] {
            if (generation_ == generation && !busy_) emit ProcessCompleted(processCompletedCode(JobOutcome::Stopped));
        },
        Qt::QueuedConnection);
}

}  // namespace zenvira::components
