// An HLS download of 100 segments from a server that takes 40 ms to answer each request:
// Zenvira's HLS job (segments over several connections, then joined into one MP4) against
// fetching the same segments one after another, and against ffmpeg reading the playlist
// (`ffmpeg -i URL -c copy`, which fetches segment after segment), in one run.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "engine/fragments/hls_job.h"
#include "media/hls/hls_playlist.h"
#include "engine/page_fetch/page_fetch.h"
#include "bench/common/measure.h"
#include "tests/media/web_media.h"
#include "tests/site/fixture_site.h"

using namespace zenvira;
using bench::Clock;
using bench::median;

namespace {

constexpr int kRuns = 3;
constexpr std::chrono::milliseconds kRoundTrip{40};
const std::string kPlaylist = "http://stream.example.com/bench/100p/index.m3u8";

double zenviraRun(const std::string& folder) {
    components::JobSettings settings;
    settings.address = kPlaylist;
    settings.folder = folder;
    settings.fileName = "bench.mp4";
    settings.userAgent = "bench";
    settings.connections = 2;  // what the window asks for; the HLS job widens it for segments
    components::ProgressMeter meter;
    components::CancelToken stop;
    const auto start = Clock::now();
    const auto result = components::runHlsJob(settings, meter, stop, [] {});
    const double took = bench::secondsSince(start);
    if (result.outcome != components::JobOutcome::Completed) std::fprintf(stderr, "zenvira: %s\n", result.text.c_str());
    std::filesystem::remove(folder + "/bench.mp4");
    return took;
}

double sequentialRun() {
    const auto start = Clock::now();
    const components::PageFetch fetch;
    const auto list = fetch.FetchText(kPlaylist);
    const auto parsed = components::hls::parsePlaylist(list.text, kPlaylist);
    for (const auto& segment : parsed.playlist->segments) {
        components::FetchOptions options;
        options.mediaPrefixBytes = 0;
        const auto got = components::PageFetch(options).FetchText(segment.address);
        if (!got.ok) std::fprintf(stderr, "sequential: %s\n", got.error.c_str());
    }
    return bench::secondsSince(start);
}

double ffmpegRun(const std::string& folder) {
    const std::string out = folder + "/ffmpeg.mp4";
    const double took = bench::timedCommand("ffmpeg -nostdin -loglevel error -y -i '" + kPlaylist + "' -c copy '" + out + "'");
    std::filesystem::remove(out);
    return took;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString media = work.path() + "/media";
    // 100 segments of 0.2 s: small, so the round trip dominates as it does for real players.
    if (!testmedia::makeHlsLadder(media, {{{160, 90, false, false}}, 20, 0.2})) {
        std::fprintf(stderr, "ffmpeg could not make the ladder\n");
        return 1;
    }
    site::FixtureSite site;
    const QDir variant(media + "/90p");
    int segments = 0;
    for (const QString& file : variant.entryList(QDir::Files)) {
        site::FixedResponse response;
        response.body = bench::readWholeFile(variant.filePath(file).toStdString());
        response.contentType = file.endsWith(".m3u8") ? "application/vnd.apple.mpegurl" : "video/mp2t";
        response.delay = kRoundTrip;
        site.addFixed("/bench/100p/" + file.toStdString(), response);
        segments += file.endsWith(".ts");
    }
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    const std::string folder = (work.path() + "/out").toStdString();
    std::filesystem::create_directories(folder);

    std::vector<double> ours, sequential, ffmpeg;
    for (int run = 0; run < kRuns; ++run) {
        ours.push_back(zenviraRun(folder));
        sequential.push_back(sequentialRun());
        ffmpeg.push_back(ffmpegRun(folder));
    }
    std::printf("segments: %d, answer delay: %lld ms, runs: %d\n", segments, static_cast<long long>(kRoundTrip.count()), kRuns);
    std::printf("| way | median | ratio to Zenvira |\n|---|---|---|\n");
    std::printf("| Zenvira HLS job (segments in parallel, joined into MP4) | %.2f s | 1.0 |\n", median(ours));
    std::printf("| the segments one after another (libcurl) | %.2f s | %.1f |\n", median(sequential), median(sequential) / median(ours));
    std::printf("| ffmpeg -i playlist -c copy | %.2f s | %.1f |\n", median(ffmpeg), median(ffmpeg) / median(ours));
    return 0;
}
