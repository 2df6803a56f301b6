#pragma once
// Runs the downloader against the fixture site inside a Qt event loop and records what a
// window would see: every Progress, every ProcessCompleted, and the figures at the end.
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/downloader/downloader.h"
#include "tests/site/fixture_site.h"

namespace zenvira::testing {

struct DownloadRecord {
    std::vector<int> outcomes;                  // every ProcessCompleted, in order
    int progressEvents = 0;
    int progressAfterOutcome = 0;
    components::DownloadProgress lastReported;  // read in the last Progress handler
    components::DownloadProgress atOutcome;     // read in the ProcessCompleted handler
    std::string errorText;
    double seconds = 0;
    int outcome() const { return outcomes.empty() ? 0 : outcomes.front(); }
};

class DownloadHarness {
public:
    DownloadHarness();   // a fresh drive C: folder ($ZENVIRA_DRIVE_C) and site
    ~DownloadHarness();

    site::FixtureSite site;
    components::clDownLoader downloader;

    std::string driveFolder() const;
    std::string streamUrl(const std::string& id) const;  // direct address on the site
    void prepare(const std::string& address, const std::string& fileName = "\\clip.flv", int connections = 2,
                 int smallestPieceKiB = 0);
    // Starts and pumps events until ProcessCompleted plus a short grace period for stray events.
    // `onProgress` runs inside each Progress handler.
    DownloadRecord run(std::chrono::milliseconds timeout = std::chrono::seconds(20),
                       const std::function<void()>& onProgress = {});
    // Pumps events for a while (or until `done` says so).
    static void pump(std::chrono::milliseconds duration, const std::function<bool()>& done = {});

    // Ranges the site was asked for on stream requests, in order ("" for none).
    std::vector<std::string> rangeHeaders() const;

private:
    QTemporaryDir folder_;
};

// Whether the file holds exactly the first `size` bytes of every generated stream.
bool matchesStream(const std::string& path, std::uint64_t size, std::uint64_t contentSeed = 0);
bool fileExists(const std::string& path);
std::int64_t fileSize(const std::string& path);
std::string readText(const std::string& path);
void writeText(const std::string& path, const std::string& text);

}  // namespace zenvira::testing
