#pragma once
// Which connection fetches which bytes. The missing bytes are cut into one piece per
// connection; a connection that runs out of work takes over the back half of the largest
// piece still being fetched, so all connections finish at about the same time. A piece whose
// connection broke off waits for a growing back-off and is then taken up where it stopped.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "components/downloader/byte_ranges.h"

namespace zenvira::components {

struct Segment {
    std::int64_t next = 0;  // first byte still missing
    std::int64_t end = 0;   // one past the last byte of this piece
    int failures = 0;       // attempts in a row that broke off
    std::chrono::steady_clock::time_point notBefore{};
    bool active = false;

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

    // `minSegment`: the smallest piece worth its own connection (0: no minimum).
    SegmentPlan(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment,
                RetryPolicy policy = {});

    // How many connections the missing bytes are worth.
    int connections() const { return connections_; }

    // A piece to start now, or nullptr: a piece waiting for its turn or back-off, else the
    // back half of the largest piece in flight.
    Segment* takeNext(Clock::time_point now);
    // An attempt on `segment` ended before its end; false when it has had its tries.
    bool scheduleRetry(Segment& segment, std::int64_t progressed, Clock::time_point now);

    bool allFinished() const;
    std::optional<Clock::time_point> earliestRetry() const;
    ByteRanges missing() const;

private:
    Segment* splitLargestActive();

    std::vector<std::unique_ptr<Segment>> segments_;
    int connections_ = 1;
    std::int64_t minSegment_ = 0;
    RetryPolicy policy_;
};

}  // namespace zenvira::components
