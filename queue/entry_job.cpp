#include "queue/entry_job.h"

#include "app/download_names.h"
#include "app/page_reader.h"
#include "app/stream_tracks.h"
#include "base/quality.h"
#include "engine/download_job.h"
#include "engine/transfer/parked_transfer.h"
#include "platform/path_mapping.h"
#include "resolve/resolver.h"
#include "resolve/stream_buttons.h"

namespace zenvira::queue {

namespace {

// The stream of the entry's quality, or none.
std::optional<resolve::Stream> streamOf(const resolve::Resolution& resolution, int quality) {
    if (quality == 0) return resolution.best;
    const auto button = base::qualityIndexOfHeight(quality);
    if (!button) return std::nullopt;
    return resolve::streamsOnButtons(resolution.streams)[static_cast<std::size_t>(*button)];
}

struct Resolved {
    components::FetchResult page;
    resolve::Resolution resolution;
};

Resolved readAndResolve(const std::string& address, components::CancelToken& stop) {
    const auto reader = app::realPageReader();
    Resolved resolved;
    resolved.page = reader(address, &stop);
    if (resolved.page.ok && !stop.cancelled()) {
        const auto fetch = [&](const std::string& more) { return reader(more, &stop); };
        resolved.resolution = resolve::resolveFetchedPage(address, resolved.page, fetch);
    }
    return resolved;
}

int qualityOfName(const std::string& name) {
    for (const auto& quality : base::kQualities)
        if (quality.caption == name) return quality.height;
    return 0;
}

// Reads the page again when the stream's address has expired.
std::string renewedAddress(const std::string& page, const std::string& quality, components::CancelToken& cancel) {
    const Resolved resolved = readAndResolve(page, cancel);
    if (!resolved.page.ok || cancel.cancelled()) return {};
    const auto stream = streamOf(resolved.resolution, qualityOfName(quality));
    if (!stream) return {};
    components::takeParkedTransfer(stream->address);  // the job goes on from its kept bytes
    return stream->address;
}

EntryOutcome failure(const std::string& reason, bool retry) {
    EntryOutcome outcome;
    outcome.result.outcome = components::JobOutcome::Failed;
    outcome.result.text = reason;
    outcome.worthRetrying = retry;
    return outcome;
}

}  // namespace

bool worthRetrying(const components::FailureCause& cause) {
    using components::FailureKind;
    switch (cause.kind) {
    case FailureKind::Network:
    case FailureKind::TargetBusy: return true;  // the other download may well end first
    case FailureKind::HttpStatus: return cause.httpStatus >= 500 || cause.httpStatus == 429 || cause.httpStatus == 408;
    case FailureKind::Unknown:
    case FailureKind::Disk:
    case FailureKind::Content: return false;
    }
    return false;
}

EntryOutcome runEntry(const Entry& entry, const JobOptions& options, components::ProgressMeter& meter,
                      components::CancelToken& stop,
                      const std::function<void(const std::string& title, const std::string& file)>& named) {
    const Resolved resolved = readAndResolve(entry.address, stop);
    if (stop.cancelled()) {
        EntryOutcome stopped;
        stopped.result.outcome = components::JobOutcome::Stopped;
        stopped.result.text = "Stopped";
        return stopped;
    }
    if (!resolved.page.ok) {
        return failure("Could not read the page: " + resolved.page.error, worthRetrying(resolved.page.cause));
    }
    const auto stream = streamOf(resolved.resolution, entry.quality);
    if (!stream)
        return failure(entry.quality ? std::to_string(entry.quality) + " is not offered by this page"
                                     : std::string("This page offers no video to download"),
                       false);

    const std::string title = app::sanitiseTitle(entry.title.empty() ? resolved.resolution.videoTitle : entry.title);
    const std::string fileName = app::localFileName(title, stream->container.empty() ? "mp4" : stream->container);
    const std::string folder = entry.folder.empty() ? app::kLocalFolder : entry.folder;
    const std::string page = entry.page.empty() ? entry.address : entry.page;
    const auto target = platform::mapLocalTarget(folder, fileName);
    if (!target.ok) return failure(target.error, false);
    if (std::string error; !platform::ensureFolder(target.folder, error))
        return failure("Cannot make the folder " + target.folder + ": " + error, false);
    named(title, target.path);

    components::DownloadRequest request;
    request.tracks = app::tracksOf(*stream);  // as the main window asks for it
    request.target = {folder, fileName, app::videoIdOf(page)};
    request.source = {entry.address, qualityNameOf(entry.quality)};
    request.options.userAgent = options.userAgent;
    request.options.connections = options.connections;
    request.options.minSegmentBytes = 4096 * 1024;
    request.options.sharedRate = options.sharedRate;
    request.renewAddress = renewedAddress;

    if (options.beforeJob) options.beforeJob(entry, request);
    EntryOutcome outcome;
    outcome.result = components::runAnyJob(request, meter, stop, [] {});
    if (outcome.result.outcome == components::JobOutcome::Failed)
        outcome.worthRetrying = !stop.cancelled() && worthRetrying(outcome.result.cause);
    return outcome;
}

}  // namespace zenvira::queue
