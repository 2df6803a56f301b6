#include "app/cli/terminal_view.h"

#include <algorithm>

#include "app/cli/printable_text.h"
#include "platform/terminal.h"

namespace zenvira::cli {

TerminalView::TerminalView(std::FILE* out) : out_(out), isTerminal_(platform::isTerminal(out)) {}

void TerminalView::printLine(const std::string& line) {
    finishLine();
    std::fprintf(out_, "%s\n", printableLine(line).c_str());
    std::fflush(out_);
}

void TerminalView::finishLine() {
    if (barOnScreen_) std::fputc('\n', out_);
    barOnScreen_ = false;
}

void TerminalView::setStatusText(const std::string& text) { printLine(text); }

void TerminalView::setCaption(const std::string& caption) { printLine(caption); }

void TerminalView::showProgressView(const app::ProgressView& view) {
    const std::string bar = printableLine(terminalBar(view));
    if (isTerminal_) {
        std::fprintf(out_, "\r%s\033[K", bar.c_str());
        barOnScreen_ = true;
        std::fflush(out_);
        return;
    }
    // A log file gets a line every five seconds and the final one.
    const auto now = std::chrono::steady_clock::now();
    const bool complete = view.barMax > 0 && view.barValue >= view.barMax;
    if (complete || now - lastLine_ >= std::chrono::seconds(5)) {
        lastLine_ = now;
        printLine(bar);
    }
}

std::string terminalBar(const app::ProgressView& view, int width) {
    const double fraction =
        view.barMax > 0 ? std::clamp(static_cast<double>(view.barValue) / view.barMax, 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(fraction * width + 0.5);
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(width - filled), '.') + "] ";
    char percent[16];
    std::snprintf(percent, sizeof percent, "%5.1f %%  ", fraction * 100);
    return bar + (view.barMax > 0 ? percent : "  ?    ") + view.statusLine;
}

}  // namespace zenvira::cli
