#pragma once
// A download session: the downloader and the download workflow together, as both fronts
// drive them. The front tells it the folder, the connection settings and the view; the
// session says where each saved file went. The GUI's main window and zenvira-cli each hold one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/download_events.h"
#include "app/download_workflow.h"
#include "app/main_view.h"
#include "app/page_reader.h"
#include "app/progress_text.h"

namespace zenvira::components {
class clDownLoader;
class StreamLink;
class StreamServer;
}

namespace zenvira::app {

// How many connections a job starts with (TuningValueA) and the most bytes a second over all
// of them (0: no limit).
struct ConnectionSettings {
    int connections = 2;
    std::int64_t maxBytesPerSecond = 0;
};

struct SessionSettings {
    std::string folder;  // where files go (relative: to the working folder); empty: the user's download folder
    ConnectionSettings connections;
    PageReader reader;  // empty: the real page fetch
};

class DownloadSession {
public:
    DownloadSession(MainView& view, SessionSettings settings);
    ~DownloadSession();

    DownloadWorkflow& workflow() { return *workflow_; }
    components::clDownLoader& downloader() { return *downloader_; }

    // Where the next jobs save, made when missing; false with the reason when it cannot be.
    bool setFolder(const std::string& folder, std::string& error);
    // Every progress event of the running job, in figures (the view gets its texts as well).
    void onProgress(std::function<void(const ProgressFigures&)> listener);
    // How each download ended (outcome, reason, saved path), and each page that could not be
    // read: what a front tells its user, whatever boxes the window shows.
    void onDownloadEnded(std::function<void(const DownloadEnded&)> listener) {
        workflow_->onDownloadEnded(std::move(listener));
    }
    void onPageFailed(std::function<void(const PageFailed&)> listener) { workflow_->onPageFailed(std::move(listener)); }

    // Serves every download from now on as a local stream while it comes (a server on
    // 127.0.0.1); false with the reason when it cannot listen.
    bool serveDownloads(std::string& error);
    // Told each download's stream address before its job starts.
    void onServing(std::function<void(const std::string& address)> listener) {
        serving_.push_back(std::move(listener));
    }
    // The stream of the download running now (or the last one), "" when none is served.
    const std::string& streamAddress() const { return streamAddress_; }
    // The server, while downloads are served.
    const components::StreamServer* streamServer() const { return server_.get(); }

    // Stops the page being read and the running download; a batch ends. Its .part stays.
    void Stop() { workflow_->Stop(); }

    // The full path of every file this session saved, in the order the jobs ran.
    std::vector<std::string> savedFiles() const;
    // True when `expected` jobs ran and each saved its file.
    bool allSaved(std::size_t expected) const;

private:
    void serve(components::DownloadRequest& request);

    // Declared first, so it outlives the downloader's job that feeds its links.
    std::unique_ptr<components::StreamServer> server_;
    std::unique_ptr<components::clDownLoader> downloader_;
    std::unique_ptr<DownloadWorkflow> workflow_;
    std::vector<std::function<void(const std::string&)>> serving_;
    std::string streamAddress_;
};

}  // namespace zenvira::app
