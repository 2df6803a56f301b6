#pragma once
// What a download over several connections does next, decided from what its connections
// report and the time it is told: which piece a new connection takes and what it may expect
// (SegmentPlan), how many connections run (ConnectionRamp), which connection ends (a race
// lost or given up, a piece handed over, one more than the path is worth), when the journal
// is written and when to look again. It owns no network, file or clock: the range fetch
// reports first bytes, deliveries and ends, and turns the answers into transfers, so every
// decision can be replayed with made-up times.
//
// Rates are read every kSampleEvery over the last kRateWindow, counted from after each
// connection's first delivery (which holds what piled up while the head was on its way).
// A step of the ramp is judged once the connections it added all deliver: the first step
// against the connections already delivering for kFirstRateWindow, later ones over
// kRampWindow, a doubt about a fallback over kSteadyWindow of the whole job.
#include <chrono>
#include <cstdint>
#include <deque>
#include <list>
#include <optional>
#include <utility>
#include <vector>

#include "engine/policy/connection_ramp.h"
#include "engine/policy/journal_cadence.h"
#include "engine/policy/segment_plan.h"

namespace zenvira::components {

class SchedulingPolicy {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr auto kSampleEvery = std::chrono::milliseconds(10);
    static constexpr auto kRateWindow = std::chrono::milliseconds(150);
    // A rate is not trusted before its connection has delivered this long.
    static constexpr auto kShortestRateWindow = std::chrono::milliseconds(10);
    static constexpr auto kRampWindow = std::chrono::milliseconds(60);
    static constexpr auto kSteadyWindow = std::chrono::milliseconds(150);
    // A racer slower than a quarter of the fastest connection over this long gives way, as
    // does one still without an answer this long after the usual wait for one.
    static constexpr auto kRacerTrial = std::chrono::milliseconds(30);
    static constexpr auto kFirstRateWindow = std::chrono::milliseconds(6);
    // A wanted region a running connection reaches within this long needs no piece of its own.
    static constexpr double kWantedReachSeconds = 1.0;

    // One connection on a piece, as far as the decisions go.
    struct Connection {
        Segment* segment = nullptr;
        std::int64_t requestEnd = 0;  // one past the last byte its request asked for
        std::int64_t bytes = 0;  // body bytes it brought
        std::int64_t firstChunk = 0;  // bytes of its first delivery, which waited for the head
        // (when, bytes brought) since the first byte, over the last rate window.
        std::deque<std::pair<Clock::time_point, std::int64_t>> seen;
        Clock::time_point started{};
        std::optional<Clock::time_point> firstByte;
        // Its answer waited paused before the job took it on: its first bytes are a backlog.
        bool held = false;
    };
    // A connection to open: the piece it takes and the rate it is expected to bring (0: not
    // known yet).
    struct Start {
        Segment* segment = nullptr;
        double expectedRate = 0;
    };

    // `start`: the connections the job starts with; `ceiling`: the most it may have.
    // `paced`: the job is held to a total rate, so more connections cannot raise it and the
    // count stays where it starts. `doneBytes`: what is done at `now`, the journal's start.
    SchedulingPolicy(const std::vector<ByteRange>& missing, int start, int ceiling, std::int64_t minSegment,
                     RetryPolicy retry, bool paced, Clock::time_point now, std::int64_t doneBytes = 0);
    SchedulingPolicy(const SchedulingPolicy&) = delete;
    SchedulingPolicy& operator=(const SchedulingPolicy&) = delete;

    SegmentPlan& plan() { return plan_; }
    const SegmentPlan& plan() const { return plan_; }
    const ConnectionRamp& ramp() const { return ramp_; }
    const std::list<Connection>& connections() const { return connections_; }

