#pragma once
// What the download workflow needs from the main window. The GUI implements it with
// widgets; the command line with a terminal progress bar; tests record it.
#include <cstddef>
#include <string>

#include "app/progress_text.h"

namespace zenvira::app {

// How a batch row's last run ended, as the row's mark shows it.
enum class BatchRowOutcome { Saved, Failed, Skipped };

class MainView {
public:
    virtual ~MainView() = default;
    virtual void setStatusText(const std::string& text) = 0;  // status bar panel 1
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setQualityButtonEnabled(int index, bool enabled) = 0;
    virtual void showProgressView(const ProgressView& view) = 0;  // ProgressBar1 Max, Value, Text
    virtual char decimalSeparator() const = 0;
    // A batch row's outcome and why (empty for a plain success), with the saved file's path
    // when there is one. The row's text stays as it is: the batch reads it. Views without a
    // batch list ignore it.
    virtual void markBatchRow(std::size_t /*row*/, BatchRowOutcome /*outcome*/, const std::string& /*reason*/,
                              const std::string& /*savedFile*/) {}
    // A download or a batch has ended; `text` says how, in a line fit for a notification.
    virtual void downloadsEnded(const std::string& /*text*/) {}
};

}  // namespace zenvira::app
