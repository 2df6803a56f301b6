#include "engine/page_fetch/page_fetch.h"

#include <exception>
#include <new>
#include <utility>

#include "engine/page_fetch/charset_convert.h"
#include "engine/page_fetch/curl_transfer.h"
#include "engine/page_fetch/fetch_address.h"
#include "engine/page_fetch/fetch_failure.h"
#include "engine/transfer/easy_setup.h"
#include "engine/transfer/transfer_errors.h"

namespace zenvira::components {
namespace {

FetchResult failure(std::string reason, long status = 0) {
    FetchResult result;
    result.error = std::move(reason);
    result.httpStatus = status;
    return result;
}

// A network that failed on the way, an error status, or an answer that cannot be used.
FailureCause causeOf(const pagefetch::TransferOutcome& outcome) {
    if (outcome.code != CURLE_OK)
        return {isRetryable(outcome.code) || isUnreachable(outcome.code) ? FailureKind::Network : FailureKind::Unknown};
    if (outcome.status >= 400) return FailureCause::ofStatus(outcome.status);
    return {FailureKind::Content};
}

FetchResult fetch(const std::string& address, const FetchOptions& options, CancelToken* cancel) {
    const auto checked = pagefetch::checkAddress(address);
    if (!checked.ok) return failure(checked.error);
    ensureCurlReady();
    auto outcome = pagefetch::runTransfer(checked.url, options, cancel);
    if (outcome.cancelled) {
        FetchResult stopped = failure(kFetchCancelledText, outcome.status);
        stopped.cancelled = true;
        return stopped;
    }
    if (pagefetch::transferFailed(outcome)) {
        FetchResult failed = failure(pagefetch::describeFailure(outcome, options, checked.host), outcome.status);
        failed.cause = causeOf(outcome);
        return failed;
    }
    FetchResult result;
    result.ok = true;
    result.httpStatus = outcome.status;
    result.contentType = outcome.contentType;
    result.contentDisposition = outcome.contentDisposition;
    result.finalAddress = outcome.effectiveUrl.empty() ? checked.url : outcome.effectiveUrl;
    result.mediaPrefix = outcome.mediaPrefix;
    result.text = outcome.mediaPrefix ? std::move(outcome.body)
                                      : pagefetch::decodeBody(std::move(outcome.body), outcome.contentType);
    return result;
}

}  // namespace

PageFetch::PageFetch(FetchOptions options) : options_(std::move(options)) {}

FetchResult PageFetch::FetchText(const std::string& address, CancelToken* cancel) const {
    // Callers take whatever comes back as the page; nothing may escape past them.
    try {
        return fetch(address, options_, cancel);
    } catch (const std::bad_alloc&) {
        return failure("Out of memory while fetching the page");
    } catch (const std::exception& error) {
        return failure(std::string("Could not fetch the page: ") + error.what());
    } catch (...) {
        return failure("Could not fetch the page");
    }
}

}  // namespace zenvira::components
