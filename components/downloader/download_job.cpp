#include "components/downloader/download_job.h"

#include <curl/curl.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include "components/downloader/fetch_context.h"
#include "components/downloader/multi_loop.h"
#include "components/downloader/part_state.h"
#include "components/downloader/range_fetch.h"
#include "components/downloader/resource_probe.h"
#include "components/downloader/whole_fetch.h"
#include "base/text_ops.h"
#include "platform/path_mapping.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

namespace {

std::optional<std::string> addressProblem(const std::string& address) {
    if (address.empty()) return "No address was given for the download";
    CURLU* parsed = curl_url();
    if (!parsed) return "Out of memory";
    char* scheme = nullptr;
    const CURLUcode parse = curl_url_set(parsed, CURLUPART_URL, address.c_str(), 0);
    if (parse == CURLUE_OK) curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0);
    const std::string schemeText = scheme ? text::lowerAscii(scheme) : std::string();
    curl_free(scheme);
    curl_url_cleanup(parsed);
    if (parse != CURLUE_OK) return "Not a valid address: " + address + " (" + curl_url_strerror(parse) + ")";
    if (schemeText != "http" && schemeText != "https") return "Only http and https addresses can be downloaded: " + address;
    return std::nullopt;
}

class DownloadJob {
public:
    DownloadJob(const JobSettings& settings, ProgressMeter& meter, StopSignal& stop, std::function<void()> tick)
        : settings_(settings), meter_(meter), loop_(stop),
          context_{loop_, stop, meter, std::move(tick), settings.userAgent, RetryPolicy{}} {}

    JobResult run();

private:
    bool prepareTarget(std::string& error);
    JobResult fetchInRanges(const ProbeResult& probe);
    JobResult fetchWhole(const ProbeResult& probe);
    ByteRanges keptRanges(const ProbeResult& probe) const;
    std::optional<std::string> openPart(bool discard, ByteRanges& kept, std::int64_t size);
    JobResult keepPart(const FetchResult& result, PartState state, const ByteRanges& missing);
    JobResult completeFile(const std::string& warning, std::int64_t size);
    JobResult ended(JobOutcome outcome, std::string text = {});
    std::string cannotCreate(const std::string& reason) const { return "Cannot create the file " + target_.path + ": " + reason; }

    const JobSettings& settings_;
    ProgressMeter& meter_;
    MultiLoop loop_;
    FetchContext context_;
    platform::LocalTarget target_;
    std::string partPath_;
    std::string statePath_;
    platform::RandomAccessFile file_;
};

JobResult DownloadJob::run() {
    meter_.start(ProgressMeter::Clock::now());
    if (const auto problem = addressProblem(settings_.address)) return ended(JobOutcome::Failed, *problem);
    std::string error;
    if (!prepareTarget(error)) return ended(JobOutcome::Failed, error);
    const ProbeResult probe = probeResource(context_, settings_.address);
    if (probe.status == FetchStatus::Stopped) return ended(JobOutcome::Stopped);
    if (probe.status == FetchStatus::Failed) return ended(JobOutcome::Failed, probe.error);
    return probe.ranges ? fetchInRanges(probe) : fetchWhole(probe);
}

bool DownloadJob::prepareTarget(std::string& error) {
    target_ = platform::mapLocalTarget(settings_.folder, settings_.fileName);
    if (!target_.ok) {
        error = target_.error;
        return false;
    }
    // The folder a drive stands for may not exist yet on a fresh system.
    if (!target_.driveRoot.empty() && !platform::ensureFolder(target_.driveRoot, error)) return false;
    partPath_ = target_.path + ".part";
    statePath_ = partPath_ + ".state";
    return true;
}

ByteRanges DownloadJob::keptRanges(const ProbeResult& probe) const {
    const auto kept = readPartState(statePath_);
    if (!kept || kept->address != settings_.address || !sameResource(kept->resource, probe.identity)) return {};
    return kept->done.clippedTo(probe.identity.size);
}

