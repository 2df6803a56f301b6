#include "engine/download_job.h"

#include <curl/curl.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/text_ops.h"
#include "engine/fragments/hls_job.h"
#include "engine/fragments/subtitle_save.h"
#include "engine/journal/disk_room.h"
#include "engine/journal/file_name.h"
#include "engine/journal/part_journal.h"
#include "engine/journal/part_state.h"
#include "engine/journal/target_claim.h"
#include "engine/ranges/range_fetch.h"
#include "engine/ranges/resource_probe.h"
#include "engine/ranges/whole_fetch.h"
#include "engine/transfer/fetch_context.h"
#include "engine/transfer/first_bytes.h"
#include "engine/transfer/multi_loop.h"
#include "engine/transfer/shown_text.h"
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
    if (parse != CURLUE_OK) return "Not a valid address: " + shownText(address) + " (" + curl_url_strerror(parse) + ")";
    if (schemeText != "http" && schemeText != "https")
        return "Only http and https addresses can be downloaded: " + shownText(address);
    return std::nullopt;
}

// Rounds of one job: a file that changes, or an address renewed, starts another round.
constexpr int kMostRounds = 4;
// A web page in place of the file is fetched again this often before the download fails:
// a server that sent one by a passing fault gets another chance.
constexpr int kWrongContentRetries = 2;

// The job's own limit, or its draw on a limit it shares with other jobs.
std::shared_ptr<RatePacer> pacerFor(const JobSettings& settings, const CancelToken& stop) {
    if (settings.sharedRate) return std::make_shared<RatePacer>(settings.sharedRate, stop);
    if (settings.maxBytesPerSecond > 0) return std::make_shared<RatePacer>(settings.maxBytesPerSecond, stop);
    return nullptr;
}

class DownloadJob {
public:
    DownloadJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick)
        : settings_(settings), meter_(meter), stop_(stop), loop_(stop),
          context_{loop_, stop, meter, std::move(tick), settings.userAgent, RetryPolicy{},
                   pacerFor(settings, stop)},
          origin_{settings.address, settings.pageAddress, settings.quality} {
        loop_.setPacer(context_.pacer.get());
        context_.stream = settings.stream.get();
    }

    JobResult run();

private:
    std::optional<JobResult> prepareTarget();
    PhaseResult fetchInRanges(const ProbeResult& probe, ByteRanges kept, ByteRanges& done);
    PhaseResult fetchWhole(const ProbeResult& probe, std::int64_t& size);
    std::optional<std::string> notMedia(std::int64_t size) const;
    JobResult refuse(const std::string& reason);
    ByteRanges keptRanges(const ProbeResult& probe) const;
    bool hasKeptBytes() const;
    std::optional<std::string> preparePart(bool discard, ByteRanges& kept, std::int64_t size);
    JobResult keepPart(const PhaseResult& result);
    JobResult handOverPlaylist(bool manifest);
    JobResult completeFile(const std::string& warning, std::int64_t size);
    JobResult ended(JobOutcome outcome, std::string text = {}, FailureCause cause = {});
    std::string cannotCreate(const std::string& reason) const { return "Cannot create the file " + path_ + ": " + reason; }

    const JobSettings& settings_;
    ProgressMeter& meter_;
    CancelToken& stop_;
    MultiLoop loop_;
    FetchContext context_;
    DownloadOrigin origin_;
    std::string path_;
    std::string partPath_;
    std::string statePath_;
    platform::RandomAccessFile file_;
    bool handingOver_ = false;  // the address is a playlist: another job fetches it
};

