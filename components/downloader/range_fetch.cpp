#include "components/downloader/range_fetch.h"

#include <algorithm>

namespace zenvira::components {

namespace {

constexpr const char* kChangedText = "The file changed on the server during the download; start it again";
constexpr const char* kDisagreedText =
    "The server's Content-Length disagreed with the parts it sent; every byte of the file came";

}  // namespace

RangeFetch::RangeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url,
                       ResourceIdentity identity, std::string shownName)
    : context_(context), file_(file), url_(std::move(url)), identity_(std::move(identity)),
      shownName_(std::move(shownName)) {
    ifRange_ = identity_.etag.empty() ? identity_.lastModified : identity_.etag;
}

FetchResult RangeFetch::run(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment) {
    requested_ = missing;
    plan_.emplace(missing, maxConnections, minSegment, context_.retry);
    while (true) {
        if (context_.stop.requested()) return finish(FetchStatus::Stopped);
        if (!error_.empty()) return finish(FetchStatus::Failed);
        if (plan_->allFinished()) return finish(FetchStatus::Complete);
        launch(Clock::now());
        for (const auto& [http, code] : context_.loop.perform()) {
            auto attempt = std::find_if(attempts_.begin(), attempts_.end(), [h = http](const Attempt& a) { return a.http.get() == h; });
            if (attempt != attempts_.end()) settle(*attempt, code, Clock::now());
        }
        context_.meter.setConnections(static_cast<int>(attempts_.size()));
        context_.tick();
        context_.loop.wait(nextWake(Clock::now()));
    }
}

ByteRanges RangeFetch::missing() const {
    if (plan_) return plan_->missing();
    ByteRanges ranges;
    for (const auto& range : requested_) ranges.add(range);
    return ranges;
}

void RangeFetch::launch(Clock::time_point now) {
    while (error_.empty() && static_cast<int>(attempts_.size()) < plan_->connections()) {
        Segment* segment = plan_->takeNext(now);
        if (!segment || !start(*segment)) return;
    }
}

bool RangeFetch::start(Segment& segment) {
    Attempt& attempt = attempts_.emplace_back();
    attempt.segment = &segment;
    attempt.from = segment.next;
    segment.active = true;
    const TransferRequest request{url_, context_.userAgent, ByteRange{segment.next, segment.end}, ifRange_};
    attempt.http = std::make_unique<HttpTransfer>(
        request, [this, &attempt](const char* data, std::size_t length) { return takeBody(attempt, data, length); });
    if (context_.loop.add(*attempt.http)) return true;
    segment.active = false;
    attempts_.pop_back();
    fail("Could not start a transfer");
    return false;
}

std::size_t RangeFetch::takeBody(Attempt& attempt, const char* data, std::size_t length) {
    if (!attempt.headChecked) {
        if (!checkHead(attempt)) return 0;
        attempt.headChecked = true;
    }
    Segment& segment = *attempt.segment;
    // The piece may have been shortened since the request went out: what lies beyond its
    // end belongs to another connection, and taking less ends this transfer.
    const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(segment.left(), 0, static_cast<std::int64_t>(length)));
    if (wanted == 0) return 0;
    std::string error;
    if (!file_.writeAt(data, wanted, segment.next, error)) {
        attempt.fatal = "Cannot write to the file " + shownName_ + ": " + error;
        return 0;
    }
    segment.next += static_cast<std::int64_t>(wanted);
    context_.meter.addDone(static_cast<std::int64_t>(wanted));
    return wanted;
}

bool RangeFetch::checkHead(Attempt& attempt) {
    const ResponseHead& head = attempt.http->head();
    const auto& range = head.contentRange;
    if (head.status >= 400) {
        attempt.fatal = httpStatusText(head.status, head.reason);
    } else if (head.status == 200) {
        // The If-Range validator no longer matched: the server sends its new file whole.
        attempt.fatal = kChangedText;
        attempt.changed = true;
    } else if (head.status != 206) {
        attempt.fatal = "Unexpected answer from the server: " + httpStatusText(head.status, head.reason);
    } else if (!range || range->first != attempt.from) {
        attempt.fatal = "The server sent another part of the file than was asked for";
    } else if ((range->total && *range->total != identity_.size) ||
               (!identity_.etag.empty() && !head.etag.empty() && head.etag != identity_.etag)) {
        attempt.fatal = kChangedText;
        attempt.changed = true;
    } else {
        if (head.contentLength && *head.contentLength != range->last - *range->first + 1) lengthDisagreed_ = true;
        return true;
    }
    return false;
}

void RangeFetch::settle(Attempt& attempt, CURLcode code, Clock::time_point now) {
    context_.loop.remove(*attempt.http);
    attempt.segment->active = false;
    if (!attempt.headChecked && attempt.fatal.empty() && attempt.http->head().complete) checkHead(attempt);
    if (!attempt.fatal.empty()) fail(attempt.fatal, attempt.changed);
    else if (!attempt.segment->finished()) retryOrFail(attempt, code, now);
    attempts_.remove_if([&attempt](const Attempt& a) { return &a == &attempt; });
}

void RangeFetch::retryOrFail(Attempt& attempt, CURLcode code, Clock::time_point now) {
    // A body that ends early without an error is a connection the server closed too soon.
    const CURLcode cause = code == CURLE_OK ? CURLE_PARTIAL_FILE : code;
    const std::string reason = describeCurlFailure(attempt.http->failure(cause));
    if (!isRetryable(cause)) return fail(reason);
    const std::int64_t progressed = attempt.segment->next - attempt.from;
    if (!plan_->scheduleRetry(*attempt.segment, progressed, now))
        fail(reason + " (gave up after " + std::to_string(context_.retry.maxRetries) + " retries)");
}

void RangeFetch::fail(const std::string& error, bool changed) {
    if (!error_.empty()) return;
    error_ = error;
    changed_ = changed;
}

FetchResult RangeFetch::finish(FetchStatus status) {
    for (auto& attempt : attempts_) {
        context_.loop.remove(*attempt.http);
        attempt.segment->active = false;
    }
    attempts_.clear();
    context_.meter.setConnections(0);
    FetchResult result;
    result.status = status;
    result.error = error_;
    result.resourceChanged = changed_;
    if (status == FetchStatus::Complete && lengthDisagreed_) result.warning = kDisagreedText;
    return result;
}

std::chrono::milliseconds RangeFetch::nextWake(Clock::time_point now) const {
    const auto retry = plan_->earliestRetry();
    if (!retry || *retry <= now) return kLoopTick;
    return std::min(kLoopTick, std::chrono::ceil<std::chrono::milliseconds>(*retry - now));
}

}  // namespace zenvira::components
