#include "app/download_workflow.h"

#include <QEventLoop>
#include <algorithm>
#include <thread>

#include "app/button_map.h"
#include "app/download_names.h"
#include "app/stream_tracks.h"
#include "base/quality.h"
#include "components/downloader/downloader.h"
#include "components/msg_box/msg_box.h"
#include "engine/transfer/parked_transfer.h"
#include "platform/path_mapping.h"
#include "resolve/page_resolver.h"

namespace zenvira::app {

using components::msgBox;
namespace Style = components::MsgBoxStyle;

namespace {

const std::string kGettingInformation = "Getting Video Information..";
const std::string kNoStreams = "No downloadable video was found on this page";

ProgressFigures figuresOf(const components::DownloadProgress& info) {
    return {info.BytesDone, info.BytesTotal, info.BytesPerSecond, info.ElapsedSeconds, info.RemainingSeconds};
}

// The quality a batch row downloads: the best its page offers.
const std::string kBestQuality = "best";

// The address on the quality's button of a page that has been read, or "".
std::string addressForQuality(const std::string& page, const components::FetchResult& fetched,
                              const std::string& quality, const PageReader& reader, components::CancelToken& cancel) {
    const auto fetch = [&reader, &cancel](const std::string& more) { return reader(more, &cancel); };
    const resolve::Resolution resolution = resolve::resolveFetchedPage(page, fetched, fetch);
    if (quality == kBestQuality) return resolution.best ? resolution.best->address : std::string();
    const auto map = buttonMapOf(resolution.streams);
    for (std::size_t k = 0; k < base::kQualities.size() && k < map.List4.size(); ++k)
        if (base::kQualities[k].caption == quality)
            if (auto offered = base::offeredEntry(map.List4[k])) return *offered;
    return {};
}

// Reads the page again and finds the quality's current address; runs on the transfer thread,
// and the job's Stop ends the read.
components::AddressRenewal renewalThrough(PageReader reader) {
    return [reader = std::move(reader)](const std::string& page, const std::string& quality,
                                        components::CancelToken& cancel) -> std::string {
        const auto fetched = reader(page, &cancel);
        if (!fetched.ok || cancel.cancelled()) return {};
        std::string renewed = addressForQuality(page, fetched, quality, reader, cancel);
        // The job goes on from the bytes it kept: an answer from the first byte, parked by
        // this read, would only hold a connection the server keeps filling.
        if (!renewed.empty()) components::takeParkedTransfer(renewed);
        return renewed;
    };
}

std::string lowerText(std::string text) {
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A language asked for takes the page's subtitles of it and of its regions ("en" takes
// "en-GB"); "all" takes every one.
std::vector<components::SubtitleTrack> subtitlesAskedFor(const std::vector<resolve::Subtitle>& offered,
                                                         const std::vector<std::string>& languages) {
    std::vector<components::SubtitleTrack> chosen;
    std::vector<std::string> taken;
    for (const auto& subtitle : offered) {
        const std::string language = lowerText(subtitle.language);
        const bool asked = std::any_of(languages.begin(), languages.end(), [&](const std::string& want) {
            const std::string wanted = lowerText(want);
            return wanted == "all" || wanted == language || language.starts_with(wanted + "-");
        });
        // One file per language: the first the page names.
        if (!asked || std::find(taken.begin(), taken.end(), language) != taken.end()) continue;
        taken.push_back(language);
        chosen.push_back({subtitle.language, subtitle.address, subtitle.kind == resolve::StreamKind::Hls});
    }
    return chosen;
}

std::string batchSummary(int saved, int failed, int skipped) {
    std::string text = "Batch done: " + std::to_string(saved) + " saved, " + std::to_string(failed) + " failed";
    if (skipped > 0) text += ", " + std::to_string(skipped) + " skipped";
    return text;
}

}  // namespace

// One page read under way. `superseded`: a newer Extract took over, so this one's caller
// leaves the window to the newer.
struct DownloadWorkflow::PageRead {
    components::CancelToken cancel;
    bool forExtract = false;
    bool superseded = false;
};

DownloadWorkflow::DownloadWorkflow(MainView& view, components::clDownLoader& downloader, PageReader reader)
    : view_(view), downloader_(downloader), reader_(std::move(reader)) {
    connect(&downloader_, &components::clDownLoader::Progress, this, &DownloadWorkflow::clDownLoader1_Progress);
    connect(&downloader_, &components::clDownLoader::ProcessCompleted, this,
            &DownloadWorkflow::clDownLoader1_ProcessCompleted);
}

DownloadWorkflow::~DownloadWorkflow() {
    shuttingDown_ = true;
    for (PageRead* read : reads_) read->cancel.cancel();
    if (waitLoop_) waitLoop_->quit();
}

// The page is read on a worker thread while a nested event loop keeps the window alive:
// it paints, Stop cancels the read, and other commands run as they do during a download's
// wait. The loop sleeps until the worker posts its end.
components::FetchResult DownloadWorkflow::readPage(const std::string& address, bool forExtract,
                                                   resolve::Resolution& resolution) {
    if (forExtract)
        for (PageRead* earlier : reads_)
            if (earlier->forExtract) {
                earlier->superseded = true;  // the newer Extract is what the user wants now
                earlier->cancel.cancel();
            }
    view_.setStatusText(kGettingInformation);
    PageRead read;
    read.forExtract = forExtract;
    if (shuttingDown_) read.cancel.cancel();
    reads_.push_back(&read);
    components::FetchResult page;
    QEventLoop loop;
    std::thread worker([&] {
        page = reader_(address, &read.cancel);
        if (page.ok) {
            const auto fetch = [this, &read](const std::string& more) { return reader_(more, &read.cancel); };
            resolution = resolve::resolveFetchedPage(address, page, fetch);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    reads_.erase(std::find(reads_.begin(), reads_.end(), &read));
    if (read.cancel.cancelled()) {
        page.ok = false;
        page.cancelled = true;
        page.error = components::kFetchCancelledText;
        page.text.clear();
    }
    if (read.superseded) return page;
    if (page.cancelled)
        view_.setStatusText(page.error);
    else if (!page.ok)
        view_.setStatusText("Could not read the page: " + page.error);
    return page;
}

void DownloadWorkflow::tellPageFailed(const std::string& address, const std::string& reason) {
    for (const auto& listener : pageFailed_) listener({address, reason});
}

void DownloadWorkflow::disableQualityButtons() {
    for (int k = 0; k < kQualityButtons; ++k) view_.setQualityButtonEnabled(k, false);
}

void DownloadWorkflow::Extract(const std::string& address) {
    List4_.clear();
    List1_.clear();
    List2_.clear();
    disableQualityButtons();
    extractedPage_ = address;
    resolve::Resolution resolution;
    const auto page = readPage(address, true, resolution);
    if (page.cancelled) return;  // stopped by the user, or a newer Extract took over
    if (!page.ok) {
        tellPageFailed(address, page.error);
        msgBox("Could not read the page " + address + "\n" + page.error, Style::OkOnly + Style::Critical, "Error");
        return;
    }
    resolution_ = std::move(resolution);
    videoTitle_ = resolution_.videoTitle;
    List1_ = resolution_.List1;
    List2_ = resolution_.List2;
    buttonStreams_ = resolve::streamsOnButtons(resolution_.streams);
    auto map = buttonMapOf(resolution_.streams);
    List4_ = std::move(map.List4);
    for (int k = kQualityButtons - 1; k >= 0; --k) view_.setQualityButtonEnabled(k, map.enabled[k]);
    if (std::none_of(map.enabled.begin(), map.enabled.end(), [](bool on) { return on; }))
        view_.setStatusText(kNoStreams);
}

void DownloadWorkflow::QualityDownload(int index) {
    if (index < 0 || index >= static_cast<int>(List4_.size())) return;
    jobPage_ = extractedPage_;
    jobQuality_ = index < base::kQualityCount ? std::string(base::kQualities[static_cast<std::size_t>(index)].caption) : "";
    const auto& stream = buttonStreams_[static_cast<std::size_t>(index)];
    startDownload(stream ? tracksOf(*stream)
                         : std::vector<components::Track>{
                               {components::TrackKind::Unknown, List4_[static_cast<std::size_t>(index)], "", ""}});
}

bool DownloadWorkflow::AudioDownload() {
    const auto sound = resolve::bestAudio(resolution_.streams);
    if (!sound) return false;
    jobPage_ = extractedPage_;
    jobQuality_.clear();  // no button stands for it, so nothing renews its address
    startDownload(tracksOf(*sound));
    return true;
}

// Each row keeps a mark of how its run ended, so a failure stays visible after the next row
// has begun; the batch ends with a count in the status bar. With a queue wired in, the rows
// are kept there as they go (running, saved, failed), so a batch cut short goes on at the
// next start; a row the queue is fetching already is left to it.
void DownloadWorkflow::BatchDownload(const std::vector<std::string>& rows) {
    batchStopped_ = false;
    ++batches_;
    const struct BatchCount {
        int& n;
        ~BatchCount() { --n; }
    } counting{batches_};
    using RowEnd = BatchQueue::RowEnd;
    BatchQueue* const queue = batchQueue_;
    const std::vector<BatchQueue::Ticket> tickets =
        queue ? queue->begin(rows, localFolder_) : std::vector<BatchQueue::Ticket>{};
    const auto ticketOf = [&](std::size_t index) { return index < tickets.size() ? tickets[index] : 0; };
    int saved = 0, failed = 0, skipped = 0;
    std::size_t job = 0;
    // `kept`: how the queue keeps the row; none: as the mark says.
    const auto mark = [&](std::size_t index, BatchRowOutcome outcome, const std::string& reason,
                          std::optional<RowEnd> kept = std::nullopt) {
        (outcome == BatchRowOutcome::Saved ? saved : outcome == BatchRowOutcome::Failed ? failed : skipped)++;
        const std::string file = outcome == BatchRowOutcome::Saved ? savedPathOf(jobs_[job]) : std::string();
        markRow(index, outcome, reason, file);
        if (queue && ticketOf(index)) {
            const RowEnd end = kept                                 ? *kept
                               : outcome == BatchRowOutcome::Saved  ? RowEnd::Saved
                               : outcome == BatchRowOutcome::Failed ? RowEnd::Failed
                                                                    : RowEnd::Stopped;
            // The program closing is no failure of the row: it goes on at the next start.
            queue->ended(ticketOf(index), shuttingDown_ && end != RowEnd::Saved ? RowEnd::Interrupted : end, reason,
                         file);
        }
    };
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (batchStopped_ || shuttingDown_) break;
        const std::string& row = rows[index];
        if (queue && ticketOf(index) && !queue->take(ticketOf(index))) {
            jobs_.push_back({row, "", std::nullopt, {}, {}});
            markRow(index, BatchRowOutcome::Skipped, "Being downloaded in the Downloads window");
            ++skipped;
            continue;
        }
        resolve::Resolution resolution;
        const auto page = readPage(row, false, resolution);
        if (page.cancelled) {
            jobs_.push_back({row, "", std::nullopt, {}, {}});
            mark(index, BatchRowOutcome::Skipped, page.error);
            break;  // only Stop or the window closing cancel a batch's read
        }
        if (!page.ok) {
            jobs_.push_back({row, "", std::nullopt, {}, {}});
            tellPageFailed(row, page.error);
            mark(index, BatchRowOutcome::Failed, page.error);
            continue;  // the next row may well work
        }
        resolution_ = std::move(resolution);
        videoTitle_ = resolution_.videoTitle;
        List1_ = resolution_.List1;
        const auto best = resolution_.best;
        if (!best) {
            view_.setStatusText(kNoStreams + ": " + row);
            jobs_.push_back({row, "", std::nullopt, {}, {}});
            mark(index, BatchRowOutcome::Skipped, kNoStreams, RowEnd::Failed);
            continue;
        }
        List2_.push_back(best->address);
        lastFailure_.clear();
        job = jobs_.size();  // commands run during the wait add their own after it
        jobPage_ = row;
        jobQuality_ = kBestQuality;
        startDownload(tracksOf(*best));
        const auto outcome = jobs_[job].outcome;
        if (!outcome) {
            mark(index, BatchRowOutcome::Skipped, "Another download was running");
            continue;
        }
        switch (*outcome) {
        case components::JobOutcome::Completed: mark(index, BatchRowOutcome::Saved, ""); break;
        case components::JobOutcome::CompletedWithWarnings:
            mark(index, BatchRowOutcome::Saved, "Completed with some warnings");
            break;
        case components::JobOutcome::Failed: mark(index, BatchRowOutcome::Failed, lastFailure_); break;
        case components::JobOutcome::Stopped: mark(index, BatchRowOutcome::Skipped, "Download stopped"); break;
        }
    }
    if (queue) queue->end(tickets, shuttingDown_ ? RowEnd::Interrupted : RowEnd::Stopped);
    if (!shuttingDown_ && saved + failed + skipped > 0) {
        view_.setStatusText(batchSummary(saved, failed, skipped));
        view_.downloadsEnded(batchSummary(saved, failed, skipped));
    }
}

void DownloadWorkflow::markRow(std::size_t row, BatchRowOutcome outcome, const std::string& reason,
                               const std::string& savedFile) {
    if (!shuttingDown_) view_.markBatchRow(row, outcome, reason, savedFile);
}

const std::string& DownloadWorkflow::localFolder() const { return localFolder_.empty() ? kLocalFolder : localFolder_; }

std::string DownloadWorkflow::savedPathOf(const JobRecord& job) const {
    if (!job.savedPath.empty()) return job.savedPath;
    return platform::mapLocalTarget(job.folder, job.fileName).path;
}

components::DownloadRequest DownloadWorkflow::requestFor(const std::vector<components::Track>& tracks,
                                                         const std::string& fileName) {
    components::DownloadRequest request;
    request.tracks = tracks;
    if (!subtitleLanguages_.empty()) request.subtitles = subtitlesAskedFor(resolution_.subtitles, subtitleLanguages_);
    request.target = {localFolder(), fileName, videoIdOf(jobPage_)};
    request.source = {jobPage_, jobQuality_};
    request.options.connections = connections_;
    request.options.minSegmentBytes = 4096 * 1024;
    request.options.maxBytesPerSecond = maxBytesPerSecond_;
    request.renewAddress = renewalThrough(reader_);
    return request;
}

void DownloadWorkflow::startDownload(const std::vector<components::Track>& tracks) {
    const components::Track& track = tracks.front();
    if (!downloader_.Busy()) lastFigures_ = {};
    videoTitle_ = sanitiseTitle(videoTitle_);
    const std::string extension = track.container.empty() ? "mp4" : track.container;
    const std::string fileName = fileName_.empty() ? localFileName(videoTitle_, extension) : "\\" + fileName_;
    auto request = requestFor(tracks, fileName);
    jobPage_.clear();
    jobQuality_.clear();
    view_.setCaption("Zenvira : " + videoTitle_);
    jobs_.push_back({track.address, fileName, std::nullopt, localFolder(), {}});
    if (downloader_.Busy()) return;  // the running download goes on; this click starts nothing
    activeJob_ = jobs_.size() - 1;
    if (requestHook_) requestHook_(request);
    downloader_.Start(std::move(request));
    waitForJobEnd();
    downloadFinished_ = false;
}

void DownloadWorkflow::waitForJobEnd() {
    jobEnded_ = false;
    QEventLoop loop;
    waitLoop_ = &loop;
    if (!jobEnded_ && !shuttingDown_) loop.exec();
    waitLoop_ = nullptr;
}

void DownloadWorkflow::Stop() {
    if (!reads_.empty()) {
        batchStopped_ = true;
        for (PageRead* read : reads_) read->cancel.cancel();
    }
    if (downloader_.Busy()) downloader_.Stop();
}

void DownloadWorkflow::Shutdown() {
    shuttingDown_ = true;
    for (PageRead* read : reads_) read->cancel.cancel();
    downloader_.Shutdown();
    if (waitLoop_) waitLoop_->quit();
}

void DownloadWorkflow::clDownLoader1_Progress() {
    const auto info = downloader_.ProgressInfo();
    lastFigures_ = figuresOf(info);
    auto shown = showProgress(lastFigures_, view_.decimalSeparator());
    // A renewed link or a file fetched again from its start is said after the figures.
    if (!info.Notice.empty() && shown.statusLine != kDownloadCompleted) shown.statusLine += " (" + info.Notice + ")";
    view_.showProgressView(shown);
}

void DownloadWorkflow::recordOutcome(components::JobOutcome outcome) {
    if (activeJob_ && *activeJob_ < jobs_.size()) {
        jobs_[*activeJob_].outcome = outcome;
        jobs_[*activeJob_].savedPath = downloader_.SavedPath();
    }
    activeJob_.reset();
}

void DownloadWorkflow::clDownLoader1_ProcessCompleted(int code) {
    using components::JobOutcome;
    const auto outcome = components::outcomeOfCode(code);
    if (!outcome) return;
    const std::optional<std::size_t> ended = activeJob_;
    recordOutcome(*outcome);
    // A file saved without its size ever being told: what arrived was the whole, so the bar
    // ends full and the line reads "Download completed", as for any other download.
    if (!shuttingDown_ && ended && components::fileSaved(*outcome) && lastFigures_.BytesTotal < 0) {
        lastFigures_.BytesTotal = lastFigures_.BytesDone;
        view_.showProgressView(showProgress(lastFigures_, view_.decimalSeparator()));
    }
    // Every listener hears how the job ended, as data, before any message box.
    if (ended && *ended < jobs_.size()) {
        const JobRecord& job = jobs_[*ended];
        const DownloadEnded event{job.address, *outcome,
                                  *outcome == JobOutcome::Stopped ? std::string() : downloader_.ErrorInfo().ErrorText,
                                  fileSaved(*outcome) ? savedPathOf(job) : std::string()};
        for (const auto& listener : downloadEnded_) listener(event);
    }
    // A single download tells the desktop how it ended (a batch does so once, at its end);
    // before any message box, which waits for the user.
    if (!shuttingDown_ && batches_ == 0 && ended && *ended < jobs_.size() && *outcome != JobOutcome::Stopped) {
        const JobRecord& job = jobs_[*ended];
        view_.downloadsEnded(*outcome == JobOutcome::Failed
                                 ? "Download failed: " + downloader_.ErrorInfo().ErrorText
                                 : "Saved " + savedPathOf(job));
    }
    if (!shuttingDown_) {
        switch (*outcome) {
        case JobOutcome::Completed: downloadFinished_ = true; break;
        case JobOutcome::Failed:
            lastFailure_ = downloader_.ErrorInfo().ErrorText;
            msgBox("Process not completed: " + lastFailure_, Style::OkOnly, "Error");
            break;
        case JobOutcome::CompletedWithWarnings:
            msgBox("Process completed with some warnings", Style::OkOnly + Style::Exclamation, "Message");
            break;
        case JobOutcome::Stopped:
            batchStopped_ = true;
            msgBox("Download stopped", Style::OkOnly + Style::Information, "Message");
            break;
        }
    }
    jobEnded_ = true;
    if (waitLoop_) waitLoop_->quit();
}

}  // namespace zenvira::app
