#include "app/download_workflow.h"

#include <QEventLoop>
#include <algorithm>
#include <future>

#include "app/button_map.h"
#include "app/download_names.h"
#include "components/downloader/downloader.h"
#include "components/msg_box/msg_box.h"
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

}  // namespace

DownloadWorkflow::DownloadWorkflow(MainView& view, components::clDownLoader& downloader, PageReader reader)
    : view_(view), downloader_(downloader), reader_(std::move(reader)) {
    connect(&downloader_, &components::clDownLoader::Progress, this, &DownloadWorkflow::clDownLoader1_Progress);
    connect(&downloader_, &components::clDownLoader::ProcessCompleted, this,
            &DownloadWorkflow::clDownLoader1_ProcessCompleted);
}

DownloadWorkflow::~DownloadWorkflow() {
    shuttingDown_ = true;
    if (waitLoop_) waitLoop_->quit();
}

// The page is read on a worker thread while the window keeps painting; user input waits
// until the page is there, so no other command runs in between.
components::FetchResult DownloadWorkflow::readPage(const std::string& address) {
    view_.setStatusText(kGettingInformation);
    auto pending = std::async(std::launch::async, reader_, address);
    QEventLoop loop;
    while (pending.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        loop.processEvents(QEventLoop::ExcludeUserInputEvents);
    auto page = pending.get();
    if (!page.ok) view_.setStatusText("Could not read the page: " + page.error);
    return page;
}

void DownloadWorkflow::disableQualityButtons() {
    for (int k = 0; k < kQualityButtons; ++k) view_.setQualityButtonEnabled(k, false);
}

void DownloadWorkflow::Extract(const std::string& address) {
    List4_.clear();
    List1_.clear();
    List2_.clear();
    disableQualityButtons();
    const auto page = readPage(address);
    if (!page.ok) {
        msgBox("Could not read the page " + address + "\n" + page.error, Style::OkOnly + Style::Critical, "Error");
        return;
    }
    auto resolution = resolve::resolvePage(page.text);
    videoTitle_ = std::move(resolution.videoTitle);
    List1_ = std::move(resolution.List1);
    List2_ = std::move(resolution.List2);
    auto map = mapStreamsToButtons(List2_);
    List4_ = std::move(map.List4);
    for (int k = kQualityButtons - 1; k >= 0; --k) view_.setQualityButtonEnabled(k, map.enabled[k]);
    if (std::none_of(map.enabled.begin(), map.enabled.end(), [](bool on) { return on; }))
        view_.setStatusText(kNoStreams);
}

void DownloadWorkflow::QualityDownload(int index) {
    if (index < 0 || index >= static_cast<int>(List4_.size())) return;
    startDownload(List4_[static_cast<std::size_t>(index)]);
}

void DownloadWorkflow::BatchDownload(const std::vector<std::string>& rows) {
    batchStopped_ = false;
    for (const auto& row : rows) {
        if (batchStopped_ || shuttingDown_) return;
        const auto page = readPage(row);
        if (!page.ok) {
            jobs_.push_back({row, "", std::nullopt});
            continue;  // the status bar says why; the next row may well work
        }
        auto best = resolve::resolveBestAddress(page.text);
        videoTitle_ = std::move(best.videoTitle);
        List1_ = std::move(best.List1);
        if (!best.address) {
            view_.setStatusText(kNoStreams + ": " + row);
            jobs_.push_back({row, "", std::nullopt});
            continue;
        }
        List2_.push_back(*best.address);
        startDownload(*best.address);
    }
}

void DownloadWorkflow::startDownload(const std::string& address) {
    downloader_.setSourceAddress(address);
    videoTitle_ = sanitiseTitle(videoTitle_);
    const std::string fileName = localFileName(videoTitle_);
    downloader_.setLocalFileName(fileName);
    downloader_.setLocalFolder(kLocalFolder);
    downloader_.setTuningValueA(2);
    downloader_.setTuningValueB(4096);
    view_.setCaption("Zenvira : " + videoTitle_);
    jobs_.push_back({address, fileName, std::nullopt});
    if (downloader_.Busy()) return;  // the running download goes on; this click starts nothing
    activeJob_ = jobs_.size() - 1;
    downloader_.Start(true);
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
    if (downloader_.Busy()) downloader_.Stop();
}

void DownloadWorkflow::Shutdown() {
    shuttingDown_ = true;
    downloader_.Shutdown();
    if (waitLoop_) waitLoop_->quit();
}

void DownloadWorkflow::clDownLoader1_Progress() {
    view_.showProgressView(showProgress(figuresOf(downloader_.ProgressInfo()), view_.decimalSeparator()));
}

void DownloadWorkflow::recordOutcome(components::JobOutcome outcome) {
    if (activeJob_ && *activeJob_ < jobs_.size()) jobs_[*activeJob_].outcome = outcome;
    activeJob_.reset();
}

void DownloadWorkflow::clDownLoader1_ProcessCompleted(int code) {
    using components::JobOutcome;
    const auto outcome = components::outcomeOfCode(code);
    if (!outcome) return;
    recordOutcome(*outcome);
    if (!shuttingDown_) {
        switch (*outcome) {
        case JobOutcome::Completed: downloadFinished_ = true; break;
        case JobOutcome::Failed:
            msgBox("Process not completed: " + downloader_.ErrorInfo().ErrorText, Style::OkOnly, "Error");
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
