#pragma once
// The first request of a download: a GET from byte 0. Its answer tells the size, whether
// the server sends parts (206 with Content-Range) and the validators, and it works through
// plain HTTP proxies, where a HEAD is not always answered faithfully.
//
// A download that starts from nothing asks for the whole file and keeps the answer going:
// its body is held back at the first byte and handed to the ranges as their first piece, so
// the probe's round trip is not lost. A resumed one asks for byte 0 only.
#include <memory>
#include <string>

#include "engine/transfer/fetch_context.h"
#include "engine/journal/part_state.h"

namespace zenvira::components {

struct ProbeResult {
    PhaseStatus status = PhaseStatus::Failed;  // Complete: the resource is known
    std::string error;
    std::string url;          // the address after redirections
    ResourceIdentity identity;
    bool ranges = false;      // size known and parts are sent: parallel, resumable ranges
    bool expired = false;     // failed with 403 or 410: the address may be renewed
    FailureCause cause{};  // when failed: of what kind
    bool playlist = false;    // the server says it is an HLS playlist or a DASH manifest, whatever the address
    bool manifest = false;    // ... a DASH manifest
    // The answer of a whole-file probe, paused at its first body byte and still on the
    // loop: bytes 0 onwards, a part (206) or the whole file (200). Leaving it unused removes
    // it from the loop.
    std::shared_ptr<HttpTransfer> firstBytes;
    // firstBytes waited parked while the page was read: what piled up meanwhile comes first.
    bool firstBytesHeld = false;
};

enum class ProbeKind { FirstByte, WholeFile };

ProbeResult probeResource(FetchContext& context, const std::string& address, ProbeKind kind = ProbeKind::FirstByte);

}  // namespace zenvira::components
