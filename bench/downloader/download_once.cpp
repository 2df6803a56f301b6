// One download through the downloader component, for timing beside curl and aria2c:
//   zv-download-once ADDRESS FOLDER NAME [CONNECTIONS] [SMALLEST_PIECE_KIB]
// Prints the outcome line and exits 0 only for outcome 1.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "components/downloader/downloader.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ADDRESS FOLDER NAME [CONNECTIONS] [SMALLEST_PIECE_KIB]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    zenvira::components::clDownLoader downloader;
    downloader.setSourceAddress(argv[1]);
    downloader.setLocalFolder(argv[2]);
    downloader.setLocalFileName(argv[3]);
    downloader.setTuningValueA(argc > 4 ? std::atoi(argv[4]) : 2);
    downloader.setTuningValueB(argc > 5 ? std::atoi(argv[5]) : 4096);
    int outcome = 0;
    // When the last 5 % of the bytes began: the tail's share of the time shows whether one
    // slow connection held the end up.
    double tailFrom = -1;
    QTimer look;  // every 5 ms: Progress comes ten times a second, too coarse for a short tail
    QObject::connect(&look, &QTimer::timeout, [&] {
        const auto figures = downloader.ProgressInfo();
        if (tailFrom < 0 && figures.BytesTotal > 0 && figures.BytesDone >= figures.BytesTotal * 95 / 100)
            tailFrom = figures.ElapsedSeconds;
    });
    look.start(5);
    QObject::connect(&downloader, &zenvira::components::clDownLoader::ProcessCompleted, [&](int code) {
        outcome = code;
        app.quit();
    });
    QTimer::singleShot(0, [&] { downloader.Start(true); });
    app.exec();
    const auto figures = downloader.ProgressInfo();
    const double tailShare = tailFrom >= 0 && figures.ElapsedSeconds > 0 ? 1 - tailFrom / figures.ElapsedSeconds : 0;
    std::printf("outcome %d: %lld of %lld bytes in %.3f s (%.1f MB/s), last 5 %% of the bytes %.1f %% of the time%s%s\n",
                outcome, static_cast<long long>(figures.BytesDone), static_cast<long long>(figures.BytesTotal),
                figures.ElapsedSeconds, figures.BytesPerSecond / 1e6, 100 * tailShare,
                downloader.ErrorInfo().ErrorText.empty() ? "" : ": ", downloader.ErrorInfo().ErrorText.c_str());
    return outcome == 1 ? 0 : 1;
}
