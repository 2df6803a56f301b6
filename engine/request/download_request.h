#pragma once
// What the engine is asked to do, as data: where the bytes come from, where they go, with
// which settings; and how a job ended. No Qt, no libcurl: every front and every job kind
// reads the same request.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/request/job_outcome.h"

namespace zenvira::components {

struct JobSettings {
    std::string address;
    std::string folder;    // "c:\" or a full path of this system
    std::string fileName;  // "\Title.flv"
    std::string pageAddress;   // the watch page the address came from, when known
    std::string quality;       // ... and which of its qualities
    std::string fallbackName;  // the name when the title leaves none (the video's id)
    // Reads the watch page again and gives the quality's current address, or "" (called on
    // the transfer thread when the address has expired).
    std::function<std::string(const std::string& page, const std::string& quality)> renewAddress;
    std::string userAgent;
    int connections = 1;
    std::int64_t minSegmentBytes = 0;  // the smallest piece worth its own connection
    std::int64_t maxBytesPerSecond = 0;  // over all connections; 0: no limit
};

struct JobResult {
    JobOutcome outcome = JobOutcome::Failed;
    std::string text;  // why it failed, or the warning
    std::string path;  // where the file is (or would be): "NAME (2).flv" when NAME.flv was another's
    bool playlist = false;  // the address is an HLS playlist: nothing was fetched or kept
};

}  // namespace zenvira::components
