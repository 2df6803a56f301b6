#include "engine/page_fetch/fetch_failure.h"

#include "engine/page_fetch/fetch_address.h"
#include "engine/transfer/http_status.h"
#include "engine/transfer/transfer_failure.h"

namespace zenvira::components::pagefetch {
namespace {

// The server's phrase is shown on one line and cut short.
std::string statusText(long status, const std::string& reason) {
    return components::httpStatusText(status, shownText(reason));
}

std::string describeTimeout(const TransferOutcome& outcome, const FetchOptions& options, const std::string& host) {
    const bool neverConnected = outcome.connectedMicros == 0 && outcome.status == 0;
    const auto elapsed = std::chrono::milliseconds(outcome.elapsedMicros / 1000);
    if (neverConnected && options.connectTimeout < options.totalTimeout && elapsed < options.totalTimeout)
        return "Could not connect to " + host + " within " + formatSeconds(options.connectTimeout);
    return "Timed out after " + formatSeconds(options.totalTimeout);
}

std::string describeCurlError(const TransferOutcome& outcome, const FetchOptions& options, const std::string& host) {
    TransferFailure failure;
    failure.code = outcome.code;
    failure.osErrno = outcome.osErrno;
    failure.message = outcome.curlMessage;
    failure.host = host;
    failure.effectiveUrl = outcome.effectiveUrl;
    failure.maxRedirects = options.maxRedirects;
    failure.headComplete = outcome.headComplete;
    if (auto common = commonFailureText(failure)) return *common;
    switch (outcome.code) {
    case CURLE_OPERATION_TIMEDOUT:
        return describeTimeout(outcome, options, host);
    case CURLE_GOT_NOTHING:
        return host + " closed the connection without answering";
    case CURLE_PARTIAL_FILE:
        return "The connection to " + host + " ended before the whole page arrived";
    case CURLE_BAD_CONTENT_ENCODING:
        return host + " sent a compressed page that could not be unpacked";
    case CURLE_OUT_OF_MEMORY:
        return "Out of memory while fetching the page from " + host;
    default:
        return "Could not fetch the page from " + host + ": " + failureDetail(failure);
    }
}

}  // namespace

bool transferFailed(const TransferOutcome& outcome) {
    return outcome.code != CURLE_OK || outcome.bodyTooLarge || outcome.outOfMemory || outcome.status >= 400;
}

std::string describeFailure(const TransferOutcome& outcome, const FetchOptions& options, const std::string& requestedHost) {
    std::string host = hostOf(outcome.effectiveUrl);
    if (host.empty()) host = requestedHost;
    if (outcome.outOfMemory) return "Out of memory while reading the page from " + host;
    if (outcome.bodyTooLarge || outcome.code == CURLE_FILESIZE_EXCEEDED)
        return "The page is larger than " + formatByteCount(options.maxBodyBytes);
    if (outcome.proxyStatus >= 400)
        return "The proxy refused the connection to " + host + ": " + statusText(outcome.proxyStatus, outcome.reason);
    if (outcome.status >= 400) return statusText(outcome.status, outcome.reason);
    return describeCurlError(outcome, options, host);
}

std::string formatByteCount(std::size_t bytes) {
    constexpr std::size_t kib = 1024, mib = 1024 * 1024;
    if (bytes >= mib && bytes % mib == 0) return std::to_string(bytes / mib) + " MiB";
    if (bytes >= kib && bytes % kib == 0) return std::to_string(bytes / kib) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string formatSeconds(std::chrono::milliseconds duration) {
    const long long ms = duration.count() < 0 ? 0 : duration.count();
    std::string out = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);  // three digits
        while (fraction.back() == '0') fraction.pop_back();
        out += "." + fraction;
    }
    return out + " s";
}

}  // namespace zenvira::components::pagefetch
