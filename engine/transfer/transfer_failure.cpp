#include "engine/transfer/transfer_failure.h"

#include <string_view>
#include <system_error>

#include "engine/transfer/shown_text.h"

namespace zenvira::components {

namespace {

std::string lowerFirst(std::string s) {
    if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
    return s;
}

// The text of libcurl's message between prefix and stop, or "" when it does not start so.
std::string afterPrefix(const std::string& text, std::string_view prefix, std::string_view stop) {
    if (text.rfind(prefix, 0) != 0) return {};
    const auto start = prefix.size();
    const auto end = stop.empty() ? std::string::npos : text.find(stop, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string connectReason(long osErrno) {
    if (osErrno == 0) return "no connection could be made";
    return lowerFirst(std::generic_category().message(static_cast<int>(osErrno)));
}

// Where libcurl tried to connect: the proxy when one is in use, else the address's host.
std::string connectTarget(const TransferFailure& failure, const std::string& host) {
    const std::string target = afterPrefix(failure.message, "Failed to connect to ", " port ");
    if (target.empty() || target == host) return host;
    return shownText(target) + " (the proxy for " + host + ")";
}

// libcurl reads an answer that is not HTTP as HTTP/0.9, which it refuses.
bool notHttp(const TransferFailure& failure) { return failure.message.find("HTTP/0.9") != std::string::npos; }

// libcurl refuses a head past its limit as if memory had run out, or as a strange reply.
bool headerTooLarge(const TransferFailure& failure) {
    if (failure.headComplete) return false;
    return failure.code == CURLE_OUT_OF_MEMORY ||
           (failure.code == CURLE_WEIRD_SERVER_REPLY && failure.message.find("header") != std::string::npos);
}

}  // namespace

std::string failureDetail(const TransferFailure& failure) {
    return shownText(failure.message.empty() ? curl_easy_strerror(failure.code) : failure.message);
}

bool leftoverOfShortAnswer(const TransferFailure& failure) { return failure.reusedConnection && notHttp(failure); }

std::optional<std::string> commonFailureText(const TransferFailure& failure) {
    const std::string host = shownText(failure.host);
    if (notHttp(failure)) return host + " did not answer in HTTP";
    if (headerTooLarge(failure)) return std::string("The server sent a header too large to read");
    switch (failure.code) {
    case CURLE_TOO_MANY_REDIRECTS:
        return "Too many redirects (more than " + std::to_string(failure.maxRedirects) + ")";
    case CURLE_UNSUPPORTED_PROTOCOL:
        // The first address is checked before any transfer: only a redirect gets here.
        return "Redirected to an address that is not http or https: " +
               (failure.effectiveUrl.empty() ? failureDetail(failure) : shownText(failure.effectiveUrl));
    case CURLE_COULDNT_RESOLVE_HOST:
        return "Host not found: " + host;
    case CURLE_COULDNT_RESOLVE_PROXY: {
        const std::string proxy = afterPrefix(failure.message, "Could not resolve proxy: ", "");
        return "Proxy host not found: " + (proxy.empty() ? failureDetail(failure) : shownText(proxy));
    }
    case CURLE_COULDNT_CONNECT:
        return "Could not connect to " + connectTarget(failure, host) + ": " + connectReason(failure.osErrno);
    case CURLE_PEER_FAILED_VERIFICATION:
        return "The certificate of " + host + " could not be verified: " + failureDetail(failure);
    case CURLE_SSL_CONNECT_ERROR:
        return "The secure connection to " + host + " failed: " + failureDetail(failure);
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return "The connection to " + host + " broke off: " + failureDetail(failure);
    case CURLE_WEIRD_SERVER_REPLY:
        return host + " did not answer in HTTP";
    case CURLE_URL_MALFORMAT: {
        // libcurl: "The redirect target URL could not be parsed: Bad path".
        const std::string why = afterPrefix(failure.message, "The redirect target URL could not be parsed: ", "");
        if (!why.empty()) return "Redirected to an address that is not valid: " + lowerFirst(shownText(why));
        return "Not a valid address: " + failureDetail(failure);
    }
    default:
        return std::nullopt;
    }
}

}  // namespace zenvira::components
