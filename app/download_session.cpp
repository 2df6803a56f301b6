#include "app/download_session.h"

#include <QObject>
#include <filesystem>

#include "app/served_downloads.h"
#include "components/downloader/downloader.h"
#include "engine/stream/stream_server.h"
#include "platform/path_mapping.h"

namespace zenvira::app {

namespace {

// A folder given relative to where the program was started, as a person typing it means it.
std::string fullFolder(const std::string& folder) {
    if (folder.empty()) return folder;
    std::error_code error;
    const auto full = std::filesystem::absolute(folder, error);
    return error ? folder : full.lexically_normal().string();
}

}  // namespace

DownloadSession::DownloadSession(MainView& view, SessionSettings settings)
    : downloader_(std::make_unique<components::clDownLoader>()),
      workflow_(std::make_unique<DownloadWorkflow>(view, *downloader_,
                                                   settings.reader ? std::move(settings.reader) : realPageReader())) {
    std::string ignored;  // a folder that cannot be made fails each job with the reason
    setFolder(settings.folder, ignored);
    workflow_->setConnections(settings.connections.connections);
    workflow_->setMaxBytesPerSecond(settings.connections.maxBytesPerSecond);
}

bool DownloadSession::serveDownloads(std::string& error) {
    if (server_) return true;
    auto server = std::make_unique<components::StreamServer>();
    if (!server->start(error)) return false;
    server_ = std::move(server);
    workflow_->setRequestHook([this](components::DownloadRequest& request) { serve(request); });
    return true;
}

void DownloadSession::serve(components::DownloadRequest& request) {
    request.stream = std::make_shared<components::StreamLink>();
    streamAddress_ = server_->add(request.stream, servedName(request));
    for (const auto& listener : serving_) listener(streamAddress_);
}

// The workflow goes first (it is declared last): it holds a reference to the downloader.
DownloadSession::~DownloadSession() = default;

bool DownloadSession::setFolder(const std::string& folder, std::string& error) {
    const std::string full = fullFolder(folder);
    workflow_->setLocalFolder(full);
    return full.empty() || platform::ensureFolder(full, error);
}

void DownloadSession::onProgress(std::function<void(const ProgressFigures&)> listener) {
    QObject::connect(downloader_.get(), &components::clDownLoader::Progress, workflow_.get(),
                     [this, listener = std::move(listener)] {
                         const auto info = downloader_->ProgressInfo();
                         listener({info.BytesDone, info.BytesTotal, info.BytesPerSecond, info.ElapsedSeconds,
                                   info.RemainingSeconds});
                     });
}

std::vector<std::string> DownloadSession::savedFiles() const {
    std::vector<std::string> paths;
    for (const auto& job : workflow_->jobs())
        if (job.outcome && components::fileSaved(*job.outcome)) paths.push_back(workflow_->savedPathOf(job));
    return paths;
}

bool DownloadSession::allSaved(std::size_t expected) const {
    const auto& jobs = workflow_->jobs();
    if (jobs.size() != expected) return false;
    for (const auto& job : jobs)
        if (!job.outcome || !components::fileSaved(*job.outcome)) return false;
    return true;
}

}  // namespace zenvira::app
