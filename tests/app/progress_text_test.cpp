#include <gtest/gtest.h>

#include <climits>

#include "app/progress_text.h"

using namespace zenvira::app;

TEST(ProgressText, TheWorkedExample) {
    const ProgressFigures f{1536000, 4096000, 51200, 30, 50};
    const auto view = showProgress(f, '.');
    EXPECT_EQ(view.statusLine, "1500.00 of 4000.00 Kb, speed 50.00 Kb/sec, elapsed 0.50 min, remains 0.83 min");
    EXPECT_EQ(view.barMax, 4096000);
    EXPECT_EQ(view.barValue, 1536000);
    EXPECT_EQ(view.barText, "37.5 %");
}

TEST(ProgressText, NumbersAsTheUserReadsThem) {
    EXPECT_EQ(progressLine({0, 2048, 0, 90, 0}, '.'),
              "0.00 of 2.00 Kb, speed 0.00 Kb/sec, elapsed 1.50 min, remains 0.00 min");
    EXPECT_EQ(progressLine({1536000, 4096000, 51200, 30, 50}, ','),
              "1500,00 of 4000,00 Kb, speed 50,00 Kb/sec, elapsed 0,50 min, remains 0,83 min");
    EXPECT_EQ(showProgress({1, 3, 0, 0, 0}, '.').barText, "33.3333333333333 %");
    EXPECT_EQ(showProgress({1, 3, 0, 0, 0}, ',').barText, "33,3333333333333 %");
    EXPECT_EQ(formatTwoDecimals(0.125, '.'), "0.13");  // halves go up, as the pattern rounds
    EXPECT_EQ(formatTwoDecimals(123456789.0, '.'), "123456789.00");
    EXPECT_EQ(formatTwoDecimals(-0.001, '.'), "0.00");
}

TEST(ProgressText, FinalReportFillsTheBarAndKeepsThePercentage) {
    for (const auto& f : {ProgressFigures{4096, 4096, 0, 1, 0}, ProgressFigures{0, 0, 0, 0, 0}}) {
        const auto view = showProgress(f, '.');
        EXPECT_EQ(view.statusLine, kDownloadCompleted);
        EXPECT_EQ(view.barValue, view.barMax);
        EXPECT_FALSE(view.barText);
    }
}

TEST(ProgressText, SizesBeyondTwoGibibytes) {
    const std::int64_t total = 3LL << 30;  // 3 GiB
    const auto view = showProgress({total / 4, total, 0, 0, 0}, '.');
    EXPECT_EQ(view.statusLine.substr(0, 28), "786432.00 of 3145728.00 Kb, ");
    EXPECT_LE(view.barMax, INT_MAX);
    EXPECT_GT(view.barMax, INT_MAX / 2);
    EXPECT_EQ(view.barValue, view.barMax / 4);
    EXPECT_EQ(view.barText, "25 %");
}

TEST(ProgressText, AnUnknownSizeIsNotCompletion) {
    const auto view = showProgress({2048, -1, 1024, 60, 0}, '.');
    EXPECT_EQ(view.statusLine, "2.00 of ? Kb, speed 1.00 Kb/sec, elapsed 1.00 min, remains 0.00 min");
    EXPECT_EQ(view.barMax, 0);
    EXPECT_FALSE(view.sizeKnown);
    EXPECT_EQ(view.barText, "");  // the previous download's percentage goes
    EXPECT_TRUE(showProgress({2048, 4096, 0, 0, 0}, '.').sizeKnown);
}
