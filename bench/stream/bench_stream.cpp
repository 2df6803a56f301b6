// Watching a download while it comes, on a 2 MB/s link (zenvira-cli --limit-rate 2M against
// the fixture site): from the Serving line to
// the first frame ffmpeg decodes from the served address, then from a seek to 80 % to its
// first frame, for an MP4 of 40 MB with its index first and one with its index last; and the
// whole download with ffmpeg reading the stream meanwhile against the same download alone
// (each to the line that says the file is saved); then from the Serving line to the first
// frame of an HLS download (MPEG-TS, its sound apart) and of a DASH one (fMP4 video and sound).
// Medians of RUNS (first argument, 3 by default).
//   build/bench/stream/bench_stream [RUNS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/media/web_media.h"
#include "tests/site/fixture_site.h"
#include "tests/stream/served_cli.h"

using namespace zenvira;

namespace {

QString makeMovie(const QString& folder, bool indexFirst) {
    const QString path = folder + (indexFirst ? "/first.mp4" : "/last.mp4");
    QStringList arguments = {"-v",
                             "error",
                             "-y",
                             "-f",
                             "lavfi",
                             "-i",
                             "testsrc2=size=640x360:rate=25,noise=alls=40:allf=t",
                             "-t",
                             "160",
                             "-c:v",
                             "libx264",
                             "-preset",
                             "ultrafast",
                             "-g",
                             "50",
                             "-b:v",
                             "2000k",
                             "-maxrate",
                             "2000k",
                             "-bufsize",
                             "2000k"};
    if (indexFirst)
        arguments << "-movflags"
                  << "+faststart";
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", arguments << path);
    ffmpeg.waitForFinished(600000);
    return ffmpeg.exitCode() == 0 ? path : QString();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

// ffmpeg decodes its first frame from `address` (from `seek` seconds on): the seconds it took.
double firstFrame(const QString& address, const QString& seek = {}) {
    QStringList arguments = {"-v", "error"};
    if (!seek.isEmpty()) arguments << "-ss" << seek;
    arguments << "-i" << address << "-frames:v"
              << "1"
              << "-f"
              << "null"
              << "-";
    QProcess ffmpeg;
    ffmpeg.setProcessEnvironment(served::peerEnvironment());
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start("ffmpeg", arguments);
    ffmpeg.waitForFinished(120000);
    return ffmpeg.exitCode() == 0 ? static_cast<double>(clock.elapsed()) / 1000 : -1;
}

struct Run {
    double firstFrame = -1, seekFrame = -1, whole = -1;
};

// `address`: what zenvira-cli downloads; `watch`: a player reads it meanwhile (`wholeRead`: the
// first frame, a seek and the whole stream; else the first frame only).
Run download(site::FixtureSite& site, const std::string& address, const QString& folder, bool serve, bool watch,
             bool wholeRead = true) {
    QProcess cli;
    QStringList arguments = {"download", QString::fromStdString(address), "--json", "--limit-rate", "2M", "-o", "out"};
    if (serve) arguments << "--serve";
    QElapsedTimer clock;
    clock.start();
    served::startCli(cli, ZENVIRA_CLI, site, folder, arguments);
    Run run;
    QProcess reader;  // a player reading the whole stream as fast as it comes
    while (cli.state() != QProcess::NotRunning || cli.canReadLine()) {
        if (!cli.canReadLine() && !cli.waitForReadyRead(100)) continue;
        while (cli.canReadLine()) {
            const auto object = QJsonDocument::fromJson(cli.readLine()).object();
            if (object.contains("serving") && watch) {
                const QString address = object.value("serving").toString();
                run.firstFrame = firstFrame(address);
                if (!wholeRead) continue;
                run.seekFrame = firstFrame(address, "128");
                reader.setProcessEnvironment(served::peerEnvironment());
                reader.start("ffmpeg", {"-v", "error", "-i", address, "-c", "copy", "-f", "null", "-"});
            }
            if (object.value("event") == "saved") run.whole = static_cast<double>(clock.elapsed()) / 1000;
        }
        if (run.whole >= 0) break;
    }
    cli.kill();  // no need to wait out the last 5 s of serving
    cli.waitForFinished();
    reader.kill();
    reader.waitForFinished();
    QDir(folder + "/out").removeRecursively();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir work;
    site::FixtureSite site;
    for (const bool indexFirst : {true, false}) {
        const QString movie = makeMovie(work.path(), indexFirst);
        if (movie.isEmpty()) {
            std::fprintf(stderr, "ffmpeg could not make the movie\n");
            return 1;
        }
        const std::string stream = indexFirst ? "first" : "last";
        site::StreamShape served;
        served.filePath = movie.toStdString();
        served.bytesPerSecond = 4 * 1024 * 1024;  // the link, not the server, is what limits
        served.contentType = "video/mp4";
        site.addStream(stream, served);
        std::vector<double> first, seek, watched, alone;
        for (int i = 0; i < runs; ++i) {
            const std::string address = site::streamAddress(stream);
            const Run played = download(site, address, work.path(), true, true);
            first.push_back(played.firstFrame);
            seek.push_back(played.seekFrame);
            watched.push_back(played.whole);
            alone.push_back(download(site, address, work.path(), false, false).whole);
        }
        std::printf(
            "%s (%.1f MB): first frame %.2f s, seek to 80 %% %.2f s, whole download %.1f s watched, %.1f s alone\n",
            indexFirst ? "index first" : "index last", static_cast<double>(QFile(movie).size()) / 1e6, median(first),
            median(seek), median(watched), median(alone));
        std::fflush(stdout);
    }
    // 60 s of 640x360 in 2-second fragments, each file brought at 1 MB/s a connection.
    for (const bool dash : {false, true}) {
        const QString folder = work.path() + (dash ? "/dash" : "/hls");
        const bool made =
            dash
                ? testmedia::makeDashSet(folder, testmedia::DashShape::Template, {360}, 60)
                : testmedia::makeHlsLadder(
                      folder,
                      {.variants = {{640, 360, false, false}}, .seconds = 60, .segmentSeconds = 2, .audioApart = true});
        if (!made) {
            std::fprintf(stderr, "ffmpeg could not make the fragments\n");
            return 1;
        }
        const std::string address = served::serveFragments(site, folder, dash ? "dash" : "hls", dash, 1024 * 1024);
        std::vector<double> first;
        for (int i = 0; i < runs; ++i)
            first.push_back(download(site, address, work.path(), true, true, false).firstFrame);
        std::printf("%s: first frame %.2f s\n", dash ? "DASH" : "HLS", median(first));
        std::fflush(stdout);
    }
    return 0;
}