JobResult DownloadJob::run() {
    meter_.start(ProgressMeter::Clock::now());
    if (const auto problem = addressProblem(settings_.address)) return ended(JobOutcome::Failed, *problem);
    if (auto early = prepareTarget()) return *early;
    std::string address = settings_.address;
    // What a round leaves for the next: the bytes on the disk and the resource they are of.
    ByteRanges carried;
    ResourceIdentity carriedIdentity;
    bool stateDecides = true;  // until a round has fetched, the kept state says what is there
    int wrongContent = 0;
    for (int round = 1;; ++round) {
        // With nothing on the disk yet, the probe's answer becomes the first piece.
        const bool fromNothing = carried.items().empty() && (!stateDecides || !hasKeptBytes());
        ProbeResult probe = probeResource(context_, address, fromNothing ? ProbeKind::WholeFile : ProbeKind::FirstByte);
        if (probe.status == PhaseStatus::Stopped) return ended(JobOutcome::Stopped);
        if (probe.status == PhaseStatus::Complete && probe.playlist) return handOverPlaylist(probe.manifest);
        PhaseResult result;
        ByteRanges done;
        std::int64_t size = probe.identity.size;
        if (probe.status == PhaseStatus::Failed) {
            result.error = probe.error;
            result.expired = probe.expired;
            result.cause = probe.cause;
            done = carried;
        } else if (!probe.ranges) {
            result = fetchWhole(probe, size);
            if (result.status != PhaseStatus::Complete && !result.notMedia) return keepPart(result);
        } else {
            ByteRanges kept = stateDecides ? keptRanges(probe)
                                           : (sameResource(carriedIdentity, probe.identity) ? carried : ByteRanges());
            stateDecides = false;
            result = fetchInRanges(probe, std::move(kept), done);
            carriedIdentity = probe.identity;
        }
        // A page caught at its first bytes is judged as one caught once whole.
        if (result.status == PhaseStatus::Complete || result.notMedia) {
            const auto wrong = result.notMedia ? std::optional<std::string>(result.error) : notMedia(size);
            if (!wrong) return completeFile(result.warning, size);
            if (++wrongContent > kWrongContentRetries || round >= kMostRounds) return refuse(*wrong);
            // Nothing of a page can be kept: the next round starts from nothing.
            removePartState(statePath_);
            carried.clear();
            stateDecides = false;
            if (!pauseFor(context_, context_.retry.firstBackOff * (1 << wrongContent)))
                return ended(JobOutcome::Stopped);
            continue;
        }
        if (result.status == PhaseStatus::Stopped || round >= kMostRounds) return keepPart(result);
        if (result.resourceChanged) {
            // Another version of the file: nothing kept can be joined with it.
            carried.clear();
            meter_.setNotice("The file changed on the server; it is fetched again from its start");
            continue;
        }
        if (!result.expired || !settings_.renewAddress) return keepPart(result);
        const std::string renewed = settings_.renewAddress(settings_.pageAddress, settings_.quality, stop_);
        if (stop_.cancelled()) {
            result.status = PhaseStatus::Stopped;
            return keepPart(result);
        }
        if (renewed.empty() || renewed == address) {
            result.error += " (the link expired and the page offers no new one)";
            return keepPart(result);
        }
        address = renewed;
        carried = done;
        origin_.address = renewed;
        meter_.setNotice("The link expired and was renewed from the page");
    }
}

