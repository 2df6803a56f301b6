#pragma once
// What a download session tells its front, as data: every front (the window, the command
// line) learns how a download or a page read ended from these, never from a message box.
#include <string>

#include "engine/request/job_outcome.h"

namespace zenvira::app {

struct DownloadEnded {
    std::string address;  // the stream that was downloaded
    components::JobOutcome outcome = components::JobOutcome::Failed;
    std::string reason;  // why it failed, or the warning; empty for a plain success or a stop
    std::string savedPath;  // where the file is once saved, else empty
};

// A page that could not be read (Extract's or a batch row's), with the reason.
struct PageFailed {
    std::string address;
    std::string reason;
};

}  // namespace zenvira::app
