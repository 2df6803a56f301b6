#include "app/served_downloads.h"

#include <filesystem>

#include "engine/fragments/hls_job.h"
#include "engine/stream/stream_server.h"

namespace zenvira::app {

std::string servedName(const components::DownloadRequest& request) {
    std::string name = request.target.fileName;
    if (const auto cut = name.find_last_of("\\/"); cut != std::string::npos) name = name.substr(cut + 1);
    if (name.empty()) name = request.target.fallbackName;
    if (request.tracks.empty()) return name;
    const auto& track = request.tracks.front();
    std::string extension;
    if (track.kind == components::TrackKind::Dash || components::isManifestAddress(track.address))
        extension = ".mpd";
    else if (track.kind == components::TrackKind::Hls || components::isPlaylistAddress(track.address))
        extension = ".m3u8";
    return extension.empty() ? name : std::filesystem::path(name).replace_extension(extension).string();
}

ServedDownloads::ServedDownloads() = default;
ServedDownloads::~ServedDownloads() = default;

bool ServedDownloads::start(std::string& error) {
    if (server_) return true;
    auto server = std::make_unique<components::StreamServer>();
    if (!server->start(error)) return false;
    server_ = std::move(server);
    return true;
}

std::string ServedDownloads::serve(std::int64_t key, components::DownloadRequest& request) {
    if (!server_) return {};
    request.stream = std::make_shared<components::StreamLink>();
    const std::string address = server_->add(request.stream, servedName(request));
    std::lock_guard lock(mutex_);
    addresses_[key] = address;
    return address;
}

std::string ServedDownloads::addressOf(std::int64_t key) const {
    std::lock_guard lock(mutex_);
    const auto found = addresses_.find(key);
    return found == addresses_.end() ? std::string() : found->second;
}

}  // namespace zenvira::app
