#include "engine/ranges/resource_probe.h"

#include "engine/transfer/http_transfer.h"
#include "engine/transfer/parked_transfer.h"
#include "media/dash/mpd_manifest.h"
#include "media/hls/hls_playlist.h"

#include <algorithm>
#include <ctime>
#include <optional>

namespace zenvira::components {

namespace {

struct ProbeAttempt {
    bool decided = false;  // false: broke off before the answer came, worth another try
    ProbeResult result;
    std::optional<std::int64_t> waitSeconds;  // a busy server's Retry-After
};

// The longest Retry-After waited out before the download has begun.
constexpr std::int64_t kLongestWaitSeconds = 300;

ProbeResult failed(std::string error, FailureCause cause) {
    ProbeResult result;
    result.error = std::move(error);
    result.cause = cause;
    return result;
}

// A transfer that ended without an answer: a network that failed on the way, or (a bad
// address, a certificate refused) something another try does not mend.
FailureCause causeOf(const CurlFailure& failure) {
    return {isUnreachable(failure.code) || isRetryable(failure) ? FailureKind::Network : FailureKind::Unknown};
}

// Runs one transfer to its end, or until it pauses at its body (it stays on the loop then);
// false when stopped first.
bool runToEnd(FetchContext& context, HttpTransfer& transfer, CURLcode& code) {
    if (!context.loop.add(transfer)) {
        code = CURLE_FAILED_INIT;
        return true;
    }
    while (!context.stop.cancelled()) {
        for (const auto& [ended, result] : context.loop.perform()) {
            if (ended != &transfer) continue;
            context.loop.remove(transfer);
            code = result;
            return true;
        }
        if (transfer.pausedAtBody()) {
            code = CURLE_OK;
            return true;
        }
        context.tick();
        context.loop.wait(kLoopTick);
    }
    context.loop.remove(transfer);
    return false;
}

// A compressed answer to "bytes=0-" that holds all of the compressed bytes: the whole file.
bool wholeEncodedPart(const ResponseHead& head) {
    const auto& range = head.contentRange;
    return head.encoded() && head.status == 206 && range && range->first == 0 && range->total &&
           range->last + 1 == *range->total;
}

// What the answer's head says about the resource.
ProbeResult readAnswer(const ResponseHead& head) {
    ProbeResult result;
    const auto& range = head.contentRange;
    if (head.status == 206) {
        result.ranges = range && range->first == 0 && range->total;
        result.identity.size = result.ranges ? *range->total : -1;
    } else if (head.status == 416 && range && range->total) {
        result.identity.size = *range->total;
        result.ranges = *range->total == 0;  // an empty resource: nothing to fetch
    } else if (head.status == 200) {
        result.identity.size = head.contentLength.value_or(-1);
    } else if (head.status >= 400) {
        ProbeResult result = failed(httpStatusText(head.status, head.reason), FailureCause::ofStatus(head.status));
        result.expired = head.status == 403 || head.status == 410;
        return result;
    } else {
        return failed("Unexpected answer from the server: " + httpStatusText(head.status, head.reason),
                      {FailureKind::Content});
    }
    if (head.encoded()) {
        // Its parts and its length are those of the compressed bytes: the file comes whole,
        // decoded, over one connection, and its size is what arrives.
        result.ranges = false;
        result.identity.size = -1;
    }
    result.status = PhaseStatus::Complete;
    result.manifest = dash::isManifestType(head.contentType);
    result.playlist = hls::isPlaylistType(head.contentType) || result.manifest;
    result.identity.etag = head.etag;
    result.identity.lastModified = head.lastModified;
    return result;
}

ProbeAttempt probeOnce(FetchContext& context, const std::string& address, ProbeKind kind) {
    std::size_t received = 0;
    // The one byte asked for is welcome; a server that ignores the range sends the whole
    // file, which is cut off here: the head is all this request is for.
    const bool whole = kind == ProbeKind::WholeFile;
    MultiLoop& loop = context.loop;
    std::shared_ptr<HttpTransfer> held(
        new HttpTransfer({address, context.userAgent, ByteRange{0, 1}, {}, whole},
                         [&received](const char*, std::size_t length) {
                             received += length;
                             return received <= 1 ? length : 0;
                         }),
        [&loop](HttpTransfer* transfer) {
            loop.remove(*transfer);
            delete transfer;
        });
    HttpTransfer& transfer = *held;
    if (whole) transfer.pauseAtBody();
    ProbeAttempt attempt;
    CURLcode code = CURLE_OK;
    if (!runToEnd(context, transfer, code)) {
        attempt.decided = true;
        attempt.result.status = PhaseStatus::Stopped;
        return attempt;
    }
    // A redirect loop, a redirect elsewhere or to a garbled address ends with the head of the
    // last redirect in hand: the failure says more than that head.
    if (code == CURLE_TOO_MANY_REDIRECTS || code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_URL_MALFORMAT) {
        const CurlFailure failure = transfer.failure(code);
        attempt.result = failed(describeCurlFailure(failure), causeOf(failure));
        attempt.decided = isUnreachable(failure.code) || !isRetryable(failure);
        return attempt;
    }
    if (transfer.head().complete && (transfer.head().status == 429 || transfer.head().status == 503)) {
        // Busy: worth another try once the wait it asks for is over.
        attempt.result = failed(httpStatusText(transfer.head().status, transfer.head().reason),
                                FailureCause::ofStatus(transfer.head().status));
        attempt.waitSeconds = retryAfterSeconds(transfer.head().retryAfter, static_cast<std::int64_t>(std::time(nullptr)));
        attempt.waitSeconds = attempt.waitSeconds.value_or(0);
        return attempt;
    }
    if (transfer.head().complete) {
        attempt.decided = true;
        attempt.result = readAnswer(transfer.head());
        attempt.result.url = transfer.effectiveUrl().empty() ? address : transfer.effectiveUrl();
        // The answer goes on: as the first piece, or as the whole file from a server that
        // sends no parts.
        if (transfer.pausedAtBody() &&
            (attempt.result.ranges || transfer.head().status == 200 || wholeEncodedPart(transfer.head())))
            attempt.result.firstBytes = std::move(held);
        return attempt;
    }
    const CurlFailure failure = transfer.failure(code == CURLE_OK ? CURLE_GOT_NOTHING : code);
    attempt.result = failed(describeCurlFailure(failure), causeOf(failure));
    attempt.decided = isUnreachable(failure.code) || !isRetryable(failure);
    return attempt;
}

// The answer the page fetch parked for this address, when it can be the download's first
// piece or whole file: its multi runs on the job's loop from now on.
std::optional<ProbeResult> adoptParked(FetchContext& context, const std::string& address) {
    auto parked = takeParkedTransfer(address);
    if (!parked || !parked->transfer->pausedAtBody()) return std::nullopt;
    const ResponseHead& head = parked->transfer->head();
    ProbeResult result = readAnswer(head);
    if (result.status != PhaseStatus::Complete || result.playlist ||
        !(result.ranges || head.status == 200 || wholeEncodedPart(head)))
        return std::nullopt;
    result.url = parked->transfer->effectiveUrl().empty() ? address : parked->transfer->effectiveUrl();
    context.loop.adoptGuest(std::move(parked->loop));
    result.firstBytes = std::move(parked->transfer);
    result.firstBytesHeld = true;
    return result;
}

}  // namespace

ProbeResult probeResource(FetchContext& context, const std::string& address, ProbeKind kind) {
    if (kind == ProbeKind::WholeFile)
        if (auto adopted = adoptParked(context, address)) return std::move(*adopted);
    for (int retries = 0;; ++retries) {
        ProbeAttempt attempt = probeOnce(context, address, kind);
        if (attempt.decided) return attempt.result;
        if (retries >= context.retry.maxRetries) {
            if (attempt.waitSeconds) attempt.result.error = "The server is busy: " + attempt.result.error +
                                                            " (gave up after " + std::to_string(retries) + " retries)";
            return attempt.result;
        }
        auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(context.retry.firstBackOff * (1 << retries));
        if (attempt.waitSeconds) {
            if (*attempt.waitSeconds > kLongestWaitSeconds) {
                attempt.result.error = "The server is busy (" + attempt.result.error + ") and asks to come back in " +
                                       std::to_string((*attempt.waitSeconds + 59) / 60) + " minutes";
                return attempt.result;
            }
            pause = std::max(pause, std::chrono::milliseconds(std::chrono::seconds(*attempt.waitSeconds)));
        }
        if (!pauseFor(context, pause)) {
            attempt.result.status = PhaseStatus::Stopped;
            return attempt.result;
        }
    }
}

}  // namespace zenvira::components