std::optional<std::string> DownloadJob::openPart(bool discard, ByteRanges& kept, std::int64_t size) {
    std::string error;
    if (!file_.open(partPath_, discard, error)) return cannotCreate(error);
    // A part file shorter than its state says was cut by something else: start over.
    if (!kept.items().empty() && file_.size() < kept.maxEnd()) {
        kept.clear();
        if (!file_.truncate(0, error)) return cannotCreate(error);
    }
    if (!file_.reserve(size, error)) return cannotCreate(error);
    return std::nullopt;
}

JobResult DownloadJob::fetchInRanges(const ProbeResult& probe) {
    const std::int64_t size = probe.identity.size;
    ByteRanges kept = keptRanges(probe);
    if (const auto problem = openPart(kept.items().empty(), kept, size)) return ended(JobOutcome::Failed, *problem);
    meter_.setTotal(size);
    meter_.setResumed(kept.total());
    PartState state{settings_.address, probe.identity, kept};
    writePartState(statePath_, state);  // a crash from here on leaves a state that is true

    RangeFetch fetch(context_, file_, probe.url, probe.identity, target_.path);
    const FetchResult result = fetch.run(kept.missingWithin(size), settings_.connections, settings_.minSegmentBytes);
    if (result.status == FetchStatus::Complete) return completeFile(result.warning, size);
    return keepPart(result, std::move(state), fetch.missing());
}

JobResult DownloadJob::fetchWhole(const ProbeResult& probe) {
    removePartState(statePath_);  // without parts nothing can be taken up later
    ByteRanges none;
    if (const auto problem = openPart(true, none, 0)) return ended(JobOutcome::Failed, *problem);
    WholeFetch fetch(context_, file_, probe.url, target_.path);
    const FetchResult result = fetch.run();
    if (result.status == FetchStatus::Stopped) return ended(JobOutcome::Stopped);
    if (result.status == FetchStatus::Failed) return ended(JobOutcome::Failed, result.error);
    std::string error;
    if (!file_.truncate(fetch.received(), error)) return ended(JobOutcome::Failed, cannotCreate(error));
    return completeFile(result.warning, fetch.received());
}

JobResult DownloadJob::keepPart(const FetchResult& result, PartState state, const ByteRanges& missing) {
    state.done.clear();
    for (const auto& range : missing.missingWithin(state.resource.size)) state.done.add(range);
    // No flush here: a stop must be quick. The kept bytes are in the system's cache, which
    // is enough unless the whole system goes down before it has written them.
    if (result.resourceChanged) removePartState(statePath_);
    else writePartState(statePath_, state);
    return ended(result.status == FetchStatus::Stopped ? JobOutcome::Stopped : JobOutcome::Failed, result.error);
}

JobResult DownloadJob::completeFile(const std::string& warning, std::int64_t size) {
    if (file_.size() != size)
        return ended(JobOutcome::Failed, "The file " + target_.path + " has " + std::to_string(file_.size()) +
                                             " bytes on the disk instead of " + std::to_string(size));
    file_.close();
    std::error_code code;
    std::filesystem::rename(partPath_, target_.path, code);
    if (code) return ended(JobOutcome::Failed, "Cannot replace the file " + target_.path + ": " + code.message());
    removePartState(statePath_);
    return ended(warning.empty() ? JobOutcome::Completed : JobOutcome::CompletedWithWarnings, warning);
}

JobResult DownloadJob::ended(JobOutcome outcome, std::string text) {
    meter_.finish(ProgressMeter::Clock::now());
    return {outcome, std::move(text)};
}

}  // namespace

JobResult runDownloadJob(const JobSettings& settings, ProgressMeter& meter, StopSignal& stop,
                         std::function<void()> tick) {
    DownloadJob job(settings, meter, stop, std::move(tick));
    return job.run();
}

}  // namespace zenvira::components
