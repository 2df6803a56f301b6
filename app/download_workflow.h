#pragma once
// The main window's download workflow: Extract, the quality buttons, the batch, the download
// job with its wait, the progress display, the outcome messages and Stop. It runs on the UI
// thread; every wait is a nested event loop, so other commands can run while a job waits.
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "app/page_reader.h"
#include "components/downloader/job_outcome.h"

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
};

class DownloadWorkflow : public QObject {
    Q_OBJECT
public:
    DownloadWorkflow(MainView& view, components::clDownLoader& downloader, PageReader reader = realPageReader());
    ~DownloadWorkflow() override;

    void Extract(const std::string& address);              // PushButton2
    void QualityDownload(int index);                       // PushButton1(index)
    void BatchDownload(const std::vector<std::string>& rows);  // PushButton4, the rows of ListBox1
    void startDownload(const std::string& address);
    void Stop();                                           // PushButton6
    // The window is going away: ends the running job and every wait.
    void Shutdown();

    // The hidden lists and shared values, as the window keeps them.
    const std::vector<std::string>& List1() const { return List1_; }
    const std::vector<std::string>& List2() const { return List2_; }
    const std::vector<std::string>& List4() const { return List4_; }
    const std::string& videoTitle() const { return videoTitle_; }
    bool downloadFinished() const { return downloadFinished_; }
    const std::vector<JobRecord>& jobs() const { return jobs_; }

    // The downloader's events (connected in the constructor).
    void clDownLoader1_Progress();
    void clDownLoader1_ProcessCompleted(int code);

private:
    components::FetchResult readPage(const std::string& address);
    void recordOutcome(components::JobOutcome outcome);
    void disableQualityButtons();
    void waitForJobEnd();

    MainView& view_;
    components::clDownLoader& downloader_;
    PageReader reader_;

    std::vector<std::string> List1_, List2_, List4_;
    std::string videoTitle_;
    bool downloadFinished_ = false;
    bool jobEnded_ = false;
    bool batchStopped_ = false;
    bool shuttingDown_ = false;
    std::optional<std::size_t> activeJob_;  // index into jobs_ of the running download
    QPointer<QEventLoop> waitLoop_;
    std::vector<JobRecord> jobs_;
};

}  // namespace zenvira::app
