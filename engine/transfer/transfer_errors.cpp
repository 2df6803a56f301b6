#include "engine/transfer/transfer_errors.h"

namespace zenvira::components {

std::string describeCurlFailure(const CurlFailure& failure) {
    // libcurl reads the rest of an answer shorter than it announced as the next answer.
    if (leftoverOfShortAnswer(failure))
        return "The server sent less than it announced, and the connection no longer made sense";
    if (auto common = commonFailureText(failure)) return *common;
    switch (failure.code) {
    case CURLE_OPERATION_TIMEDOUT:
        return "The connection to " + failure.host + " timed out";
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return "The server closed the connection before the whole file came";
    case CURLE_OUT_OF_MEMORY:
        return "Out of memory";
    default:
        return "Download failed: " + failureDetail(failure);
    }
}

bool isUnreachable(CURLcode code) {
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
           code == CURLE_COULDNT_CONNECT;
}

bool isRetryable(const CurlFailure& failure) {
    if (leftoverOfShortAnswer(failure)) return true;  // a new connection gets a sound answer
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
