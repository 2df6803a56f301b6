#include "components/downloader/range_fetch.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "components/downloader/host_connections.h"

namespace zenvira::components {

namespace {

constexpr const char* kChangedText = "The file changed on the server during the download; start it again";
constexpr const char* kDisagreedText =
    "The server's Content-Length disagreed with the parts it sent; every byte of the file came";

// Rates are sampled this often; a step of the ramp is judged over the last window once the
// connections it added all deliver.
constexpr auto kSampleEvery = std::chrono::milliseconds(25);
constexpr auto kRampWindow = std::chrono::milliseconds(60);

double secondsOf(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// A weak ETag (W/"...") may not be used in If-Range: only a strong one, else the date.
std::string rangeValidator(const ResourceIdentity& identity) {
    if (!identity.etag.empty() && identity.etag.rfind("W/", 0) != 0) return identity.etag;
    return identity.lastModified;
}

}  // namespace

RangeFetch::RangeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url,
                       ResourceIdentity identity, std::string shownName)
    : context_(context), file_(file), url_(std::move(url)), host_(hostOfAddress(url_)),
      identity_(std::move(identity)), shownName_(std::move(shownName)) {
    ifRange_ = rangeValidator(identity_);
    verifyOverlap_ = ifRange_.empty();
}

FetchResult RangeFetch::run(const ByteRanges& kept, int connections, std::int64_t minSegment, PartJournal* journal) {
    plan_.emplace(kept.missingWithin(identity_.size), connections, minSegment, context_.retry);
    ramp_.emplace(plan_->connections(), HostConnections::kMostPerHost);
    lastSample_ = Clock::now();
    while (true) {
        if (context_.stop.requested()) return finish(FetchStatus::Stopped);
        if (!error_.empty()) return finish(FetchStatus::Failed);
        if (plan_->allFinished()) {
            checkLeads();
            return finish(error_.empty() ? FetchStatus::Complete : FetchStatus::Failed);
        }
        launch(Clock::now());
        for (const auto& [http, code] : context_.loop.perform()) {
            auto attempt = std::find_if(attempts_.begin(), attempts_.end(), [h = http](const Attempt& a) { return a.http.get() == h; });
            if (attempt != attempts_.end()) settle(*attempt, code, Clock::now());
        }
        dropOvertaken();
        sample(Clock::now());
        context_.meter.setConnections(static_cast<int>(attempts_.size()));
        if (journal) journal->offer(context_.meter.done(), [this] { return done(); });
        context_.tick();
        context_.loop.wait(nextWake(Clock::now()));
    }
}

ByteRanges RangeFetch::done() const {
    ByteRanges done;
    if (!plan_) return done;
    for (const auto& range : plan_->missing().missingWithin(identity_.size)) done.add(range);
    return done;
}

void RangeFetch::launch(Clock::time_point now) {
    while (error_.empty() && static_cast<int>(attempts_.size()) < ramp_->want()) {
        if (!HostConnections::take(host_, attempts_.empty())) return;
        const std::int64_t fairShare = plan_->left() / std::max(ramp_->want(), 1);
        Segment* segment = plan_->takeNext(now, typicalRate(), fairShare);
        if (!segment || !start(*segment)) {
            HostConnections::give(host_);
            return;
        }
    }
}

std::int64_t RangeFetch::doneJustBefore(std::int64_t offset) const {
    const ByteRanges written = done();
    for (const auto& range : written.items())
        if (range.begin < offset && range.end >= offset) return offset - range.begin;
    return 0;
}

bool RangeFetch::start(Segment& segment) {
    Attempt& attempt = attempts_.emplace_back();
    attempt.segment = &segment;
    attempt.verifyEnd = segment.next;
    if (verifyOverlap_ && segment.next > 0) {
        const std::int64_t onDisk = std::min(kOverlap, doneJustBefore(segment.next));
        attempt.from = segment.next - (onDisk > 0 ? onDisk : std::min(kOverlap, segment.next));
        if (onDisk == 0) attempt.lead = &leads_.emplace_back(Lead{attempt.from, {}});
    } else {
        attempt.from = segment.next;
    }
    attempt.at = attempt.from;
    attempt.requestEnd = segment.end;
    segment.active = true;
    segment.rate = -1;
    const TransferRequest request{url_, context_.userAgent, ByteRange{attempt.from, segment.end}, ifRange_};
    attempt.http = std::make_unique<HttpTransfer>(
        request, [this, &attempt](const char* data, std::size_t length) { return takeBody(attempt, data, length); });
    attempt.http->setPacer(context_.pacer.get());
    if (context_.loop.add(*attempt.http)) return true;
    segment.active = false;
    attempts_.pop_back();
    fail("Could not start a transfer");
    return false;
}

bool RangeFetch::compareWithDisk(Attempt& attempt, const char* data, std::size_t length) {
    diskBytes_.resize(length);
    std::string error;
    if (!file_.readAt(diskBytes_.data(), length, attempt.at, error) || std::memcmp(diskBytes_.data(), data, length) != 0) {
        attempt.fatal = kChangedText;
        attempt.problem = Problem::Changed;
        return false;
    }
    return true;
}

std::size_t RangeFetch::takeBody(Attempt& attempt, const char* data, std::size_t length) {
    if (!attempt.headChecked) {
        if (!checkHead(attempt)) return 0;
        attempt.headChecked = true;
        attempt.firstByte = Clock::now();
    }
    attempt.bytes += static_cast<std::int64_t>(length);
    std::size_t taken = 0;
    if (attempt.at < attempt.verifyEnd) {
        taken = static_cast<std::size_t>(std::min<std::int64_t>(attempt.verifyEnd - attempt.at, static_cast<std::int64_t>(length)));
        if (attempt.lead) attempt.lead->bytes.insert(attempt.lead->bytes.end(), data, data + taken);
        else if (!compareWithDisk(attempt, data, taken)) return 0;
        attempt.at += static_cast<std::int64_t>(taken);
        if (taken == length) return length;
    }
    Segment& segment = *attempt.segment;
    // The piece may have been shortened since the request went out: what lies beyond its
    // end belongs to another connection, and taking less ends this transfer.
    const auto wanted = static_cast<std::size_t>(
        std::clamp<std::int64_t>(segment.left(), 0, static_cast<std::int64_t>(length - taken)));
    if (wanted == 0) return taken;
    std::string error;
    if (!file_.writeAt(data + taken, wanted, segment.next, error)) {
        attempt.fatal = "Cannot write to the file " + shownName_ + ": " + error;
        return 0;
    }
    const std::int64_t end = segment.next + static_cast<std::int64_t>(wanted);
    // A racer writes again what the slower connection already has: only its lead is new.
    const std::int64_t fresh = segment.racing ? std::max<std::int64_t>(0, end - std::max(segment.next, segment.racing->next))
                                              : static_cast<std::int64_t>(wanted);
    segment.next = end;
    attempt.at = end;
    context_.meter.addDone(fresh);
    SegmentPlan::settleRace(segment);
    return taken + wanted;
}

bool RangeFetch::checkHead(Attempt& attempt) {
    const ResponseHead& head = attempt.http->head();
    const auto& range = head.contentRange;
    if (head.status == 429 || head.status == 503) {
        attempt.problem = Problem::Busy;
        attempt.waitSeconds = retryAfterSeconds(head.retryAfter, static_cast<std::int64_t>(std::time(nullptr)));
    } else if (head.status == 403 || head.status == 410) {
        attempt.fatal = httpStatusText(head.status, head.reason);
        attempt.problem = Problem::Expired;
    } else if (head.status >= 400) {
        attempt.fatal = httpStatusText(head.status, head.reason);
    } else if (head.status == 200) {
        // The If-Range validator no longer matched: the server sends its new file whole.
        attempt.fatal = kChangedText;
        attempt.problem = Problem::Changed;
    } else if (head.status != 206) {
        attempt.fatal = "Unexpected answer from the server: " + httpStatusText(head.status, head.reason);
    } else if (!range || range->first != attempt.from) {
        attempt.fatal = "The server sent another part of the file than was asked for";
    } else if ((range->total && *range->total != identity_.size) ||
               (!identity_.etag.empty() && !head.etag.empty() && head.etag != identity_.etag)) {
        attempt.fatal = kChangedText;
        attempt.problem = Problem::Changed;
    } else {
        if (head.contentLength && *head.contentLength != range->last - *range->first + 1) lengthDisagreed_ = true;
        return true;
    }
    return false;
}

void RangeFetch::settle(Attempt& attempt, CURLcode code, Clock::time_point now) {
    context_.loop.remove(*attempt.http);
    HostConnections::give(host_);
    Segment& segment = *attempt.segment;
    segment.active = false;
    segment.rate = -1;
    if (!attempt.headChecked && attempt.fatal.empty() && attempt.problem == Problem::None && attempt.http->head().complete)
        checkHead(attempt);
    if (attempt.problem == Problem::Busy) waitOut(attempt, now);
    else if (!attempt.fatal.empty()) fail(attempt.fatal, attempt.problem);
    else if (segment.racing && !segment.finished()) {
        // A racer that broke off is not taken up: the slower connection is still on it.
        segment.racing->racer = nullptr;
        segment.racing = nullptr;
        segment.end = segment.next;
    } else if (!segment.finished()) retryOrFail(attempt, code, now);
    attempts_.remove_if([&attempt](const Attempt& a) { return &a == &attempt; });
}

void RangeFetch::waitOut(Attempt& attempt, Clock::time_point now) {
    // A busy server gets fewer connections from now on, and this piece waits as it asks.
    ramp_->serverAskedForFewer();
    const ResponseHead& head = attempt.http->head();
    const std::string status = httpStatusText(head.status, head.reason);
    const std::int64_t seconds =
        attempt.waitSeconds.value_or(context_.retry.firstBackOff.count() * (1 << attempt.segment->failures) / 1000);
    if (seconds > kLongestWaitSeconds)
        return fail("The server is busy (" + status + ") and asks to come back in " +
                    std::to_string((seconds + 59) / 60) + " minutes");
    const auto until = now + std::max<std::chrono::milliseconds>(std::chrono::seconds(seconds), context_.retry.firstBackOff);
    if (!plan_->waitFor(*attempt.segment, until))
        fail("The server is busy: " + status + " (gave up after " + std::to_string(context_.retry.maxRetries) + " retries)");
}

void RangeFetch::retryOrFail(Attempt& attempt, CURLcode code, Clock::time_point now) {
    // A body that ends early without an error is a connection the server closed too soon.
    const CURLcode cause = code == CURLE_OK ? CURLE_PARTIAL_FILE : code;
    const CurlFailure failure = attempt.http->failure(cause);
    const std::string reason = describeCurlFailure(failure);
    if (!isRetryable(failure)) return fail(reason);
    const std::int64_t progressed = attempt.segment->next - attempt.verifyEnd;
    if (!plan_->scheduleRetry(*attempt.segment, progressed, now))
        fail(reason + " (gave up after " + std::to_string(context_.retry.maxRetries) + " retries)");
}

void RangeFetch::drop(Attempt& attempt) {
    context_.loop.remove(*attempt.http);
    HostConnections::give(host_);
    attempt.segment->active = false;
    attempt.segment->rate = -1;
}

// Connections whose piece was taken over (a race lost, or the rest handed to another) end
// at once rather than when their next bytes come, which for a slow one can take long.
void RangeFetch::dropOvertaken() {
    attempts_.remove_if([this](Attempt& attempt) {
        if (!attempt.segment->finished() || attempt.requestEnd <= attempt.segment->end) return false;
        drop(attempt);
        return true;
    });
}

void RangeFetch::sample(Clock::time_point now) {
    const auto span = now - lastSample_;
    if (span < kSampleEvery) return;
    lastSample_ = now;
    checkLeads();
    bool allDelivering = true;
    Clock::time_point newest{};
    for (auto& attempt : attempts_) {
        const std::int64_t fresh = attempt.bytes - attempt.sampledBytes;
        attempt.sampledBytes = attempt.bytes;
        if (!attempt.firstByte) {
            allDelivering = false;
            continue;
        }
        newest = std::max(newest, *attempt.firstByte);
        const double window = secondsOf(std::min(span, now - *attempt.firstByte));
        if (window <= 0) continue;
        const double rate = static_cast<double>(fresh) / window;
        Segment& segment = *attempt.segment;
        segment.rate = segment.rate < 0 ? rate : 0.5 * segment.rate + 0.5 * rate;
    }
    // A racer that turns out slow itself gives way, so a fresh connection can try.
    const double typical = typicalRate();
    for (auto& attempt : attempts_) {
        Segment& segment = *attempt.segment;
        if (!segment.racing || segment.rate < 0 || segment.rate * 4 >= typical || !attempt.firstByte ||
            now - *attempt.firstByte < kRampWindow)
            continue;
        segment.racing->racer = nullptr;
        segment.racing = nullptr;
        segment.end = segment.next;  // dropped below as overtaken
    }
    totals_.emplace_back(now, context_.meter.done());
    while (totals_.size() > 2 && now - totals_[1].first >= std::chrono::seconds(1)) totals_.pop_front();

    const int active = static_cast<int>(attempts_.size());
    // A job held to a rate keeps the connections it started with: more cannot raise its total.
    if (context_.pacer) return;
    if (!ramp_->growing() || active < ramp_->want() || !allDelivering || now - newest < kRampWindow) return;
    const auto from = std::find_if(totals_.rbegin(), totals_.rend(), [&](const auto& t) { return now - t.first >= kRampWindow; });
    if (from == totals_.rend() || from->first < newest) return;
    const double rate = static_cast<double>(context_.meter.done() - from->second) / secondsOf(now - from->first);
    ramp_->measured(active, rate);
}

// Leads whose bytes are all on the disk now are compared with them.
void RangeFetch::checkLeads() {
    if (leads_.empty()) return;
    const ByteRanges written = done();
    for (auto lead = leads_.begin(); lead != leads_.end();) {
        const bool inUse = std::any_of(attempts_.begin(), attempts_.end(), [&](const Attempt& a) {
            return a.lead == &*lead && a.at < a.verifyEnd;
        });
        const bool there = std::any_of(written.items().begin(), written.items().end(), [&](const ByteRange& r) {
            return r.begin <= lead->from && r.end >= lead->end();
        });
        if (inUse || !there) {
            ++lead;
            continue;
        }
        diskBytes_.resize(lead->bytes.size());
        std::string error;
        if (!lead->bytes.empty() && (!file_.readAt(diskBytes_.data(), diskBytes_.size(), lead->from, error) ||
                                     std::memcmp(diskBytes_.data(), lead->bytes.data(), lead->bytes.size()) != 0))
            fail(kChangedText, Problem::Changed);
        for (auto& attempt : attempts_)
            if (attempt.lead == &*lead) attempt.lead = nullptr;
        lead = leads_.erase(lead);
    }
}

double RangeFetch::typicalRate() const {
    double sum = 0;
    int known = 0;
    for (const auto& attempt : attempts_) {
        if (attempt.segment->rate < 0) continue;
        sum += attempt.segment->rate;
        ++known;
    }
    return known ? sum / known : 0;
}

void RangeFetch::fail(const std::string& error, Problem problem) {
    if (!error_.empty()) return;
    error_ = error;
    problem_ = problem;
}

FetchResult RangeFetch::finish(FetchStatus status) {
    for (auto& attempt : attempts_) drop(attempt);
    attempts_.clear();
    context_.meter.setConnections(0);
    FetchResult result;
    result.status = status;
    result.error = error_;
    result.resourceChanged = problem_ == Problem::Changed;
    result.expired = problem_ == Problem::Expired;
    if (status == FetchStatus::Complete && lengthDisagreed_) result.warning = kDisagreedText;
    return result;
}

std::chrono::milliseconds RangeFetch::nextWake(Clock::time_point now) const {
    const auto retry = plan_->earliestRetry();
    if (!retry || *retry <= now) return kLoopTick;
    return std::min(kLoopTick, std::chrono::ceil<std::chrono::milliseconds>(*retry - now));
}

}  // namespace zenvira::components
