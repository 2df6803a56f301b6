#include "components/page_fetch/fetch_failure.h"

#include <system_error>

#include "components/page_fetch/fetch_address.h"
#include "components/http_status/http_status.h"

namespace zenvira::components::pagefetch {
namespace {

std::string afterPrefix(const std::string& text, std::string_view prefix, std::string_view stop) {
    if (text.rfind(prefix, 0) != 0) return {};
    const auto start = prefix.size();
    const auto end = stop.empty() ? std::string::npos : text.find(stop, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string lowerFirst(std::string s) {
    if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
    return s;
}

std::string connectReason(long osErrno) {
    if (osErrno == 0) return "no connection could be made";
    return lowerFirst(std::generic_category().message(static_cast<int>(osErrno)));
}

// The server's phrase is shown on one line and cut short.
std::string statusText(long status, const std::string& reason) {
    return components::httpStatusText(status, shownText(reason));
}

// Where libcurl tried to connect: the proxy when one is in use, else the page's host.
std::string connectTarget(const TransferOutcome& outcome, const std::string& host) {
    const std::string target = afterPrefix(outcome.curlMessage, "Failed to connect to ", " port ");
    if (target.empty() || target == host) return host;
    return target + " (the proxy for " + host + ")";
}

std::string describeTimeout(const TransferOutcome& outcome, const FetchOptions& options, const std::string& host) {
    const bool neverConnected = outcome.connectedMicros == 0 && outcome.status == 0;
    const auto elapsed = std::chrono::milliseconds(outcome.elapsedMicros / 1000);
    if (neverConnected && options.connectTimeout < options.totalTimeout && elapsed < options.totalTimeout)
        return "Could not connect to " + host + " within " + formatSeconds(options.connectTimeout);
    return "Timed out after " + formatSeconds(options.totalTimeout);
}

std::string describeCurlError(const TransferOutcome& outcome, const FetchOptions& options, const std::string& host) {
    const std::string detail = shownText(outcome.curlMessage.empty() ? curl_easy_strerror(outcome.code) : outcome.curlMessage);
    switch (outcome.code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return "Host not found: " + host;
    case CURLE_COULDNT_RESOLVE_PROXY: {
        const std::string proxy = afterPrefix(outcome.curlMessage, "Could not resolve proxy: ", "");
        return "Proxy host not found: " + (proxy.empty() ? detail : shownText(proxy));
    }
    case CURLE_COULDNT_CONNECT:
        return "Could not connect to " + connectTarget(outcome, host) + ": " + connectReason(outcome.osErrno);
    case CURLE_OPERATION_TIMEDOUT:
        return describeTimeout(outcome, options, host);
    case CURLE_TOO_MANY_REDIRECTS:
        return "Too many redirects (more than " + std::to_string(options.maxRedirects) + ")";
    case CURLE_UNSUPPORTED_PROTOCOL:
        // Only a redirect gets here: the first address was checked before the transfer.
        return "Redirected to an address that is not http or https: " + shownText(outcome.effectiveUrl);
    case CURLE_URL_MALFORMAT:
        return "Not a valid address: " + detail;
    case CURLE_PEER_FAILED_VERIFICATION:
        return "The certificate of " + host + " could not be verified: " + detail;
    case CURLE_SSL_CONNECT_ERROR:
        return "The secure connection to " + host + " failed: " + detail;
    case CURLE_GOT_NOTHING:
        return host + " closed the connection without answering";
    case CURLE_PARTIAL_FILE:
        return "The connection to " + host + " ended before the whole page arrived";
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return "The connection to " + host + " broke off: " + detail;
    case CURLE_BAD_CONTENT_ENCODING:
        return host + " sent a compressed page that could not be unpacked";
    case CURLE_WEIRD_SERVER_REPLY:
        return host + " did not answer in HTTP";
    case CURLE_OUT_OF_MEMORY:
        return "Out of memory while fetching the page from " + host;
    default:
        return "Could not fetch the page from " + host + ": " + detail;
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
