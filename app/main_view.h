#pragma once
// What the download workflow needs from the main window. The GUI implements it with
// widgets; the command line with a terminal progress bar; tests record it.
#include <string>

#include "app/progress_text.h"

namespace zenvira::app {

class MainView {
public:
    virtual ~MainView() = default;
    virtual void setStatusText(const std::string& text) = 0;  // status bar panel 1
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setQualityButtonEnabled(int index, bool enabled) = 0;
    virtual void showProgressView(const ProgressView& view) = 0;  // ProgressBar1 Max, Value, Text
    virtual char decimalSeparator() const = 0;
};

}  // namespace zenvira::app
