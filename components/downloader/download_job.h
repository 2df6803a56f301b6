#pragma once
// One download from start to outcome, run on the transfer thread: the address and the target
// are checked, the server is asked about the resource, kept bytes of an earlier run are taken
// up when they still belong to it, the missing bytes come into `<target>.part`, and only a
// complete file is renamed onto the target.
#include <cstdint>
#include <functional>
#include <string>

#include "components/downloader/job_outcome.h"
#include "components/downloader/progress_meter.h"
#include "components/downloader/stop_signal.h"

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

// `tick` is called on every turn of the transfer loop (at least ten times a second).
JobResult runDownloadJob(const JobSettings& settings, ProgressMeter& meter, StopSignal& stop,
                         std::function<void()> tick);

// The job an address calls for: an HLS playlist, known by its address or by the type its
// server gives it, is fetched by its segments; anything else as one resource.
JobResult runAnyJob(const JobSettings& settings, ProgressMeter& meter, StopSignal& stop, std::function<void()> tick);

}  // namespace zenvira::components
