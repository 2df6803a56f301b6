#include "engine/ranges/range_fetch.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "engine/transfer/host_connections.h"

namespace zenvira::components {

namespace {

constexpr const char* kChangedText = "The file changed on the server during the download; start it again";
constexpr const char* kDisagreedText =
    "The server's Content-Length disagreed with the parts it sent; every byte of the file came";

// Rates are sampled this often; a step of the ramp is judged over the last window once the
// connections it added all deliver.
constexpr auto kSampleEvery = std::chrono::milliseconds(10);
// A connection's rate is what it brought over about the last kRateWindow, and is not
// trusted before it has delivered for kShortestRateWindow.
constexpr auto kRateWindow = std::chrono::milliseconds(150);
constexpr auto kShortestRateWindow = std::chrono::milliseconds(10);
constexpr auto kRampWindow = std::chrono::milliseconds(60);
constexpr auto kSteadyWindow = std::chrono::milliseconds(150);
// A racer slower than a quarter of the fastest connection over this long gives way, as does
// one still without an answer this long after the usual wait for one.
constexpr auto kRacerTrial = std::chrono::milliseconds(30);
// The first connection's rate, what the first step is judged against, is read once it has
// delivered this long.
constexpr auto kFirstRateWindow = std::chrono::milliseconds(6);

double secondsOf(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
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
                       ResourceIdentity identity, std::string shownName)
    : context_(context), file_(file), url_(std::move(url)), host_(hostOfAddress(url_)),
      identity_(std::move(identity)), shownName_(std::move(shownName)) {
    ifRange_ = rangeValidator(identity_);
    verifyOverlap_ = ifRange_.empty();
}

PhaseResult RangeFetch::run(const ByteRanges& kept, int connections, std::int64_t minSegment, PartJournal* journal,
                            std::shared_ptr<HttpTransfer> firstBytes) {
    plan_.emplace(kept.missingWithin(identity_.size), connections, minSegment, context_.retry);
    ramp_.emplace(plan_->connections(), HostConnections::kMostPerHost);
    lastSample_ = Clock::now();
    if (firstBytes && kept.items().empty()) adopt(std::move(firstBytes));
    while (true) {
        if (context_.stop.cancelled()) return finish(PhaseStatus::Stopped);
        if (!error_.empty()) return finish(PhaseStatus::Failed);
        if (plan_->allFinished()) {
            checkLeads();
            return finish(error_.empty() ? PhaseStatus::Complete : PhaseStatus::Failed);
        }
        launch(Clock::now());
        for (const auto& [http, code] : context_.loop.perform()) {
            auto attempt = std::find_if(attempts_.begin(), attempts_.end(), [h = http](const Attempt& a) { return a.http.get() == h; });
            if (attempt != attempts_.end()) settle(*attempt, code, Clock::now());
        }
        dropOvertaken();
        // Every turn until it is known: each millisecond earlier is one more at full speed.
        if (!context_.pacer && ramp_->growing() && !ramp_->hasBaseline()) measureFirstRate(Clock::now());
        sample(Clock::now());
        shedSlowest();
        launch(Clock::now());  // what the rates just read call for, without waiting a turn
        context_.meter.setConnections(static_cast<int>(attempts_.size()));
        if (journal) journal->offer(context_.meter.done(), [this] { return done(); });
        context_.tick();
        // The last piece may just have come: nothing is left to wait for then.
        if (!plan_->allFinished()) context_.loop.wait(nextWake(Clock::now()));
    }
}

ByteRanges RangeFetch::done() const {
    ByteRanges done;
    if (!plan_) return done;
    for (const auto& range : plan_->missing().missingWithin(identity_.size)) done.add(range);
    return done;
}

// The probe's answer goes on as the first piece: its bytes from 0 are that piece's.
void RangeFetch::adopt(std::shared_ptr<HttpTransfer> firstBytes) {
    Segment* first = plan_->takeNext(Clock::now());
    if (!first || first->next != 0 || !firstBytes->pausedAtBody()) return;
    HostConnections::take(host_, true);
    Attempt& attempt = track(*first, 0, identity_.size);
    attempt.http = std::move(firstBytes);
    attempt.http->setBodyHandler([this, &attempt](const char* data, std::size_t length) { return takeBody(attempt, data, length); });
    attempt.http->setPacer(context_.pacer.get());
    attempt.http->resume();  // the held bytes may come at once
}

void RangeFetch::launch(Clock::time_point now) {
    const int starting = ramp_->want() - static_cast<int>(attempts_.size());
    if (starting <= 0) return;
    // When the first byte of each connection still waiting for one is due, by what answers
    // take now.
    const auto wait = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(latency_));
    for (auto& attempt : attempts_)
        if (!attempt.firstByte) attempt.segment->answerDue = attempt.started + wait;
    // Connections starting together are planned to end together with those running: by when
    // all of them, each from its first byte at its rate, have brought what is left.
    double together = 0;
    std::int64_t fairShare = 0;
    const double typical = typicalRate();
    if (starting > 1 && typical > 0) {
        double rates = starting * typical;
        double lost = starting * typical * latency_;  // the newcomers' wait
        for (const auto& attempt : attempts_) {
            const Segment& segment = *attempt.segment;
            const double rate = segment.rate >= 0 ? segment.rate : typical;
            rates += rate;
            lost += rate * segment.waitLeft(now);
        }
        together = (static_cast<double>(plan_->left()) + lost) / rates;
        fairShare = static_cast<std::int64_t>(typical * std::max(0.0, together - latency_));
    }
    while (error_.empty() && static_cast<int>(attempts_.size()) < ramp_->want()) {
        if (!HostConnections::take(host_, attempts_.empty())) return;
        Newcomer newcomer{0, typicalRate(), latency_, fairShare, together};
        if (!idleRates_.empty()) newcomer.rate = idleRates_.back();
        Segment* segment = plan_->takeNext(now, newcomer);
        if (!segment || !start(*segment, newcomer.rate)) {
            HostConnections::give(host_);
            return;
        }
        if (!idleRates_.empty()) idleRates_.pop_back();
    }
}

std::int64_t RangeFetch::doneJustBefore(std::int64_t offset) const {
    const ByteRanges written = done();
    for (const auto& range : written.items())
        if (range.begin < offset && range.end >= offset) return offset - range.begin;
    return 0;
}

RangeFetch::Attempt& RangeFetch::track(Segment& segment, std::int64_t from, std::int64_t requestEnd) {
    Attempt& attempt = attempts_.emplace_back();
    attempt.segment = &segment;
    attempt.verifyEnd = segment.next;
    attempt.from = from;
    attempt.at = from;
    attempt.requestEnd = requestEnd;
    attempt.started = Clock::now();
    segment.active = true;
    segment.rate = -1;
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
    Attempt& attempt = track(segment, from, segment.end);
    // Until it is measured, the piece goes by what its connection brought before.
    if (expectedRate > 0) segment.rate = expectedRate;
    if (withLead) attempt.lead = &leads_.emplace_back(Lead{attempt.from, {}});
    const TransferRequest request{url_, context_.userAgent, ByteRange{attempt.from, segment.end}, ifRange_};
    attempt.http = std::make_shared<HttpTransfer>(
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
        attempt.segment->answerDue = {};
        attempt.firstChunk = static_cast<std::int64_t>(length);
        attempt.seen.emplace_back(*attempt.firstByte, attempt.firstChunk);
        noteLatency(attempt);
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
    // Its connection stays open for the next request when the answer ended whole. A piece
    // that came too quickly for a rate to be measured still shows a fast connection.
    if (code == CURLE_OK && attempt.firstByte && idleRates_.size() < HostConnections::kMostPerHost) {
        const double lifetime = std::max(secondsOf(now - *attempt.firstByte), 0.001);
        idleRates_.push_back(segment.rate > 0 ? segment.rate : static_cast<double>(attempt.bytes) / lifetime);
    }
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
    } else if (!segment.finished() && code == CURLE_OK && answeredInFull(attempt.http->head(), attempt.at)) {
        // The server sent a shorter part than asked for, all of it: ask for the rest.
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
    if (now - lastSample_ < kSampleEvery) return;
    lastSample_ = now;
    checkLeads();
    const auto answerWait = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(2 * latency_));
    readRates(now, answerWait);
    endSlowRaces(now, answerWait);
    totals_.emplace_back(now, context_.meter.done());
    while (totals_.size() > 2 && now - totals_[1].first >= std::chrono::seconds(1)) totals_.pop_front();
    // A job held to a rate keeps the connections it started with: more cannot raise its total.
    if (!context_.pacer) judgeConnectionCount(now);
}

void RangeFetch::readRates(Clock::time_point now, Clock::duration answerWait) {
    for (auto& attempt : attempts_) {
        if (!attempt.firstByte) {
            // No answer long after the usual wait: as far as anyone knows, it brings nothing.
            if (now - attempt.started >= kShortestRateWindow + answerWait) attempt.segment->rate = 0;
            continue;
        }
        // The rate over the last window, counted from after the first delivery: that one
        // holds what piled up while the head was on its way and says nothing of the rate.
        auto& seen = attempt.seen;
        seen.emplace_back(now, attempt.bytes);
        while (seen.size() > 2 && now - seen[1].first >= kRateWindow) seen.pop_front();
        const auto window = now - seen.front().first;
        if (window < kShortestRateWindow) continue;
        attempt.segment->rate = static_cast<double>(attempt.bytes - seen.front().second) / secondsOf(window);
    }
}

// A racer that turns out far slower than the best connection gives way, so that another can
// try.
void RangeFetch::endSlowRaces(Clock::time_point now, Clock::duration answerWait) {
    const double fastest = fastestRate();
    for (auto& attempt : attempts_) {
        Segment& segment = *attempt.segment;
        if (!segment.racing) continue;
        const bool slow = attempt.firstByte ? now - *attempt.firstByte >= kRacerTrial && segment.rate >= 0 && segment.rate * 4 < fastest
                                            : now - attempt.started >= kRacerTrial + answerWait;
        if (!slow) continue;
        segment.racing->racer = nullptr;
        segment.racing = nullptr;
        segment.end = segment.next;  // dropped as overtaken
    }
}

double RangeFetch::rateSinceFirstByte(const Attempt& attempt, Clock::time_point now) {
    return static_cast<double>(attempt.bytes - attempt.firstChunk) / secondsOf(now - *attempt.firstByte);
}

// Once every connection delivers: a step is judged, or a doubt about a fallback settled.
void RangeFetch::judgeConnectionCount(Clock::time_point now) {
    const int active = static_cast<int>(attempts_.size());
    if (active < ramp_->want() || (!ramp_->growing() && !ramp_->doubting())) return;
    Clock::time_point newest{};
    for (const auto& attempt : attempts_) {
        if (!attempt.firstByte) return;
        newest = std::max(newest, *attempt.firstByte);
    }
    if (now - newest < kRampWindow) return;
    double rate = 0;
    if (ramp_->growing()) {
        // A step is judged by what each connection brought since its first byte: a server
        // that lets answers burst and then holds them back evens out over that span, where a
        // short window would catch the burst or the pause after it.
        for (const auto& attempt : attempts_) rate += rateSinceFirstByte(attempt, now);
    } else {
        // A doubt is settled over a longer window of the whole job, which may hold the short
        // hand-over of a piece.
        const auto from = std::find_if(totals_.rbegin(), totals_.rend(), [&](const auto& t) { return now - t.first >= kSteadyWindow; });
        if (from == totals_.rend() || from->first < countChanged_) return;
        rate = static_cast<double>(context_.meter.done() - from->second) / secondsOf(now - from->first);
    }
    const int before = ramp_->want();
    if (ramp_->growing()) ramp_->measured(active, rate);
    else ramp_->steady(active, rate);
    if (ramp_->want() != before) countChanged_ = now;
}

// Connections beyond what the path was found worth end, the slowest first; their pieces wait
// for the faster ones.
void RangeFetch::shedSlowest() {
    while (static_cast<int>(attempts_.size()) > ramp_->want()) {
        auto slowest = attempts_.end();
        for (auto it = attempts_.begin(); it != attempts_.end(); ++it) {
            const Segment& segment = *it->segment;
            if (segment.racer || segment.racing) continue;
            if (slowest == attempts_.end() || segment.rate < slowest->segment->rate) slowest = it;
        }
        if (slowest == attempts_.end()) return;
        drop(*slowest);
        attempts_.erase(slowest);
    }
}

// The first step need not wait for every starting connection: the rate of those already
// delivering, each since its first byte, is what the step is judged against.
void RangeFetch::measureFirstRate(Clock::time_point now) {
    int delivering = 0;
    double rate = 0;
    for (const auto& attempt : attempts_) {
        if (!attempt.firstByte || now - *attempt.firstByte < kFirstRateWindow) continue;
        ++delivering;
        rate += rateSinceFirstByte(attempt, now);
    }
    if (delivering == 0) return;
    ramp_->measured(delivering, rate);
    countChanged_ = now;
}

void RangeFetch::noteLatency(const Attempt& attempt) {
    curl_off_t micros = 0;
    if (curl_easy_getinfo(attempt.http->handle(), CURLINFO_STARTTRANSFER_TIME_T, &micros) != CURLE_OK || micros <= 0) return;
    const double seconds = static_cast<double>(micros) / 1e6;
    latency_ = latency_ > 0 ? 0.7 * latency_ + 0.3 * seconds : seconds;
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
    for (const double rate : idleRates_) {
        sum += rate;
        ++known;
    }
    return known ? sum / known : 0;
}

double RangeFetch::fastestRate() const {
    double fastest = idleRates_.empty() ? 0 : *std::max_element(idleRates_.begin(), idleRates_.end());
    for (const auto& attempt : attempts_) fastest = std::max(fastest, attempt.segment->rate);
    return fastest;
}

void RangeFetch::fail(const std::string& error, Problem problem) {
    if (!error_.empty()) return;
    error_ = error;
    problem_ = problem;
}

PhaseResult RangeFetch::finish(PhaseStatus status) {
    for (auto& attempt : attempts_) drop(attempt);
    attempts_.clear();
    context_.meter.setConnections(0);
    PhaseResult result;
    result.status = status;
    result.error = error_;
    result.resourceChanged = problem_ == Problem::Changed;
    result.expired = problem_ == Problem::Expired;
    if (status == PhaseStatus::Complete && lengthDisagreed_) result.warning = kDisagreedText;
    return result;
}

std::chrono::milliseconds RangeFetch::nextWake(Clock::time_point now) const {
    // While connections run, rates are read and pieces handed round on time even when a slow
    // connection's bytes come seldom.
    const std::chrono::milliseconds longest =
        attempts_.empty() ? kLoopTick : std::chrono::duration_cast<std::chrono::milliseconds>(kSampleEvery);
    const auto retry = plan_->earliestRetry();
    if (!retry || *retry <= now) return longest;
    return std::min(longest, std::chrono::ceil<std::chrono::milliseconds>(*retry - now));
}

}  // namespace zenvira::components
