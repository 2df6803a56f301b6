#pragma once
// Downloads served as local streams while they come, each remembered under a number its front
// knows it by (a queue entry's id): the Downloads window's Play asks for the address of a
// running entry. Thread-safe: jobs are served on their own threads, the window asks on its.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/request/download_request.h"

namespace zenvira::components {
class StreamServer;
}

namespace zenvira::app {

// The name a download is served as: its file's name, ".mpd" or ".m3u8" in place of the
// extension for a download in fragments (DASH, HLS), which is served as a manifest or playlist.
std::string servedName(const components::DownloadRequest& request);

class ServedDownloads {
public:
    ServedDownloads();
    ~ServedDownloads();
    ServedDownloads(const ServedDownloads&) = delete;
    ServedDownloads& operator=(const ServedDownloads&) = delete;

    // Listens on 127.0.0.1; false with the reason.
    bool start(std::string& error);
    // Gives `request` a local stream, known as `key` from now on; its address, "" when not served.
    std::string serve(std::int64_t key, components::DownloadRequest& request);
    // The address `key` is served at, "" when none.
    std::string addressOf(std::int64_t key) const;

private:
    std::unique_ptr<components::StreamServer> server_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, std::string> addresses_;
};

}  // namespace zenvira::app
