#pragma once
// Which connection fetches which bytes. The missing bytes start as one piece per connection
// the start is worth. A connection out of work takes over the part of another piece that
// would finish last: the piece is split so that both finish together, going by their rates
// and by the newcomer's wait for its first byte, so a slow connection hands back most of what
// it holds and a piece is not split when the wait would eat the gain. A piece whose connection
// is far slower than the newcomer and too small to split is raced: a second connection
// fetches the same bytes, and whichever gets ahead wins; the other is cancelled. A piece
// whose connection broke off waits for a growing back-off and is taken up where it stopped.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/policy/byte_ranges.h"

namespace zenvira::components {

struct Segment {
    std::int64_t begin = 0;  // first byte of the piece as it was handed out
    std::int64_t next = 0;   // first byte still missing
    std::int64_t end = 0;    // one past the last byte of this piece
    int failures = 0;        // attempts in a row that broke off
    std::chrono::steady_clock::time_point notBefore{};
    bool active = false;
    double rate = -1;           // bytes a second of the connection on it now; -1 while unknown
    std::chrono::steady_clock::time_point answerDue{};  // while its first byte is awaited: when it is due
    Segment* racing = nullptr;  // the slower piece this one races for the same bytes
    Segment* racer = nullptr;   // the piece racing this one
    bool wanted = false;        // someone watching reads here next: taken before the others

    bool finished() const { return next >= end; }
    // Seconds its connection still waits for its first byte.
    double waitLeft(std::chrono::steady_clock::time_point now) const {
        return answerDue > now ? std::chrono::duration<double>(answerDue - now).count() : 0;
    }
    std::int64_t left() const { return end - next; }
};

// What is known of the connection about to take a piece.
struct Newcomer {
    double rate = 0;          // bytes a second it is expected to bring; 0: as a typical one
    double typicalRate = 0;   // what a connection of this download brings; 0: unknown
    double latency = 0;       // seconds from a request to its first byte
    // The most a new piece takes when many connections start at once, so that they end up
    // with even pieces (0: no limit).
    std::int64_t fairShare = 0;
    // When many start at once: seconds from now by which all are planned to end (0: none).
    // Each takes its share from the piece that holds most beyond what its own connection
    // brings by then.
    double endTogether = 0;

    double expectedRate() const { return rate > 0 ? rate : typicalRate; }
};

struct RetryPolicy {
    int maxRetries = 5;
    std::chrono::milliseconds firstBackOff{200};  // doubled after each further failure
    // An attempt that brought this much before breaking off counts as a working connection.
    std::int64_t progressThatResets = 1 << 20;
};

class SegmentPlan {
public:
    using Clock = std::chrono::steady_clock;

    // A newcomer's share smaller than this is not worth its request.
    static constexpr std::int64_t kSmallestSplit = 64 * 1024;

    // `minSegment`: the smallest piece worth its own connection at the start (0: no minimum).
    SegmentPlan(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment,
                RetryPolicy policy = {});

    // How many connections the missing bytes are worth at the start.
    int connections() const { return connections_; }

    // A piece to start now, or nullptr: a piece waiting for its turn, else the part of a
    // piece in flight that would finish last, else a race of a slow one.
    Segment* takeNext(Clock::time_point now, const Newcomer& newcomer = {});
    // Makes a piece start at the first missing byte of each wanted region (where a player
    // reads next), unless the connection on the piece that holds it reaches it within
    // `reachSeconds`; those pieces are marked wanted, and takeNext gives them first.
    void steer(const std::vector<ByteRange>& wanted, double reachSeconds);
    // A wanted piece has no connection.
    bool wantedWaiting() const;
    // An attempt on `segment` ended before its end; false when it has had its tries.
    bool scheduleRetry(Segment& segment, std::int64_t progressed, Clock::time_point now);
    // The server asked to wait (Retry-After); counts as a try.
    bool waitFor(Segment& segment, Clock::time_point until);
    // After bytes were written on `segment`: ends a race that is decided.
    static void settleRace(Segment& segment);

    bool allFinished() const;
    std::optional<Clock::time_point> earliestRetry() const;
    ByteRanges missing() const;
    std::int64_t left() const;

private:
    Segment* add(std::int64_t begin, std::int64_t end);
    Segment* splitOrRace(const Newcomer& newcomer, Clock::time_point now);
    Segment* takeShare(const Newcomer& newcomer, Clock::time_point now);

    std::vector<std::unique_ptr<Segment>> segments_;
    int connections_ = 1;
    RetryPolicy policy_;
};

}  // namespace zenvira::components