std::optional<JobResult> DownloadJob::prepareTarget() {
    const platform::LocalTarget target = platform::mapLocalTarget(settings_.folder, settings_.fileName);
    if (!target.ok) return ended(JobOutcome::Failed, target.error, {FailureKind::Disk});
    std::string error;
    // The folder a drive stands for may not exist yet on a fresh system.
    if (!target.driveRoot.empty() && !platform::ensureFolder(target.driveRoot, error))
        return ended(JobOutcome::Failed, error, {FailureKind::Disk});
    const std::string name = safeFileName(target.path.substr(target.folder.size() + 1), settings_.fallbackName);
    const ClaimedTarget claim = claimTarget(target.folder, name, origin_, file_);
    path_ = claim.path;
    partPath_ = claim.partPath;
    statePath_ = claim.statePath;
    if (context_.stream)
        context_.stream->setFile(claim.kind == ClaimedTarget::Kind::AlreadyComplete ? path_ : partPath_);
    switch (claim.kind) {
    case ClaimedTarget::Kind::Claimed:
        return std::nullopt;
    case ClaimedTarget::Kind::AlreadyComplete: {
        // Nothing to fetch: the figures show the whole file in place.
        std::error_code code;
        const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path_, code));
        meter_.setTotal(code ? 0 : size);
        meter_.setResumed(code ? 0 : size);
        if (context_.stream && !code) context_.stream->begin(size, {});
        return ended(JobOutcome::Completed);
    }
    case ClaimedTarget::Kind::Busy:
        return ended(JobOutcome::Failed, "The file " + path_ + " is already being downloaded",
                     {FailureKind::TargetBusy});
    case ClaimedTarget::Kind::Failed:
        break;
    }
    return ended(JobOutcome::Failed, claim.error, {FailureKind::Disk});
}

ByteRanges DownloadJob::keptRanges(const ProbeResult& probe) const {
    const auto kept = readPartState(statePath_);
    if (!kept || !kept->origin.sameDownload(origin_) || !sameResource(kept->resource, probe.identity)) return {};
    return kept->done.clippedTo(probe.identity.size);
}

bool DownloadJob::hasKeptBytes() const {
    const auto kept = readPartState(statePath_);
    return kept && kept->origin.sameDownload(origin_) && !kept->done.items().empty();
}

std::optional<std::string> DownloadJob::preparePart(bool discard, ByteRanges& kept, std::int64_t size) {
    std::string error;
    if (discard && !file_.truncate(0, error)) return cannotCreate(error);
    // A part file shorter than its state says was cut by something else: start over.
    if (!kept.items().empty() && file_.size() < kept.maxEnd()) {
        kept.clear();
        if (!file_.truncate(0, error)) return cannotCreate(error);
    }
    // Refused before a byte is allocated: a size no disk here holds must not fill this one.
    const std::int64_t allocated = std::max<std::int64_t>(file_.size(), 0);
    if (auto problem = diskRoomProblem(partPath_, size - allocated)) return problem;
    if (!file_.reserve(size, error)) return cannotCreate(error);
    return std::nullopt;
}

PhaseResult DownloadJob::fetchInRanges(const ProbeResult& probe, ByteRanges kept, ByteRanges& done) {
    const std::int64_t size = probe.identity.size;
    PhaseResult failed;
    if (const auto problem = preparePart(kept.items().empty(), kept, size)) {
        failed.error = *problem;
        failed.cause = {FailureKind::Disk};
        return failed;
    }
    meter_.setTotal(size);
    meter_.setResumed(kept.total());
    if (context_.stream) context_.stream->begin(size, kept);
    PartState state{origin_, probe.identity, kept};
    writeFirstPartState(statePath_, state);  // a crash from here on leaves a state that is true
    PartJournal journal(file_, statePath_, state);

    RangeFetch fetch(context_, file_, probe.url, probe.identity, path_);
    const PhaseResult result =
        fetch.run(kept, settings_.connections, settings_.minSegmentBytes, &journal,
                  kept.items().empty() ? probe.firstBytes : nullptr, probe.firstBytesHeld);
    done = fetch.done();
    if (result.status == PhaseStatus::Complete || result.resourceChanged) {
        journal.stop();
        if (result.resourceChanged) removePartState(statePath_);
    } else {
        journal.finish(done);  // the data first, then the state that names them
    }
    return result;
}

