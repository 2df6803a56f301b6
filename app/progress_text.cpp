#include "app/progress_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace zenvira::app {

namespace {

std::string withSeparator(std::string number, char decimalSeparator) {
    std::replace(number.begin(), number.end(), '.', decimalSeparator);
    return number;
}

// How far both byte counts are shifted so the larger fits the 32-bit bar.
int barShift(std::int64_t total) {
    int shift = 0;
    while ((total >> shift) > INT_MAX) ++shift;
    return shift;
}

int toBar(std::int64_t bytes, int shift) {
    return static_cast<int>(std::clamp<std::int64_t>(bytes >> shift, INT_MIN, INT_MAX));
}

}  // namespace

std::string formatTwoDecimals(double x, char decimalSeparator) {
    if (!std::isfinite(x)) x = 0;
    const double hundredths = std::round(x * 100.0);  // std::round: halves away from zero
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", hundredths == 0 ? 0.0 : hundredths / 100.0);
    return withSeparator(buf, decimalSeparator);
}

std::string formatFullPrecision(double x, char decimalSeparator) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", x);
    return withSeparator(buf, decimalSeparator);
}

std::string progressLine(const ProgressFigures& f, char sep) {
    const auto kb = [sep](double bytes) { return formatTwoDecimals(bytes / 1024, sep); };
    const auto min = [sep](double seconds) { return formatTwoDecimals(seconds / 60, sep); };
    const std::string total = f.BytesTotal < 0 ? "?" : kb(static_cast<double>(f.BytesTotal));
    return kb(static_cast<double>(f.BytesDone)) + " of " + total + " Kb, " +
           "speed " + kb(f.BytesPerSecond) + " Kb/sec, " + "elapsed " + min(f.ElapsedSeconds) + " min, " +
           "remains " + min(f.RemainingSeconds) + " min";
}

ProgressView showProgress(const ProgressFigures& f, char sep) {
    ProgressView view;
    view.statusLine = progressLine(f, sep);
    if (f.BytesTotal < 0) {
        // Size not known yet: nothing to fill, nothing is complete, and the last download's
        // percentage must not stay on the bar.
        view.sizeKnown = false;
        view.barText = std::string();
        return view;
    }
    const int shift = barShift(f.BytesTotal);
    view.barMax = toBar(f.BytesTotal, shift);
    if (f.BytesDone >= f.BytesTotal) {
        view.barValue = view.barMax;
        view.statusLine = kDownloadCompleted;
        return view;
    }
    view.barValue = toBar(f.BytesDone, shift);
    const double percent = static_cast<double>(f.BytesDone) / static_cast<double>(f.BytesTotal) * 100;
    view.barText = formatFullPrecision(percent, sep) + " %";
    return view;
}

}  // namespace zenvira::app
