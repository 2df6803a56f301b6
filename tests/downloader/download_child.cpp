// One download in a process of its own, for tests that run two processes on one target or
// kill a download at a random moment:
//   download_child ADDRESS FOLDER NAME CONNECTIONS SMALLEST_PIECE_KIB [PAGE QUALITY]
// Prints "outcome N: TEXT" and exits with the outcome code.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "components/downloader/downloader.h"

int main(int argc, char** argv) {
    if (argc < 6) return 100;
    QCoreApplication app(argc, argv);
    zenvira::components::clDownLoader downloader;
    downloader.setSourceAddress(argv[1]);
    downloader.setLocalFolder(argv[2]);
    downloader.setLocalFileName(argv[3]);
    downloader.setTuningValueA(std::atoi(argv[4]));
    downloader.setTuningValueB(std::atoi(argv[5]));
    if (argc >= 8) {
        downloader.setPageAddress(argv[6]);
        downloader.setQuality(argv[7]);
    }
    int outcome = 0;
    QObject::connect(&downloader, &zenvira::components::clDownLoader::ProcessCompleted, [&](int code) {
        outcome = code;
        app.quit();
    });
    QTimer::singleShot(0, [&] { downloader.Start(true); });
    app.exec();
    std::printf("outcome %d: %s\n", outcome, downloader.ErrorInfo().ErrorText.c_str());
    return outcome;
}
