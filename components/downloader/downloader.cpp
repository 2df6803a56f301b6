#include "components/downloader/downloader.h"

#include <curl/curl.h>

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <exception>
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

}  // namespace

// One Start's transfer thread and what it shares with the UI thread.
struct clDownLoader::Run {
    quint64 generation = 0;
    std::shared_ptr<ProgressMeter> meter;
    CancelToken stop;
    std::atomic<bool> progressQueued{false};  // one Progress waiting in the event queue at most
    std::thread worker;
};

clDownLoader::clDownLoader(QObject* parent) : QObject(parent), meter_(std::make_shared<ProgressMeter>()) {
    initialiseCurlOnce();
}

clDownLoader::~clDownLoader() { Shutdown(); }

DownloadProgress clDownLoader::ProgressInfo() const { return meter_->snapshot(); }

JobSettings clDownLoader::currentSettings() const {
    JobSettings settings;
    settings.address = sourceAddress_;
    settings.folder = localFolder_;
    settings.fileName = localFileName_;
    settings.pageAddress = pageAddress_;
    settings.quality = quality_;
    settings.fallbackName = fallbackName_;
    settings.renewAddress = addressRenewal_;
    settings.userAgent = internetAgent_;
    settings.connections = std::clamp(tuningValueA_, 1, kMaxConnections);
    settings.minSegmentBytes = tuningValueB_ > 0 ? static_cast<std::int64_t>(tuningValueB_) * 1024 : 0;
    settings.maxBytesPerSecond = std::max<std::int64_t>(maxBytesPerSecond_, 0);
    return settings;
}

void clDownLoader::Start(bool /*flag*/) {
    if (busy_) return;
    if (run_ && run_->worker.joinable()) run_->worker.join();
    busy_ = true;
    error_ = {};
    meter_ = std::make_shared<ProgressMeter>();
    run_ = std::make_unique<Run>();
    run_->generation = ++generation_;
    run_->meter = meter_;
    launch(*run_, currentSettings());
}

void clDownLoader::launch(Run& run, JobSettings settings) {
    try {
        run.worker = std::thread([this, &run, settings = std::move(settings)] { work(run, settings); });
    } catch (const std::system_error& error) {
        post(run.generation, {JobOutcome::Failed, std::string("Cannot start the download: ") + error.what(), {}});
    }
}

// The transfer thread: runs the job and hands Progress and the outcome to the owner's thread.
void clDownLoader::work(Run& run, const JobSettings& settings) {
    const quint64 generation = run.generation;
    ProgressThrottle throttle(*run.meter);
    const auto tick = [&] {
        if (!throttle.due() || run.progressQueued.exchange(true)) return;
        QMetaObject::invokeMethod(this, [this, generation] { deliverProgress(generation); }, Qt::QueuedConnection);
    };
    JobResult result;
    try {
        result = runAnyJob(settings, *run.meter, run.stop, tick);
    } catch (const std::exception& error) {  // out of memory and the like: still one outcome
        result = {JobOutcome::Failed, std::string("The download failed: ") + error.what(), {}};
    }
    post(generation, result);
}

void clDownLoader::post(quint64 generation, const JobResult& result) {
    QMetaObject::invokeMethod(this, [this, generation, result] { deliverOutcome(generation, result); },
                              Qt::QueuedConnection);
}

void clDownLoader::deliverProgress(quint64 generation) {
    if (!run_ || run_->generation != generation) return;
    run_->progressQueued = false;
    if (busy_) emit Progress();
}

void clDownLoader::deliverOutcome(quint64 generation, const JobResult& result) {
    const bool current = run_ && run_->generation == generation;
    if (current) {
        if (run_->worker.joinable()) run_->worker.join();
        const bool wasBusy = busy_;
        busy_ = false;
        error_.ErrorText = printableText(result.text);  // server words and names reach a terminal
        savedPath_ = fileSaved(result.outcome) ? result.path : std::string();
        if (fileSaved(result.outcome) && wasBusy) emit Progress();
    }
    emit ProcessCompleted(processCompletedCode(result.outcome));
}

void clDownLoader::Stop() {
    if (busy_ && run_) run_->stop.cancel();
}

void clDownLoader::Shutdown() {
    if (run_) {
        run_->stop.cancel();
        if (run_->worker.joinable()) run_->worker.join();
    }
    busy_ = false;
}

}  // namespace zenvira::components
