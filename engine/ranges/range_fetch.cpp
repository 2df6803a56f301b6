#include "engine/ranges/range_fetch.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "engine/transfer/first_bytes.h"
#include "engine/transfer/host_connections.h"
#include "engine/transfer/host_memory_file.h"

namespace zenvira::components {

namespace {

constexpr const char* kChangedText = "The file changed on the server during the download; start it again";
constexpr const char* kDisagreedText =
    "The server's Content-Length disagreed with the parts it sent; every byte of the file came";

// Seconds from a request to its first byte, by libcurl's count (0: not known).
double secondsToFirstByte(CURL* handle) {
    curl_off_t micros = 0;
    if (curl_easy_getinfo(handle, CURLINFO_STARTTRANSFER_TIME_T, &micros) != CURLE_OK || micros <= 0) return 0;
    return static_cast<double>(micros) / 1e6;
}

// A weak ETag (W/"...") may not be used in If-Range: only a strong one, else the date.
std::string rangeValidator(const ResourceIdentity& identity) {
    if (!identity.etag.empty() && identity.etag.rfind("W/", 0) != 0) return identity.etag;
    return identity.lastModified;
}

// The server sent every byte of the part it announced, if fewer than were asked for.
bool answeredInFull(const ResponseHead& head, std::int64_t at) {
    return head.status == 206 && head.contentRange && head.contentRange->first && head.contentRange->last + 1 == at;
}

}  // namespace

RangeFetch::RangeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url,
                       ResourceIdentity identity, std::string shownName, HostMemory* hosts)
    : context_(context),
      file_(file),
      url_(std::move(url)),
      host_(hostOfAddress(url_)),
      share_(host_),
      server_(serverOfAddress(url_)),
      hosts_(hosts ? *hosts : HostMemoryFile::ofProcess()),
      identity_(std::move(identity)),
      shownName_(std::move(shownName)) {
    ifRange_ = rangeValidator(identity_);
    verifyOverlap_ = ifRange_.empty();
}

PhaseResult RangeFetch::run(const ByteRanges& kept, int connections, std::int64_t minSegment, PartJournal* journal,
                            std::shared_ptr<HttpTransfer> firstBytes, bool firstBytesHeld) {
    // A server seen lately starts where its last download settled. What it is worth is known
    // then, so a piece at the start need only be worth its request.
    const int most = share_.ceiling();
    if (const auto remembered = hosts_.recall(server_, HostMemory::WallClock::now())) {
        connections = std::clamp(*remembered, 1, most);
        minSegment = std::min(minSegment, SegmentPlan::kSmallestSplit);
    }
    policy_.emplace(kept.missingWithin(identity_.size), connections, most, minSegment, context_.retry,
                    context_.pacer != nullptr, Clock::now(), context_.meter.done());
    if (firstBytes && kept.items().empty()) adopt(std::move(firstBytes), firstBytesHeld);
    while (true) {
        if (context_.stop.cancelled()) policy_->cancel();
        if (policy_->cancelled()) return finish(PhaseStatus::Stopped);
        if (!error_.empty()) return finish(PhaseStatus::Failed);
        if (policy_->finished()) {
            checkLeads();
            return finish(error_.empty() ? PhaseStatus::Complete : PhaseStatus::Failed);
        }
        if (context_.stream) policy_->steer(context_.stream->wanted());
        policy_->setCeiling(share_.ceiling());
        launch(Clock::now());
        for (const auto& [http, code] : context_.loop.perform()) {
            auto attempt = std::find_if(attempts_.begin(), attempts_.end(), [h = http](const Attempt& a) { return a.http.get() == h; });
            if (attempt != attempts_.end()) settle(*attempt, code, Clock::now());
        }
        dropOvertaken();
        const auto now = Clock::now();
        if (policy_->sampleDue(now)) checkLeads();
        policy_->turn(now, context_.meter.done());
        shedSlowest();
        launch(Clock::now());  // what the rates just read call for, without waiting a turn
        context_.meter.setConnections(static_cast<int>(attempts_.size()));
        // A finished file is flushed whole before it takes its name: an entry now only adds a wait.
        if (journal && !policy_->finished() && policy_->journalDue(Clock::now(), context_.meter.done()))
            journal->record(done());
        context_.tick();
        // The last piece may just have come: nothing is left to wait for then.
        if (!policy_->finished()) context_.loop.wait(policy_->nextWake(Clock::now(), kLoopTick));
    }
}

