#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>

#include "resolve/wait_seconds.h"
#include "tests/support/application.h"

using zenvira::resolve::waitSeconds;

namespace {

QCoreApplication& app() { return zenvira::testing::coreApplication(); }

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

TEST(WaitSeconds, CountsWholeSecondsAndKeepsEventsFlowing) {
    app();
    const qint64 startSecond = QDateTime::currentSecsSinceEpoch();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);

    const double cpuBefore = cpuSeconds();
    waitSeconds(2);
    const double cpuUsed = cpuSeconds() - cpuBefore;

    EXPECT_GE(QDateTime::currentSecsSinceEpoch() - startSecond, 2);
    EXPECT_GE(ticks, 5);          // the event loop ran during the wait
    EXPECT_LT(cpuUsed, 0.5);      // ... without spinning
}

TEST(WaitSeconds, ZeroAndNegativeReturnAtOnce) {
    app();
    QElapsedTimer t;
    t.start();
    waitSeconds(0);
    waitSeconds(-3);
    EXPECT_LT(t.elapsed(), 50);
}
