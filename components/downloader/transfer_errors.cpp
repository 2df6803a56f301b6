#include "components/downloader/transfer_errors.h"

#include <system_error>

namespace zenvira::components {

namespace {

std::string lowerFirst(std::string s) {
    if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
    return s;
}

std::string detailOf(const CurlFailure& failure) {
    return failure.message.empty() ? curl_easy_strerror(failure.code) : failure.message;
}

}  // namespace

std::string describeCurlFailure(const CurlFailure& failure) {
    // libcurl reads the rest of an answer shorter than it announced as the next answer.
    if (failure.message.find("HTTP/0.9") != std::string::npos)
        return "The server sent less than it announced, and the connection no longer made sense";
    // libcurl refuses a head past its limit as if memory had run out.
    if (!failure.headComplete && (failure.code == CURLE_OUT_OF_MEMORY ||
                                  (failure.code == CURLE_WEIRD_SERVER_REPLY && failure.message.find("header") != std::string::npos)))
        return "The server sent a header too large to read";
    switch (failure.code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return "Could not find the host " + failure.host;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "Could not find the proxy: " + detailOf(failure);
    case CURLE_COULDNT_CONNECT:
        return "Could not connect to host: " +
               (failure.osErrno ? lowerFirst(std::generic_category().message(static_cast<int>(failure.osErrno)))
                                : std::string("no connection could be made"));
    case CURLE_OPERATION_TIMEDOUT:
        return "The connection to " + failure.host + " timed out";
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return "The server closed the connection before the whole file came";
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return "The connection to " + failure.host + " broke off: " + detailOf(failure);
    case CURLE_TOO_MANY_REDIRECTS:
        return "Too many redirects (more than 10): the address leads in a circle";
    case CURLE_UNSUPPORTED_PROTOCOL:
        // The first address was checked before the transfer: only a redirect gets here.
        return "Redirected to an address that is not http or https: " + detailOf(failure);
    case CURLE_URL_MALFORMAT:
        return "Not a valid address: " + detailOf(failure);
    case CURLE_PEER_FAILED_VERIFICATION:
        return "The certificate of " + failure.host + " could not be verified";
    case CURLE_SSL_CONNECT_ERROR:
        return "The secure connection to " + failure.host + " failed: " + detailOf(failure);
    case CURLE_WEIRD_SERVER_REPLY:
        return failure.host + " did not answer in HTTP";
    case CURLE_OUT_OF_MEMORY:
        return "Out of memory";
    default:
        return "Download failed: " + detailOf(failure);
    }
}

bool isUnreachable(CURLcode code) {
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
           code == CURLE_COULDNT_CONNECT;
}

bool isRetryable(const CurlFailure& failure) {
    if (failure.message.find("HTTP/0.9") != std::string::npos) return true;  // a short part
    return isRetryable(failure.code);
}

bool isRetryable(CURLcode code) {
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_COULDNT_CONNECT:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_SSL_CONNECT_ERROR:
        return true;
    default:
        return false;
    }
}

}  // namespace zenvira::components
