#pragma once
// Which connection fetches which bytes. The missing bytes start as one piece per connection
// the start is worth. A connection out of work takes over the part of another piece that
// would finish last: the piece is split so that both finish about together, going by their
// rates, so a slow connection hands back most of what it holds. A piece too small to split
// whose connection is far slower than a fresh one would be is raced: a second connection
// fetches the same bytes, and whichever gets ahead wins; the other is cancelled. A piece
// whose connection broke off waits for a growing back-off and is taken up where it stopped.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "components/downloader/byte_ranges.h"

namespace zenvira::components {

struct Segment {
    std::int64_t begin = 0;  // first byte of the piece as it was handed out
    std::int64_t next = 0;   // first byte still missing
    std::int64_t end = 0;    // one past the last byte of this piece
    int failures = 0;        // attempts in a row that broke off
    std::chrono::steady_clock::time_point notBefore{};
    bool active = false;
    double rate = -1;           // bytes a second of the connection on it now; -1 while unknown
    Segment* racing = nullptr;  // the slower piece this one races for the same bytes
    Segment* racer = nullptr;   // the piece racing this one

    bool finished() const { return next >= end; }
    std::int64_t left() const { return end - next; }
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

    // Splitting smaller pieces costs a request and a connection for too little gain.
    static constexpr std::int64_t kSmallestSplit = 256 * 1024;

    // `minSegment`: the smallest piece worth its own connection at the start (0: no minimum).
    SegmentPlan(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment,
                RetryPolicy policy = {});

    // How many connections the missing bytes are worth at the start.
    int connections() const { return connections_; }

    // A piece to start now, or nullptr: a piece waiting for its turn, else the part of a
    // piece in flight that would finish last, else a race of a slow one. `typicalRate` is
    // what a connection of this download brings (bytes a second; 0 while unknown).
    // `fairShare`: the most a new piece takes when many connections start at once, so that
    // they end up with even pieces (0: no limit).
    Segment* takeNext(Clock::time_point now, double typicalRate = 0, std::int64_t fairShare = 0);
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
    Segment* splitOrRace(double typicalRate, std::int64_t fairShare);

    std::vector<std::unique_ptr<Segment>> segments_;
    int connections_ = 1;
    RetryPolicy policy_;
};

}  // namespace zenvira::components