PhaseResult DownloadJob::fetchWhole(const ProbeResult& probe, std::int64_t& size) {
    removePartState(statePath_);  // without parts nothing can be taken up later
    ByteRanges none;
    PhaseResult result;
    if (const auto problem = preparePart(true, none, 0)) {
        result.error = *problem;
        result.cause = {FailureKind::Disk};
        return result;
    }
    WholeFetch fetch(context_, file_, probe.url, path_, probe.identity.size, probe.firstBytes);
    result = fetch.run();
    size = fetch.received();
    std::string error;
    if (result.status == PhaseStatus::Complete && !file_.truncate(size, error)) {
        result.status = PhaseStatus::Failed;
        result.error = cannotCreate(error);
        result.cause = {FailureKind::Disk};
    }
    return result;
}

// The first bytes of a complete file meant to be media, judged before it takes its name.
std::optional<std::string> DownloadJob::notMedia(std::int64_t size) const {
    if (!namesMedia(path_)) return std::nullopt;
    std::string first(static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, kFirstBytesChecked)), '\0');
    std::string error;
    if (first.empty() || !file_.readAt(first.data(), first.size(), 0, error)) return std::nullopt;
    return notMediaProblem(first, "The file " + path_);
}

// A file that can never be right goes with its part and state: nothing is left to resume.
JobResult DownloadJob::refuse(const std::string& reason) {
    file_.close();
    std::error_code code;
    std::filesystem::remove(partPath_, code);
    removePartState(statePath_);
    return ended(JobOutcome::Failed, reason, {FailureKind::Content});
}

// A playlist is fetched by its segments under its own companions: the part claimed for it
// goes, unless something was kept in it before.
JobResult DownloadJob::handOverPlaylist(bool manifest) {
    const bool empty = file_.size() == 0;
    file_.close();
    std::error_code code;
    if (empty) {
        std::filesystem::remove(partPath_, code);
        removePartState(statePath_);
    }
    handingOver_ = true;
    JobResult result = ended(JobOutcome::Failed);
    result.playlist = true;
    result.manifest = manifest;
    return result;
}

JobResult DownloadJob::keepPart(const PhaseResult& result) {
    // Failed before its first byte: a part that keeps nothing is nothing to resume.
    if (result.status == PhaseStatus::Failed && file_.isOpen() && !hasKeptBytes()) {
        file_.close();
        std::error_code code;
        std::filesystem::remove(partPath_, code);
        removePartState(statePath_);
    }
    return ended(result.status == PhaseStatus::Stopped ? JobOutcome::Stopped : JobOutcome::Failed, result.error,
                 result.cause);
}

JobResult DownloadJob::completeFile(const std::string& warning, std::int64_t size) {
    if (file_.size() != size)
        return ended(JobOutcome::Failed,
                     "The file " + path_ + " has " + std::to_string(file_.size()) + " bytes on the disk instead of " +
                         std::to_string(size),
                     {FailureKind::Disk});
    // Every byte on the disk before the name says the file is whole: a power cut after the
    // rename must not leave a file with holes under it.
    std::string error;
    if (!file_.flush(error))
        return ended(JobOutcome::Failed, "Cannot write to the file " + path_ + ": " + error, {FailureKind::Disk});
    markOrigin(partPath_, origin_);  // the marks go with the file through the rename
    // Renamed while still open and locked where the system allows, so no other job can take
    // the part in between.
    std::error_code code;
    std::filesystem::rename(partPath_, path_, code);
    if (code) {
        file_.close();
        code.clear();
        std::filesystem::rename(partPath_, path_, code);
    }
    if (code)
        return ended(JobOutcome::Failed, "Cannot replace the file " + path_ + ": " + code.message(),
                     {FailureKind::Disk});
    removePartState(statePath_);
    file_.close();
    return ended(warning.empty() ? JobOutcome::Completed : JobOutcome::CompletedWithWarnings, warning);
}

JobResult DownloadJob::ended(JobOutcome outcome, std::string text, FailureCause cause) {
    meter_.finish(ProgressMeter::Clock::now());
    // A playlist goes on in its own job, which tells the watcher how it ends.
    const bool whole = outcome == JobOutcome::Completed || outcome == JobOutcome::CompletedWithWarnings;
    if (context_.stream && !handingOver_) context_.stream->end(whole, whole ? path_ : std::string());
    return {outcome, std::move(text), path_, false, false, outcome == JobOutcome::Failed ? cause : FailureCause{}};
}

}  // namespace

