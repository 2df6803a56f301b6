// bench_player [rounds] [--screenshot FILE]: time from a play request to the first video
// frame on screen, for a 360p FLV, with a fresh control each round as the player window
// makes one per request. Needs a display with OpenGL (e.g. xvfb-run -a bench_player).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/flash_player/flash_player_control.h"
#include "player/movie/custom_resource.h"
#include "tests/media/flv_clip.h"

using zenvira::components::FlashPlayerControl;

namespace {

constexpr int kFirstFrameTimeoutMs = 5000;

QString makeClip(const QTemporaryDir& dir) {
    const QString path = dir.filePath("clip 360p.flv");
    return zenvira::testmedia::makeFlvClip(path, 640, 360, 10) ? path : QString();
}

QString writeMovie(const QTemporaryDir& dir) {
    const auto bytes = zenvira::player::customResource(zenvira::player::kPlayerMovieResource);
    QFile file(dir.filePath("4242"));
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return file.fileName();
}

// One play request as the window makes it; the time to the first frame, or -1.
double timedPlayRequest(QWidget& host, const QString& address, FlashPlayerControl*& control) {
    QElapsedTimer clock;
    clock.start();
    control = new FlashPlayerControl(&host);
    bool shown = false;
    QObject::connect(control, &FlashPlayerControl::firstFrameShown, [&] { shown = true; });
    control->setVisible(true);
    control->setBackgroundColor(0);
    control->setTop(25);
    control->setFlashVars("autostart=true");
    control->LoadMovie(0, address);
    control->setWidth(host.width());
    control->setHeight(host.height() - 25);
    if (!QTest::qWaitFor([&] { return shown; }, kFirstFrameTimeoutMs)) return -1;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int rounds = 20;
    QString screenshot;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size()) screenshot = args[++i];
        else rounds = std::max(1, args[i].toInt());
    }
    QTemporaryDir dir;
    const QString clip = makeClip(dir);
    const QString movie = writeMovie(dir);
    if (clip.isEmpty() || movie.isEmpty()) {
        std::fprintf(stderr, "bench_player: cannot make the clip (ffmpeg) or write the movie\n");
        return 1;
    }
    QWidget host;
    host.setStyleSheet("background: black");
    host.resize(480, 25 + 360 + 24);
    host.show();
    if (!QTest::qWaitForWindowExposed(&host)) return 1;

    std::vector<double> times;
    FlashPlayerControl* control = nullptr;
    for (int round = 0; round < rounds; ++round) {
        delete control;  // the window removes the old control before it adds the new one
        const double ms = timedPlayRequest(host, movie + "?file=" + clip, control);
        if (ms < 0) {
            std::fprintf(stderr, "round %d: no frame within %d ms (%s)\n", round + 1, kFirstFrameTimeoutMs,
                         qPrintable(control->movieError()));
            return 1;
        }
        times.push_back(ms);
        std::printf("round %2d: %7.1f ms\n", round + 1, ms);
    }
    std::printf("first frame: median %.1f ms, min %.1f ms, max %.1f ms over %d rounds\n", median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()), rounds);
    if (!screenshot.isEmpty()) {
        QTest::qWait(1500);  // well into the clip, control bar showing its time
        host.grab().save(screenshot);
    }
    delete control;
    return 0;
}
