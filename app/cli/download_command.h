#pragma once
// zenvira-cli download and batch: the main window's workflow with a terminal for a window.
#include <optional>
#include <string>
#include <vector>

namespace zenvira::cli {

struct DownloadOptions {
    std::optional<int> quality;        // 1080, 720, 480, 360 or 240; best offered when absent
    std::optional<std::string> folder; // where files go instead of the usual download folder
};

// Both need a QCoreApplication. Exit status 0 only when every file was saved.
int runDownload(const std::string& address, const DownloadOptions& options);
int runBatch(const std::string& listFile, const DownloadOptions& options);

// The quality button of a frame height (1080 -> 0 ... 240 -> 4), or none.
std::optional<int> qualityButtonOf(int height);

// The watch-page addresses of a batch file: one per line, blank lines and # comments skipped.
std::vector<std::string> readBatchFile(const std::string& text);

}  // namespace zenvira::cli
