#pragma once
// The main window's view drawn on a terminal: status texts as lines, progress as one bar
// redrawn in place (or a line every few seconds when the output is not a terminal).
#include <chrono>
#include <cstdio>
#include <string>

#include "app/main_view.h"

namespace zenvira::cli {

class TerminalView : public app::MainView {
public:
    explicit TerminalView(std::FILE* out = stderr);
    void setStatusText(const std::string& text) override;
    void setCaption(const std::string& caption) override;
    void setQualityButtonEnabled(int, bool) override {}
    void showProgressView(const app::ProgressView& view) override;
    char decimalSeparator() const override { return '.'; }
    // Ends a bar that is being redrawn in place, so the next line starts clean.
    void finishLine();

private:
    void printLine(const std::string& line);

    std::FILE* out_;
    bool isTerminal_;
    bool barOnScreen_ = false;
    std::chrono::steady_clock::time_point lastLine_{};
};

// The bar as drawn: "[#######.............]  37.5 %  1500.00 of 4000.00 Kb, speed ...".
std::string terminalBar(const app::ProgressView& view, int width = 24);

}  // namespace zenvira::cli
