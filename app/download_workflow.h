#pragma once
// The main window's download workflow: Extract, the quality buttons, the batch, the download
// job with its wait, the progress display, the outcome messages and Stop. It runs on the UI
// thread; every wait is a nested event loop, so other commands can run while a job waits or
// a page is read. A page is read on a worker thread: the window paints and takes input
// meanwhile (clicks on disabled buttons are dropped, never held and replayed), and Stop
// cancels the read.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_queue.h"
#include "app/download_events.h"
#include "app/main_view.h"
#include "app/page_reader.h"
#include "engine/request/download_request.h"
#include "engine/request/job_outcome.h"
#include "resolve/resolver.h"

class QEventLoop;

namespace zenvira::components {
class clDownLoader;
}

namespace zenvira::app {

// How a job ended; none when nothing was started (busy, no address).
struct JobRecord {
    std::string address;
    std::string fileName;  // LocalFileName as written
    std::optional<components::JobOutcome> outcome;
    std::string folder;    // LocalFolder as written
    std::string savedPath; // where the file went, once saved (its name may have moved on to "NAME (2)")
};

class DownloadWorkflow : public QObject {
    Q_OBJECT
public:
    DownloadWorkflow(MainView& view, components::clDownLoader& downloader, PageReader reader = realPageReader());
    ~DownloadWorkflow() override;

    void Extract(const std::string& address);              // PushButton2
    void QualityDownload(int index);                       // PushButton1(index)
    // The best sound of the page alone (when it offers sound apart); false when it offers none.
    bool AudioDownload();
    void BatchDownload(const std::vector<std::string>& rows);  // PushButton4, the rows of ListBox1
    // PushButton6: cancels the pages being read and the running download; a batch ends.
    void Stop();
    // The window is going away: ends the running job and every wait.
    void Shutdown();

    // The hidden lists and shared values, as the window keeps them.
    const std::vector<std::string>& List1() const { return List1_; }
    const std::vector<std::string>& List2() const { return List2_; }
    const std::vector<std::string>& List4() const { return List4_; }
    const std::string& videoTitle() const { return videoTitle_; }
    // The last page's resolution: which resolver read it and the streams it found.
    const resolve::Resolution& resolution() const { return resolution_; }
    bool downloadFinished() const { return downloadFinished_; }
    bool readingPage() const { return !reads_.empty(); }
    // Where jobs save: a folder of this system, or empty for the drive folder "c:\".
    void setLocalFolder(std::string folder) { localFolder_ = std::move(folder); }
    const std::string& localFolder() const;
    // The full path a job's file has (or would have) once saved.
    std::string savedPathOf(const JobRecord& job) const;
    const std::vector<JobRecord>& jobs() const { return jobs_; }
    // What the command line can set; the window keeps the defaults. The connections a job
    // starts with, the most bytes a second over all of them (0: no limit), and a file name
    // for the jobs instead of the one made from the title (empty: the title's).
    void setConnections(int connections) { connections_ = connections; }
    void setMaxBytesPerSecond(std::int64_t bytesPerSecond) { maxBytesPerSecond_ = bytesPerSecond; }
    void setFileName(std::string name) { fileName_ = std::move(name); }
    // The subtitles saved beside each video, by language ("en", "pt-BR"; "all" for every one
    // the page offers); none by default.
    void setSubtitleLanguages(std::vector<std::string> languages) { subtitleLanguages_ = std::move(languages); }
    // Keeps the batch's rows in the download queue while it runs (null: nowhere).
    void setBatchQueue(BatchQueue* queue) { batchQueue_ = queue; }
    // Sees every request before its job starts (the session attaches the local stream there).
    void setRequestHook(std::function<void(components::DownloadRequest&)> hook) { requestHook_ = std::move(hook); }

    // How each download and each failed page read ended, as they end (the window's boxes and
    // texts come besides).
    void onDownloadEnded(std::function<void(const DownloadEnded&)> listener) {
        downloadEnded_.push_back(std::move(listener));
    }
    void onPageFailed(std::function<void(const PageFailed&)> listener) { pageFailed_.push_back(std::move(listener)); }

    // The downloader's events (connected in the constructor).
    void clDownLoader1_Progress();
    void clDownLoader1_ProcessCompleted(int code);

private:
    struct PageRead;
    // Reads the page and resolves it (on the worker thread: a resolver may read a playlist or
    // a stream's first bytes); `resolution` is set when the page came.
    components::FetchResult readPage(const std::string& address, bool forExtract, resolve::Resolution& resolution);
    // Starts the download of a stream's tracks (the first one's container names the file),
    // saved under the title.
    void startDownload(const std::vector<components::Track>& tracks);
    components::DownloadRequest requestFor(const std::vector<components::Track>& tracks, const std::string& fileName);
    void tellPageFailed(const std::string& address, const std::string& reason);
    void recordOutcome(components::JobOutcome outcome);
    void markRow(std::size_t row, BatchRowOutcome outcome, const std::string& reason, const std::string& savedFile = {});
    void disableQualityButtons();
    void waitForJobEnd();

    MainView& view_;
    components::clDownLoader& downloader_;
    PageReader reader_;
    std::function<void(components::DownloadRequest&)> requestHook_;
    BatchQueue* batchQueue_ = nullptr;

    std::vector<std::string> List1_, List2_, List4_;
    resolve::ButtonStreams buttonStreams_;  // the stream behind each quality button
    std::string videoTitle_;
    resolve::Resolution resolution_;
    bool downloadFinished_ = false;
    bool jobEnded_ = false;
    bool batchStopped_ = false;
    bool shuttingDown_ = false;
    std::optional<std::size_t> activeJob_;  // index into jobs_ of the running download
    QPointer<QEventLoop> waitLoop_;
    std::vector<JobRecord> jobs_;
    std::vector<PageRead*> reads_;  // the reads under way, outermost first
    std::string lastFailure_;       // why the last job failed, for its batch row
    std::string localFolder_;       // empty: kLocalFolder
    int batches_ = 0;               // batches running (nested ones included)
    ProgressFigures lastFigures_;   // the running job's last report
    std::string extractedPage_;     // the page the last Extract read
    // The page and quality the next startDownload comes from, so the job knows its own files
    // and can renew an expired address; used once.
    std::string jobPage_, jobQuality_;
    int connections_ = 2;
    std::int64_t maxBytesPerSecond_ = 0;
    std::string fileName_;
    std::vector<std::string> subtitleLanguages_;
    std::vector<std::function<void(const DownloadEnded&)>> downloadEnded_;
    std::vector<std::function<void(const PageFailed&)>> pageFailed_;
};

}  // namespace zenvira::app
