// What one 300 ms tick of a conversion costs the UI thread while the encoder writes output.
// A stand-in encoder in a temporary application folder writes (a) as fast as a pipe takes it,
// (b) the progress lines of a real ffmpeg encode, (c) nothing. The tick is timed as the timer
// delivers it: one slot connected before the job's handler, one after.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/conversion_job.h"
#include "platform/application_folder.h"

namespace {

namespace fs = std::filesystem;
using zenvira::convert::AVC;

struct Case {
    const char* name;
    const char* script;
};

const Case kCases[] = {
    {"flood (cat /dev/zero)", "exec cat /dev/zero"},
    {"ffmpeg progress lines",
     "exec ffmpeg -hide_banner -nostdin -stats_period 0.1 -f lavfi -i testsrc=size=320x240:rate=30 "
     "-t 600 -c:v mpeg4 -f null -"},
    {"silent (sleep)", "exec sleep 600"},
};

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// Runs one encoder for `ticks` ticks of the job's own 300 ms timer; returns the handler times in ms.
std::vector<double> timeTicks(const std::string& folder, const Case& c, int ticks) {
    const std::string encoder = folder + "/avformat.dll";
    std::ofstream(encoder) << "#!/bin/sh\n" << c.script << "\n";
    fs::permissions(encoder, fs::perms::owner_all);

    QTimer timer;
    QElapsedTimer clock;
    std::vector<double> times;
    QObject::connect(&timer, &QTimer::timeout, [&] { clock.start(); });
    AVC job(&timer);  // its handler runs between the two timing slots
    QObject::connect(&timer, &QTimer::timeout, [&] {
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (static_cast<int>(times.size()) == ticks) job.CancelConvert();
    });
    QObject::connect(&job, &AVC::Complete, [] { QCoreApplication::exit(0); });
    job.SourceFile(folder + "/in.flv");
    job.DestFile(folder + "/out.avi");
    job.ConvertMedia(true);
    if (!job.IsRunning()) {
        std::fprintf(stderr, "cannot start the stand-in encoder: %s\n", job.LastStartFailure().c_str());
        std::exit(1);
    }
    QCoreApplication::exec();
    times.resize(std::min<std::size_t>(times.size(), static_cast<std::size_t>(ticks)));
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(3, std::atoi(argv[1])) : 40;
    std::string folder = (fs::temp_directory_path() / "zv-bench-convert-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return 1;
    zenvira::platform::setApplicationFolderForTests(folder);

    std::printf("%d ticks of 300 ms per case; handler time per tick\n", ticks);
    std::printf("| encoder output | median | p95 | max |\n|---|---|---|---|\n");
    for (const Case& c : kCases) {
        const std::vector<double> times = timeTicks(folder, c, ticks);
        std::printf("| %s | %.3f ms | %.3f ms | %.3f ms |\n", c.name, percentile(times, 0.5), percentile(times, 0.95),
                    *std::max_element(times.begin(), times.end()));
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return 0;
}
