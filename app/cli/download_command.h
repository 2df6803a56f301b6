#pragma once
// zenvira-cli download and batch: the main window's workflow with a terminal for a window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zenvira::cli {

struct DownloadOptions {
    std::optional<int> quality;             // 1080, 720, 480, 360 or 240; best offered when absent
    bool audioOnly = false;                 // the best sound alone
    std::vector<std::string> subtitles;     // languages saved beside the video ("all": every one)
    std::optional<std::string> output;      // -o: a folder, or (download) a file with an extension
    std::optional<int> connections;         // where a job starts; the window's number when absent
    std::optional<std::int64_t> limitRate;  // bytes a second over all connections
    bool quiet = false;                     // errors only
    bool json = false;                      // JSON lines on stdout, nothing else there
    bool serve = false;                     // serve the download while it comes (download only)
    std::vector<std::string> player;        // the player to run on the served address, in words
};

// Both need a QCoreApplication. Exit status 0 only when every file was saved, else 1.
int runDownload(const std::string& address, const DownloadOptions& options);
// `listFile` "-" reads the addresses from standard input.
int runBatch(const std::string& listFile, const DownloadOptions& options);

// The quality button of a frame height (1080 -> 0 ... 240 -> 4), or none.
std::optional<int> qualityButtonOf(int height);

// The watch-page addresses of a batch file: one per line, blank lines and # comments skipped.
std::vector<std::string> readBatchFile(const std::string& text);

}  // namespace zenvira::cli