    // What the connections report.
    // A request for [.., requestEnd) went out on `segment`.
    Connection& opened(Segment& segment, std::int64_t requestEnd, double expectedRate, Clock::time_point now);
    // `connection` goes on with an answer that was held paused (the page read's).
    void answerWasHeld(Connection& connection) { connection.held = true; }
    // Its first body bytes came, `secondsToFirstByte` after the request (0: not known).
    void answered(Connection& connection, std::int64_t firstChunk, double secondsToFirstByte, Clock::time_point now);
    void delivered(Connection& connection, std::int64_t bytes) { connection.bytes += bytes; }
    // Its transfer ended; `whole`: the answer came to its end, so the connection stays open for
    // the next request and its rate is what that one can expect. The connection is forgotten.
    void closed(Connection& connection, bool whole, Clock::time_point now);
    // It was ended from here (overtaken, shed, or the job ends). The connection is forgotten.
    void dropped(Connection& connection);
    // A server asked for fewer requests (429, 503) in its answer to a request sent at `sent`.
    // The answers to the requests of one crowd halve the count once: those sent before the
    // last halving ask again what was answered already.
    void serverBusy(Clock::time_point sent, Clock::time_point now);
    // Where players read next (each region from its first missing byte): pieces start there
    // and take the connections first, one more than the count allows when all are busy, and
    // the slowest other connection ends to make room.
    void steer(const std::vector<ByteRange>& wanted) { plan_.steer(wanted, kWantedReachSeconds); }
    // The most connections the job may have changed; those beyond it end, the slowest first.
    void setCeiling(int ceiling) {
        ceiling_ = std::max(ceiling, 1);
        ramp_.setCeiling(ceiling_);
    }
    // The job is stopped: nothing more starts.
    void cancel() { cancelled_ = true; }

    // What to do.
    bool cancelled() const { return cancelled_; }
    bool finished() const { return plan_.allFinished(); }
    // How many connections to open now; the pieces of those opening together are planned to
    // end together, with those running.
    int planStarts(Clock::time_point now);
    // Whether the count wants one more connection than runs.
    bool wantsMore() const {
        const int running = static_cast<int>(connections_.size());
        return !cancelled_ && (running < ramp_.want() || (running < ceiling_ && plan_.wantedWaiting()));
    }
    // The piece for the first connection: the probe's answer from byte 0 goes on as it.
    Segment* firstPiece(Clock::time_point now) { return plan_.takeNext(now); }
    // The piece for the next connection to open, or none (then none opens this turn).
    std::optional<Start> nextStart(Clock::time_point now);
    // Whether `connection` should end now: its piece was taken over (a race lost or given
    // up, the rest handed to another), and a slow one's next bytes may take long.
    bool overtaken(const Connection& connection) const;
    // The connection to end because more run than the path is worth (the slowest that is
    // not racing), or none.
    const Connection* toShed() const;
    // Once a turn of the loop: reads the rates when due, ends slow races, judges the count.
    void turn(Clock::time_point now, std::int64_t doneBytes);
    bool sampleDue(Clock::time_point now) const { return now - lastSample_ >= kSampleEvery; }
    // Whether the journal should be offered the done ranges now.
    bool journalDue(Clock::time_point now, std::int64_t doneBytes) { return journal_.due(now, doneBytes); }
    // How long the loop may wait for its transfers before it looks again.
    std::chrono::milliseconds nextWake(Clock::time_point now, std::chrono::milliseconds idleWait) const;
    // The connection count the job found the host worth, once the ramp has judged it.
    std::optional<int> settledCount() const;

private:
    void sample(Clock::time_point now, std::int64_t doneBytes);
    void readRates(Clock::time_point now, Clock::duration answerWait);
    void endSlowRaces(Clock::time_point now, Clock::duration answerWait);
    void judgeConnectionCount(Clock::time_point now, std::int64_t doneBytes);
    void measureFirstRate(Clock::time_point now);
    static double rateSinceFirstByte(const Connection& connection, Clock::time_point now);
    double typicalRate() const;
    double fastestRate() const;
    void forget(const Connection& connection);

    SegmentPlan plan_;
    ConnectionRamp ramp_;
    int ceiling_;
    bool paced_;
    bool cancelled_ = false;
    std::list<Connection> connections_;  // a list: the range fetch holds references to them
    JournalCadence journal_;
    Clock::time_point lastSample_;
    std::deque<std::pair<Clock::time_point, std::int64_t>> totals_;  // done bytes over the last second
    Clock::time_point countChanged_{};  // when the ramp last changed the connection count
    std::optional<Clock::time_point> halved_;  // when a busy server last halved the count
    double latency_ = 0;  // seconds from a request to its first byte, smoothed
    // Rates of connections whose transfer ended whole: libcurl hands a new request the
    // connection that just fell idle, so its rate is what the next piece can expect.
    std::vector<double> idleRates_;
    // Planned for the connections opening together in this turn.
    std::int64_t fairShare_ = 0;
    double together_ = 0;
};

}  // namespace zenvira::components
