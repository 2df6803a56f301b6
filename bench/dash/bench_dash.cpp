// A DASH download of about 150 fragments (video and sound apart) from a server that takes
// 40 ms to answer each request: Zenvira's DASH job (both tracks' fragments over one set of
// connections, then joined into one MP4) against yt-dlp with 8 fragments at once (which
// joins with ffmpeg after both tracks have come) and against `ffmpeg -i MPD -c copy`, in one
// run, interleaved.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "engine/download_job.h"
#include "bench/common/measure.h"
#include "tests/media/web_media.h"
#include "tests/site/fixture_site.h"

using namespace zenvira;
using bench::Clock;
using bench::median;

namespace {

constexpr int kRuns = 3;
constexpr std::chrono::milliseconds kRoundTrip{40};
const std::string kManifest = "http://dash.example.com/bench/manifest.mpd";

double zenviraRun(const std::string& folder) {
    components::DownloadRequest request;
    request.tracks = {{components::TrackKind::Dash, kManifest, "mp4", ""}};
    request.target = {folder, "bench.mp4", "bench"};
    request.options.userAgent = "bench";
    request.options.connections = 2;  // what the window asks for; the fragment job widens it
    components::ProgressMeter meter;
    components::CancelToken stop;
    const auto start = Clock::now();
    const auto result = components::runAnyJob(request, meter, stop, [] {});
    const double took = bench::secondsSince(start);
    if (result.outcome != components::JobOutcome::Completed) std::fprintf(stderr, "zenvira: %s\n", result.text.c_str());
    std::filesystem::remove(folder + "/bench.mp4");
    return took;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString media = work.path() + "/media";
    // 75 video and 75 sound fragments of 0.4 s: small, so the round trip sets the pace.
    if (!testmedia::makeDashSet(media, testmedia::DashShape::Template, {90}, 30, 0.4)) {
        std::fprintf(stderr, "ffmpeg could not make the presentation\n");
        return 1;
    }
    site::FixtureSite site;
    int fragments = 0;
    for (const QString& file : QDir(media).entryList(QDir::Files)) {
        site::FixedResponse response;
        response.body = bench::readWholeFile((media + "/" + file).toStdString());
        response.contentType = file.endsWith(".mpd") ? "application/dash+xml" : "video/mp4";
        response.delay = kRoundTrip;
        site.addFixed("/bench/" + file.toStdString(), response);
        fragments += file.startsWith("chunk-");
    }
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    const std::string folder = (work.path() + "/out").toStdString();
    const std::string other = (work.path() + "/other").toStdString();
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(other);
    const bool haveYtDlp = std::system("command -v yt-dlp >/dev/null 2>&1") == 0;
    const std::string ytDlp = "yt-dlp -q --no-warnings --no-progress --concurrent-fragments 8 -f 'bv+ba' -o '" + other +
                              "/y.%(ext)s' '" + kManifest + "'";
    const std::string ffmpeg =
        "ffmpeg -nostdin -loglevel error -y -i '" + kManifest + "' -map 0:v:0 -map 0:a:0 -c copy '" + other + "/f.mp4'";

    std::vector<double> ours, theirs, ffmpegTimes;
    for (int run = 0; run < kRuns; ++run) {
        ours.push_back(zenviraRun(folder));
        if (haveYtDlp) theirs.push_back(bench::timedCommand(ytDlp, other));
        ffmpegTimes.push_back(bench::timedCommand(ffmpeg, other));
    }
    std::printf("fragments: %d, answer delay: %lld ms, runs: %d\n", fragments,
                static_cast<long long>(kRoundTrip.count()), kRuns);
    std::printf("| way | median | ratio to Zenvira |\n|---|---|---|\n");
    std::printf("| Zenvira DASH job (both tracks' fragments at once, joined into MP4) | %.2f s | 1.0 |\n",
                median(ours));
    if (haveYtDlp)
        std::printf("| yt-dlp --concurrent-fragments 8 (joined by ffmpeg) | %.2f s | %.1f |\n", median(theirs),
                    median(theirs) / median(ours));
    std::printf("| ffmpeg -i manifest -c copy | %.2f s | %.1f |\n", median(ffmpegTimes),
                median(ffmpegTimes) / median(ours));
    return 0;
}
