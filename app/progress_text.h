#pragma once
// The texts and bar figures a download's progress is shown with.
#include <cstdint>
#include <optional>
#include <string>

namespace zenvira::app {

struct ProgressFigures {
    std::int64_t BytesDone = 0;
    std::int64_t BytesTotal = 0;  // negative while the server has not said
    double BytesPerSecond = 0;
    double ElapsedSeconds = 0;
    double RemainingSeconds = 0;
};

// One progress report as the window shows it. The bar is 32-bit, so sizes beyond 2 GiB are
// scaled down together; the percentage comes from the real 64-bit figures.
struct ProgressView {
    std::string statusLine;
    int barMax = 0;  // Max and Value both 0 while the size is unknown
    int barValue = 0;
    std::optional<std::string> barText;  // unchanged when absent
    bool sizeKnown = true;  // false: the bar shows it is busy, with no text, until the size is known
};

inline const std::string kDownloadCompleted = "Download completed";

// x with two decimals, at least one digit before the separator, halves rounded away from 0.
std::string formatTwoDecimals(double x, char decimalSeparator);
// x in its shortest form up to 15 significant digits.
std::string formatFullPrecision(double x, char decimalSeparator);

std::string progressLine(const ProgressFigures& f, char decimalSeparator);
ProgressView showProgress(const ProgressFigures& f, char decimalSeparator);

}  // namespace zenvira::app
