#include "tests/downloader/download_harness.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/application.h"

namespace zenvira::testing {

namespace {

void ensureApplication() { coreApplication(); }

}  // namespace

DownloadHarness::DownloadHarness() {
    ensureApplication();
    qputenv("ZENVIRA_DRIVE_C", driveFolder().c_str());
}

DownloadHarness::~DownloadHarness() { downloader.Shutdown(); }

std::string DownloadHarness::driveFolder() const { return folder_.path().toStdString() + "/drive-c"; }

std::string DownloadHarness::streamUrl(const std::string& id) const {
    return site.localAddress("/videoplayback?itag=34&id=" + id);
}

void DownloadHarness::prepare(const std::string& address, const std::string& fileName, int connections,
                              int smallestPieceKiB) {
    downloader.setSourceAddress(address);
    downloader.setLocalFileName(fileName);
    downloader.setLocalFolder("c:\\");
    downloader.setTuningValueA(connections);
    downloader.setTuningValueB(smallestPieceKiB);
}

DownloadRecord DownloadHarness::run(std::chrono::milliseconds timeout, const std::function<void()>& onProgress) {
    DownloadRecord record;
    const auto started = std::chrono::steady_clock::now();
    auto progress = QObject::connect(&downloader, &components::clDownLoader::Progress, [&] {
        ++record.progressEvents;
        if (!record.outcomes.empty()) ++record.progressAfterOutcome;
        record.lastReported = downloader.ProgressInfo();
        if (onProgress) onProgress();
    });
    auto completed = QObject::connect(&downloader, &components::clDownLoader::ProcessCompleted, [&](int code) {
        if (record.outcomes.empty()) {
            record.atOutcome = downloader.ProgressInfo();
            record.errorText = downloader.ErrorInfo().ErrorText;
            record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        }
        record.outcomes.push_back(code);
    });
    downloader.Start(true);
    pump(timeout, [&] { return !record.outcomes.empty(); });
    pump(std::chrono::milliseconds(150));  // anything arriving late is a fault
    QObject::disconnect(progress);
    QObject::disconnect(completed);
    return record;
}

void DownloadHarness::pump(std::chrono::milliseconds duration, const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < until && !(done && done())) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

std::vector<std::string> DownloadHarness::rangeHeaders() const {
    std::vector<std::string> ranges;
    for (const auto& request : site.requests()) {
        if (request.path.find("/videoplayback") == std::string::npos) continue;
        const auto it = request.headers.find("range");
        ranges.push_back(it == request.headers.end() ? "" : it->second);
    }
    return ranges;
}

bool matchesStream(const std::string& path, std::uint64_t size, std::uint64_t contentSeed) {
    std::ifstream in(path, std::ios::binary);
    if (!in || static_cast<std::uint64_t>(fileSize(path)) != size) return false;
    std::vector<char> got(1 << 20);
    std::vector<std::uint8_t> expected(got.size());
    for (std::uint64_t offset = 0; offset < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(got.size(), size - offset));
        if (!in.read(got.data(), static_cast<std::streamsize>(n))) return false;
        site::fillStreamBytes(offset, expected.data(), n, contentSeed);
        if (std::memcmp(got.data(), expected.data(), n) != 0) return false;
        offset += n;
    }
    return true;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::int64_t fileSize(const std::string& path) {
    std::error_code code;
    const auto size = std::filesystem::file_size(path, code);
    return code ? -1 : static_cast<std::int64_t>(size);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace zenvira::testing
