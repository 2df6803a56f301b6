#include "engine/policy/scheduling_policy.h"

#include <algorithm>

namespace zenvira::components {

namespace {

double secondsOf(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

std::chrono::steady_clock::duration durationOf(double seconds) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

SchedulingPolicy::SchedulingPolicy(const std::vector<ByteRange>& missing, int start, int ceiling,
                                   std::int64_t minSegment, RetryPolicy retry, bool paced, Clock::time_point now,
                                   std::int64_t doneBytes)
    : plan_(missing, start, minSegment, retry),
      ramp_(plan_.connections(), ceiling),
      ceiling_(std::max(ceiling, 1)),
      paced_(paced),
      journal_(now, doneBytes),
      lastSample_(now) {}

SchedulingPolicy::Connection& SchedulingPolicy::opened(Segment& segment, std::int64_t requestEnd, double expectedRate,
                                                       Clock::time_point now) {
    Connection& connection = connections_.emplace_back();
    connection.segment = &segment;
    connection.requestEnd = requestEnd;
    connection.started = now;
    segment.active = true;
    // Until it is measured, the piece goes by what its connection brought before.
    segment.rate = expectedRate > 0 ? expectedRate : -1;
    return connection;
}

void SchedulingPolicy::answered(Connection& connection, std::int64_t firstChunk, double secondsToFirstByte,
                                Clock::time_point now) {
    connection.firstByte = now;
    connection.segment->answerDue = {};
    connection.firstChunk = firstChunk;
    connection.seen.emplace_back(now, firstChunk);
    if (secondsToFirstByte > 0)
        latency_ = latency_ > 0 ? 0.7 * latency_ + 0.3 * secondsToFirstByte : secondsToFirstByte;
}

void SchedulingPolicy::closed(Connection& connection, bool whole, Clock::time_point now) {
    Segment& segment = *connection.segment;
    // A piece that came too quickly for a rate to be measured still shows a fast connection.
    if (whole && connection.firstByte && static_cast<int>(idleRates_.size()) < ceiling_) {
        const double lifetime = std::max(secondsOf(now - *connection.firstByte), 0.001);
        idleRates_.push_back(segment.rate > 0 ? segment.rate : static_cast<double>(connection.bytes) / lifetime);
    }
    forget(connection);
}

void SchedulingPolicy::dropped(Connection& connection) { forget(connection); }

void SchedulingPolicy::forget(const Connection& connection) {
    connection.segment->active = false;
    connection.segment->rate = -1;
    connections_.remove_if([&connection](const Connection& c) { return &c == &connection; });
}

void SchedulingPolicy::serverBusy(Clock::time_point sent, Clock::time_point now) {
    if (halved_ && sent < *halved_) return;
    halved_ = now;
    ramp_.serverAskedForFewer();
}

int SchedulingPolicy::planStarts(Clock::time_point now) {
    if (cancelled_) return 0;
    const int running = static_cast<int>(connections_.size());
    const int starting = wantsMore() ? std::max(ramp_.want() - running, 1) : 0;
    if (starting <= 0) return 0;
    // When the first byte of each connection still waiting for one is due, by what answers
    // take now.
    const auto wait = durationOf(latency_);
    for (auto& connection : connections_)
        if (!connection.firstByte) connection.segment->answerDue = connection.started + wait;
    // Connections starting together are planned to end together with those running: by when
    // all of them, each from its first byte at its rate, have brought what is left.
    together_ = 0;
    fairShare_ = 0;
    const double typical = typicalRate();
    if (starting > 1 && typical > 0) {
        double rates = starting * typical;
        double lost = starting * typical * latency_;  // the newcomers' wait
        for (const auto& connection : connections_) {
            const Segment& segment = *connection.segment;
            const double rate = segment.rate >= 0 ? segment.rate : typical;
            rates += rate;
            lost += rate * segment.waitLeft(now);
        }
        together_ = (static_cast<double>(plan_.left()) + lost) / rates;
        fairShare_ = static_cast<std::int64_t>(typical * std::max(0.0, together_ - latency_));
    }
    return starting;
}

std::optional<SchedulingPolicy::Start> SchedulingPolicy::nextStart(Clock::time_point now) {
    if (!wantsMore()) return std::nullopt;
    Newcomer newcomer{0, typicalRate(), latency_, fairShare_, together_};
    if (!idleRates_.empty()) newcomer.rate = idleRates_.back();
    Segment* segment = plan_.takeNext(now, newcomer);
    if (!segment) return std::nullopt;
    if (!idleRates_.empty()) idleRates_.pop_back();
    return Start{segment, newcomer.rate};
}

bool SchedulingPolicy::overtaken(const Connection& connection) const {
    return connection.segment->finished() && connection.requestEnd > connection.segment->end;
}

// Connections beyond what the path was found worth end, the slowest first; their pieces wait
// for the faster ones.
const SchedulingPolicy::Connection* SchedulingPolicy::toShed() const {
    const int running = static_cast<int>(connections_.size());
    const bool makeRoom = running >= ceiling_ && plan_.wantedWaiting();
    if (running <= ramp_.want() && !makeRoom) return nullptr;
    const Connection* slowest = nullptr;
    for (const auto& connection : connections_) {
        const Segment& segment = *connection.segment;
        if (segment.racer || segment.racing || segment.wanted) continue;
        if (!slowest || segment.rate < slowest->segment->rate) slowest = &connection;
    }
    return slowest;
}

void SchedulingPolicy::turn(Clock::time_point now, std::int64_t doneBytes) {
    // Every turn until it is known: each millisecond earlier is one more at full speed.
    if (!paced_ && ramp_.growing() && !ramp_.hasBaseline()) measureFirstRate(now);
    if (sampleDue(now)) sample(now, doneBytes);
}

void SchedulingPolicy::sample(Clock::time_point now, std::int64_t doneBytes) {
    lastSample_ = now;
    const auto answerWait = durationOf(2 * latency_);
    readRates(now, answerWait);
    endSlowRaces(now, answerWait);
    totals_.emplace_back(now, doneBytes);
    while (totals_.size() > 2 && now - totals_[1].first >= std::chrono::seconds(1)) totals_.pop_front();
    // A job held to a rate keeps the connections it started with: more cannot raise its total.
    if (!paced_) judgeConnectionCount(now, doneBytes);
}

void SchedulingPolicy::readRates(Clock::time_point now, Clock::duration answerWait) {
    for (auto& connection : connections_) {
        if (!connection.firstByte) {
            // No answer long after the usual wait: as far as anyone knows, it brings nothing.
            if (now - connection.started >= kShortestRateWindow + answerWait) connection.segment->rate = 0;
            continue;
        }
        // The rate over the last window, counted from after the first delivery: that one
        // holds what piled up while the head was on its way and says nothing of the rate.
        auto& seen = connection.seen;
        seen.emplace_back(now, connection.bytes);
        while (seen.size() > 2 && now - seen[1].first >= kRateWindow) seen.pop_front();
        const auto window = now - seen.front().first;
        if (window < kShortestRateWindow) continue;
        connection.segment->rate = static_cast<double>(connection.bytes - seen.front().second) / secondsOf(window);
    }
}

// A racer that turns out far slower than the best connection gives way, so that another can
// try.
void SchedulingPolicy::endSlowRaces(Clock::time_point now, Clock::duration answerWait) {
    const double fastest = fastestRate();
    for (auto& connection : connections_) {
        Segment& segment = *connection.segment;
        if (!segment.racing) continue;
        const bool slow = connection.firstByte ? now - *connection.firstByte >= kRacerTrial && segment.rate >= 0 &&
                                                     segment.rate * 4 < fastest
                                               : now - connection.started >= kRacerTrial + answerWait;
        if (!slow) continue;
        segment.racing->racer = nullptr;
        segment.racing = nullptr;
        segment.end = segment.next;  // overtaken: its connection ends
    }
}

double SchedulingPolicy::rateSinceFirstByte(const Connection& connection, Clock::time_point now) {
    return static_cast<double>(connection.bytes - connection.firstChunk) / secondsOf(now - *connection.firstByte);
}

// Once every connection delivers: a step is judged, or a doubt about a fallback settled.
void SchedulingPolicy::judgeConnectionCount(Clock::time_point now, std::int64_t doneBytes) {
    const int active = static_cast<int>(connections_.size());
    if (active < ramp_.want() || (!ramp_.growing() && !ramp_.doubting())) return;
    double rate = 0;
    if (ramp_.growing()) {
        Clock::time_point newest{};
        for (const auto& connection : connections_) {
            if (!connection.firstByte) return;
            newest = std::max(newest, *connection.firstByte);
        }
        if (now - newest < kRampWindow) return;
        // A step is judged by what each connection brought since its first byte: a server
        // that lets answers burst and then holds them back evens out over that span, where a
        // short window would catch the burst or the pause after it.
        for (const auto& connection : connections_) rate += rateSinceFirstByte(connection, now);
    } else {
        // A doubt is settled over a longer window of the whole job, which may hold the short
        // hand-over of a piece: a few connections handing pieces on, each waiting for its
        // answer, are seldom all delivering at once, and must not keep the doubt from its end.
        const auto from = std::find_if(totals_.rbegin(), totals_.rend(),
                                       [&](const auto& t) { return now - t.first >= kSteadyWindow; });
        if (from == totals_.rend() || from->first < countChanged_) return;
        rate = static_cast<double>(doneBytes - from->second) / secondsOf(now - from->first);
    }
    const int before = ramp_.want();
    if (ramp_.growing())
        ramp_.measured(active, rate);
    else
        ramp_.steady(active, rate);
    if (ramp_.want() != before) countChanged_ = now;
}

// The first step need not wait for every starting connection: the rate of those already
// delivering, each since its first byte, is what the step is judged against. An answer that
// waited paused first brings what piled up meanwhile, as fast as memory: it is measured only
// when no other connection can be, and then over a whole rate window.
void SchedulingPolicy::measureFirstRate(Clock::time_point now) {
    const bool othersOpen =
        std::any_of(connections_.begin(), connections_.end(), [](const Connection& c) { return !c.held; });
    int delivering = 0;
    double rate = 0;
    for (const auto& connection : connections_) {
        if (connection.held && othersOpen) continue;
        const auto window = connection.held ? kRateWindow : kFirstRateWindow;
        if (!connection.firstByte || now - *connection.firstByte < window) continue;
        ++delivering;
        rate += rateSinceFirstByte(connection, now);
    }
    if (delivering == 0) return;
    ramp_.measured(delivering, rate);
    countChanged_ = now;
}

double SchedulingPolicy::typicalRate() const {
    double sum = 0;
    int known = 0;
    for (const auto& connection : connections_) {
        if (connection.segment->rate < 0) continue;
        sum += connection.segment->rate;
        ++known;
    }
    for (const double rate : idleRates_) {
        sum += rate;
        ++known;
    }
    return known ? sum / known : 0;
}

double SchedulingPolicy::fastestRate() const {
    double fastest = idleRates_.empty() ? 0 : *std::max_element(idleRates_.begin(), idleRates_.end());
    for (const auto& connection : connections_) fastest = std::max(fastest, connection.segment->rate);
    return fastest;
}

std::chrono::milliseconds SchedulingPolicy::nextWake(Clock::time_point now, std::chrono::milliseconds idleWait) const {
    // While connections run, rates are read and pieces handed round on time even when a slow
    // connection's bytes come seldom.
    const std::chrono::milliseconds longest =
        connections_.empty() ? idleWait : std::chrono::duration_cast<std::chrono::milliseconds>(kSampleEvery);
    const auto retry = plan_.earliestRetry();
    if (!retry || *retry <= now) return longest;
    return std::min(longest, std::chrono::ceil<std::chrono::milliseconds>(*retry - now));
}

std::optional<int> SchedulingPolicy::settledCount() const {
    if (paced_ || ramp_.growing()) return std::nullopt;
    return ramp_.want();
}

}  // namespace zenvira::components
