#pragma once
// One queue entry run to its outcome: its page is read and resolved now (addresses expire),
// the quality's stream becomes a DownloadRequest, and the engine's job fetches it, taking up
// the `.part` an earlier run left. Runs on a job thread; `stop` ends any step at once.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/request/download_request.h"
#include "engine/transfer/cancel_token.h"
#include "engine/transfer/progress_meter.h"
#include "engine/transfer/rate_pacer.h"
#include "queue/queue_entry.h"

namespace zenvira::queue {

struct JobOptions {
    int connections = 3;                 // where each download starts
    std::shared_ptr<components::RateBudget> sharedRate;  // the limit over all running entries; null: none
    std::string userAgent;
    // Called on the job thread with each entry's request before it runs: a front that watches
    // downloads while they come gives the request its local stream here.
    std::function<void(const Entry&, components::DownloadRequest&)> beforeJob;
};

struct EntryOutcome {
    components::JobResult result;
    bool worthRetrying = false;  // a failure that another try may mend (network, 5xx, 429)
};

// `named` is told the title and the file once the page has been resolved.
EntryOutcome runEntry(const Entry& entry, const JobOptions& options, components::ProgressMeter& meter,
                      components::CancelToken& stop,
                      const std::function<void(const std::string& title, const std::string& file)>& named);

// Whether a failure of the engine or of the page fetch is worth another try, by its kind: a
// server that could not be reached, broke off, timed out or is busy (5xx, 429, 408), or a file
// another download is writing at the moment; never a
// missing page or a refusal (other 4xx), a file that cannot be written, an answer that is not
// the video, nor a failure of no known kind.
bool worthRetrying(const components::FailureCause& cause);

}  // namespace zenvira::queue