ByteRanges RangeFetch::done() const {
    ByteRanges done;
    if (!policy_) return done;
    for (const auto& range : policy_->plan().missing().missingWithin(identity_.size)) done.add(range);
    return done;
}

// The probe's answer goes on as the first piece: its bytes from 0 are that piece's.
void RangeFetch::adopt(std::shared_ptr<HttpTransfer> firstBytes, bool held) {
    Segment* first = policy_->firstPiece(Clock::now());
    if (!first || first->next != 0 || !firstBytes->pausedAtBody()) return;
    HostConnections::take(host_, true);
    Attempt& attempt = track(*first, 0, identity_.size, 0);
    if (held) policy_->answerWasHeld(*attempt.link);
    attempt.http = std::move(firstBytes);
    attempt.http->setBodyHandler([this, &attempt](const char* data, std::size_t length) { return takeBody(attempt, data, length); });
    attempt.http->setPacer(context_.pacer.get());
    attempt.http->resume();  // the held bytes may come at once
}

void RangeFetch::launch(Clock::time_point now) {
    if (policy_->planStarts(now) <= 0) return;
    while (error_.empty() && policy_->wantsMore()) {
        if (!HostConnections::take(host_, attempts_.empty())) return;
        const auto next = policy_->nextStart(now);
        if (!next || !start(*next->segment, next->expectedRate)) {
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

RangeFetch::Attempt& RangeFetch::track(Segment& segment, std::int64_t from, std::int64_t requestEnd,
                                       double expectedRate) {
    Attempt& attempt = attempts_.emplace_back();
    attempt.sent = Clock::now();
    attempt.link = &policy_->opened(segment, requestEnd, expectedRate, attempt.sent);
    attempt.segment = &segment;
    attempt.verifyEnd = segment.next;
    attempt.from = from;
    attempt.at = from;
    return attempt;
}

bool RangeFetch::start(Segment& segment, double expectedRate) {
    std::int64_t from = segment.next;
    bool withLead = false;
    if (verifyOverlap_ && segment.next > 0) {
        const std::int64_t onDisk = std::min(kOverlap, doneJustBefore(segment.next));
        from = segment.next - (onDisk > 0 ? onDisk : std::min(kOverlap, segment.next));
        withLead = onDisk == 0;
    }
    Attempt& attempt = track(segment, from, segment.end, expectedRate);
    if (withLead) attempt.lead = &leads_.emplace_back(Lead{attempt.from, {}});
    const TransferRequest request{url_, context_.userAgent, ByteRange{attempt.from, segment.end}, ifRange_};
    attempt.http = std::make_shared<HttpTransfer>(
        request, [this, &attempt](const char* data, std::size_t length) { return takeBody(attempt, data, length); });
    attempt.http->setPacer(context_.pacer.get());
    if (context_.loop.add(*attempt.http)) return true;
    policy_->dropped(*attempt.link);
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
    if (!attempt.fatal.empty()) return 0;  // refused once, refused for good
    if (!attempt.headChecked) {
        if (!checkHead(attempt)) return 0;
        attempt.headChecked = true;
        policy_->answered(*attempt.link, static_cast<std::int64_t>(length), secondsToFirstByte(attempt.http->handle()),
                          Clock::now());
    }
    policy_->delivered(*attempt.link, static_cast<std::int64_t>(length));
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
        attempt.cause = {FailureKind::Disk};
        return 0;
    }
    const std::int64_t end = segment.next + static_cast<std::int64_t>(wanted);
    if (context_.stream) context_.stream->arrived({segment.next, end});
    // A racer writes again what the slower connection already has: only its lead is new.
    const std::int64_t fresh = segment.racing ? std::max<std::int64_t>(0, end - std::max(segment.next, segment.racing->next))
                                              : static_cast<std::int64_t>(wanted);
    segment.next = end;
    attempt.at = end;
    startWriteback(static_cast<std::int64_t>(wanted));
    context_.meter.addDone(fresh);
    SegmentPlan::settleRace(segment);
    if (!firstBytesJudged(end - static_cast<std::int64_t>(wanted), attempt)) return 0;
    return taken + wanted;
}

// The disk starts on what came while more arrives, so the flush before the file takes its
// name waits only for the last bytes. Pieces are small and many: the whole file is sent on.
void RangeFetch::startWriteback(std::int64_t written) {
    writtenSinceWriteback_ += written;
    if (writtenSinceWriteback_ < kWritebackBytes) return;
    file_.startWriteback(0, identity_.size);
    writtenSinceWriteback_ = 0;
}

// A page in place of the video is caught as soon as the first bytes are in, not once all of
// it is: judged when a write below them leaves them all on the disk.
bool RangeFetch::firstBytesJudged(std::int64_t writtenFrom, Attempt& attempt) {
    const auto checked = std::min(static_cast<std::int64_t>(kFirstBytesChecked), identity_.size);
    if (writtenFrom >= checked || !namesMedia(shownName_)) return true;
    const ByteRanges written = done();
    if (written.items().empty() || written.items().front().begin > 0 || written.items().front().end < checked)
        return true;
    std::string first(static_cast<std::size_t>(checked), '\0');
    std::string error;
    if (!file_.readAt(first.data(), first.size(), 0, error)) return true;
    const auto wrong = notMediaProblem(first, "The file " + shownName_);
    if (!wrong) return true;
    attempt.fatal = *wrong;
    attempt.problem = Problem::NotMedia;
    return false;
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
        attempt.cause = FailureCause::ofStatus(head.status);
    } else if (head.status >= 400) {
        attempt.fatal = httpStatusText(head.status, head.reason);
        attempt.cause = FailureCause::ofStatus(head.status);
    } else if (head.status == 200) {
        // The If-Range validator no longer matched: the server sends its new file whole.
        attempt.fatal = kChangedText;
        attempt.problem = Problem::Changed;
    } else if (head.status != 206) {
        attempt.fatal = "Unexpected answer from the server: " + httpStatusText(head.status, head.reason);
    } else if (head.encoded()) {
        // A compressed part cannot be decoded apart from the bytes before it.
        attempt.fatal = "The server sent a part of the file compressed, which cannot be joined to the others";
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
    // Its connection stays open for the next request when the answer ended whole.
    policy_->closed(*attempt.link, code == CURLE_OK, now);
    attempt.link = nullptr;
    if (!attempt.headChecked && attempt.fatal.empty() && attempt.problem == Problem::None && attempt.http->head().complete)
        checkHead(attempt);
    if (attempt.problem == Problem::Busy) waitOut(attempt, now);
    else if (!attempt.fatal.empty())
        fail(attempt.fatal, attempt.problem, attempt.cause);
    else if (segment.racing && !segment.finished()) {
        // A racer that broke off is not taken up: the slower connection is still on it.
        segment.racing->racer = nullptr;
        segment.racing = nullptr;
        segment.end = segment.next;
    } else if (!segment.finished() && code == CURLE_OK && answeredInFull(attempt.http->head(), attempt.at)) {
        // The server sent a shorter part than asked for, all of it: ask for the rest.
    } else if (!segment.finished()) retryOrFail(attempt, code, now);
    attempts_.remove_if([&attempt](const Attempt& a) { return &a == &attempt; });
}

void RangeFetch::waitOut(Attempt& attempt, Clock::time_point now) {
    // A busy server gets fewer connections from now on, and this piece waits as it asks.
    policy_->serverBusy(attempt.sent, now);
    const ResponseHead& head = attempt.http->head();
    const std::string status = httpStatusText(head.status, head.reason);
    const std::int64_t seconds =
        attempt.waitSeconds.value_or(context_.retry.firstBackOff.count() * (1 << attempt.segment->failures) / 1000);
    if (seconds > kLongestWaitSeconds)
        return fail("The server is busy (" + status + ") and asks to come back in " +
                        std::to_string((seconds + 59) / 60) + " minutes",
                    Problem::None, FailureCause::ofStatus(head.status));
    const auto until = now + std::max<std::chrono::milliseconds>(std::chrono::seconds(seconds), context_.retry.firstBackOff);
    if (!policy_->plan().waitFor(*attempt.segment, until))
        fail("The server is busy: " + status + " (gave up after " + std::to_string(context_.retry.maxRetries) +
                 " retries)",
             Problem::None, FailureCause::ofStatus(head.status));
}

void RangeFetch::retryOrFail(Attempt& attempt, CURLcode code, Clock::time_point now) {
    // A body that ends early without an error is a connection the server closed too soon.
    const CURLcode cause = code == CURLE_OK ? CURLE_PARTIAL_FILE : code;
    const CurlFailure failure = attempt.http->failure(cause);
    const std::string reason = describeCurlFailure(failure);
    if (!isRetryable(failure))
        return fail(reason, Problem::None, {isUnreachable(failure.code) ? FailureKind::Network : FailureKind::Unknown});
    const std::int64_t progressed = attempt.segment->next - attempt.verifyEnd;
    if (!policy_->plan().scheduleRetry(*attempt.segment, progressed, now))
        fail(reason + " (gave up after " + std::to_string(context_.retry.maxRetries) + " retries)", Problem::None,
             {FailureKind::Network});
}

void RangeFetch::drop(Attempt& attempt) {
    context_.loop.remove(*attempt.http);
    HostConnections::give(host_);
    if (attempt.link) policy_->dropped(*attempt.link);
    attempt.link = nullptr;
}

// Connections whose piece was taken over (a race lost, or the rest handed to another) end
// at once rather than when their next bytes come, which for a slow one can take long.
void RangeFetch::dropOvertaken() {
    attempts_.remove_if([this](Attempt& attempt) {
        if (!policy_->overtaken(*attempt.link)) return false;
        drop(attempt);
        return true;
    });
}

// Connections beyond what the path was found worth end, the slowest first; their pieces wait
// for the faster ones.
void RangeFetch::shedSlowest() {
    while (const SchedulingPolicy::Connection* slowest = policy_->toShed()) {
        auto attempt =
            std::find_if(attempts_.begin(), attempts_.end(), [&](const Attempt& a) { return a.link == slowest; });
        drop(*attempt);
        attempts_.erase(attempt);
    }
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
            fail(kChangedText, Problem::Changed, {FailureKind::Content});
        for (auto& attempt : attempts_)
            if (attempt.lead == &*lead) attempt.lead = nullptr;
        lead = leads_.erase(lead);
    }
}

void RangeFetch::fail(const std::string& error, Problem problem, FailureCause cause) {
    if (!error_.empty()) return;
    error_ = error;
    problem_ = problem;
    cause_ = cause;
}

PhaseResult RangeFetch::finish(PhaseStatus status) {
    for (auto& attempt : attempts_) drop(attempt);
    attempts_.clear();
    rememberConnectionCount();
    context_.meter.setConnections(0);
    PhaseResult result;
    result.status = status;
    result.error = error_;
    result.cause = cause_;
    result.resourceChanged = problem_ == Problem::Changed;
    result.expired = problem_ == Problem::Expired;
    result.notMedia = problem_ == Problem::NotMedia;
    if (status == PhaseStatus::Complete && lengthDisagreed_) result.warning = kDisagreedText;
    return result;
}

void RangeFetch::rememberConnectionCount() {
    if (const auto settled = policy_->settledCount()) hosts_.remember(server_, *settled, HostMemory::WallClock::now());
}

}  // namespace zenvira::components
