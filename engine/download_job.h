#pragma once
// One download from start to outcome, run on the transfer thread: the address and the target
// are checked, the server is asked about the resource, kept bytes of an earlier run are taken
// up when they still belong to it, the missing bytes come into `<target>.part`, and only a
// complete file is renamed onto the target.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/request/download_request.h"
#include "engine/transfer/progress_meter.h"
#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

// `tick` is called on every turn of the transfer loop (at least ten times a second).
JobResult runDownloadJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop,
                         std::function<void()> tick);

// The job a request calls for, picked by the kind of its track: a progressive file in byte
// ranges, an HLS media playlist by its segments. Several tracks (a video and its sound) are
// fetched together and joined into one file.
JobResult runAnyJob(const DownloadRequest& request, ProgressMeter& meter, CancelToken& stop,
                    std::function<void()> tick);

// An address given without a resolution (typed, or handed to the downloader alone): an HLS
// playlist, known by its address or by the type its server gives it, is fetched by its
// segments; anything else as one resource.
JobResult runAnyJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick);

}  // namespace zenvira::components
