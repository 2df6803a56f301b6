#pragma once
// One queue entry run to its outcome: its page is read and resolved now (addresses expire),
// the quality's stream becomes a DownloadRequest, and the engine's job fetches it, taking up
// the `.part` an earlier run left. Runs on a job thread; `stop` ends any step at once.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/request/download_request.h"
#include "engine/transfer/cancel_token.h"
#include "engine/transfer/progress_meter.h"
#include "queue/queue_entry.h"

namespace zenvira::queue {

struct JobOptions {
    int connections = 3;                 // where each download starts
    std::int64_t maxBytesPerSecond = 0;  // this job's share of the limit; 0: none
    std::string userAgent;
};

struct EntryOutcome {
    components::JobResult result;
    bool worthRetrying = false;  // a failure that another try may mend (network, 5xx, 429)
};

// `named` is told the title and the file once the page has been resolved.
EntryOutcome runEntry(const Entry& entry, const JobOptions& options, components::ProgressMeter& meter,
                      components::CancelToken& stop,
                      const std::function<void(const std::string& title, const std::string& file)>& named);

// Whether a failure sentence of the engine or of the page fetch is worth another try: a
// server that did not answer, broke off, is busy (5xx, 429, 408); never a missing page or a
// refusal (other 4xx), nor a page without a video.
bool worthRetrying(long httpStatus, bool networkFailure);
// The HTTP status a failure sentence names ("HTTP 404 Not Found"), 0 when none.
long statusInSentence(const std::string& sentence);

}  // namespace zenvira::queue
