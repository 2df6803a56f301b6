#pragma once
// The first request of a download: a GET of byte 0 only. Its answer tells the size, whether
// the server sends parts (206 with Content-Range) and the validators, and it works through
// plain HTTP proxies, where a HEAD is not always answered faithfully.
#include <string>

#include "components/downloader/fetch_context.h"
#include "components/downloader/part_state.h"

namespace zenvira::components {

struct ProbeResult {
    FetchStatus status = FetchStatus::Failed;  // Complete: the resource is known
    std::string error;
    std::string url;          // the address after redirections
    ResourceIdentity identity;
    bool ranges = false;      // size known and parts are sent: parallel, resumable ranges
    bool expired = false;     // failed with 403 or 410: the address may be renewed
};

ProbeResult probeResource(FetchContext& context, const std::string& address);

}  // namespace zenvira::components