JobResult runDownloadJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop,
                         std::function<void()> tick) {
    DownloadJob job(settings, meter, stop, std::move(tick));
    return job.run();
}

JobResult runAnyJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick) {
    if (isPlaylistAddress(settings.address)) return runHlsJob(settings, meter, stop, tick);
    if (isManifestAddress(settings.address)) return runDashJob(settings, {}, meter, stop, tick);
    const JobResult result = runDownloadJob(settings, meter, stop, tick);
    if (result.manifest) return runDashJob(settings, {}, meter, stop, tick);
    return result.playlist ? runHlsJob(settings, meter, stop, tick) : result;
}

namespace {

JobResult runTracks(const DownloadRequest& request, ProgressMeter& meter, CancelToken& stop,
                    std::function<void()> tick);

}  // namespace

JobResult runAnyJob(const DownloadRequest& request, ProgressMeter& meter, CancelToken& stop,
                    std::function<void()> tick) {
    JobResult result = runTracks(request, meter, stop, tick);
    const bool saved = result.outcome == JobOutcome::Completed || result.outcome == JobOutcome::CompletedWithWarnings;
    if (!saved || request.subtitles.empty()) return result;
    const std::string missing = saveSubtitles(request.subtitles, result.path, request.options.userAgent, stop, tick);
    if (missing.empty()) return result;
    result.outcome = JobOutcome::CompletedWithWarnings;
    result.text = result.text.empty() ? missing : result.text + "; " + missing;
    return result;
}

namespace {

JobResult runTracks(const DownloadRequest& request, ProgressMeter& meter, CancelToken& stop,
                    std::function<void()> tick) {
    if (request.tracks.empty()) return {JobOutcome::Failed, "No address was given for the download", {}};
    const Track& track = request.tracks.front();
    if (track.kind == TrackKind::Dash) {
        std::vector<std::string> representations;
        for (const auto& each : request.tracks) {
            if (each.kind != TrackKind::Dash || each.address != track.address)
                return {JobOutcome::Failed, "Only tracks of one DASH manifest can be joined into one file", {}};
            if (!each.representation.empty()) representations.push_back(each.representation);
        }
        return runDashJob(jobSettingsOf(request, track), representations, meter, stop, std::move(tick));
    }
    if (request.tracks.size() > 1) {
        // Tracks of fragments are fetched together over one set of connections and joined.
        std::vector<std::string> companions;
        for (std::size_t i = 1; i < request.tracks.size(); ++i) {
            if (request.tracks[i].kind != TrackKind::Hls || track.kind != TrackKind::Hls)
                return {JobOutcome::Failed, "Only tracks of HLS playlists can be joined into one file", {}};
            companions.push_back(request.tracks[i].address);
        }
        return runHlsTracksJob(jobSettingsOf(request, track), companions, meter, stop, std::move(tick));
    }
    const JobSettings settings = jobSettingsOf(request, track);
    switch (track.kind) {
    case TrackKind::Hls: return runHlsJob(settings, meter, stop, tick);
    case TrackKind::Dash: break;  // taken above
    case TrackKind::Progressive: {
        JobResult result = runDownloadJob(settings, meter, stop, tick);
        // The page said a file, the server sent a playlist: nothing was kept, and what the
        // server says is what the bytes are.
        if (result.manifest) return runDashJob(settings, {}, meter, stop, tick);
        return result.playlist ? runHlsJob(settings, meter, stop, tick) : result;
    }
    case TrackKind::Unknown: break;
    }
    return runAnyJob(settings, meter, stop, std::move(tick));
}

}  // namespace

}  // namespace zenvira::components
