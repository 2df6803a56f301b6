#include "resolve/wait_seconds.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace zenvira::resolve {

void waitSeconds(float seconds) {
    // Counted in whole seconds from the second we started in, as a wall clock would be read.
    if (!(seconds > 0)) return;
    const qint64 startSecond = QDateTime::currentSecsSinceEpoch();
    const auto secondsNeeded = static_cast<qint64>(std::ceil(std::min(seconds, 1e9f)));
    const qint64 endMs = (startSecond + secondsNeeded) * 1000;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Re-arm until the clock has really passed the end: timers may fire a little early.
    while (QDateTime::currentMSecsSinceEpoch() < endMs) {
        timer.start(static_cast<int>(endMs - QDateTime::currentMSecsSinceEpoch()));
        loop.exec();
    }
}

}  // namespace zenvira::resolve
