#include "components/downloader/segment_plan.h"

#include <algorithm>

namespace zenvira::components {

namespace {

// Splitting smaller pieces costs a request and a connection for too little gain.
constexpr std::int64_t kSmallestSplit = 256 * 1024;

std::int64_t totalOf(const std::vector<ByteRange>& ranges) {
    std::int64_t sum = 0;
    for (const auto& range : ranges) sum += range.length();
    return sum;
}

}  // namespace

SegmentPlan::SegmentPlan(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment,
                         RetryPolicy policy)
    : minSegment_(std::max<std::int64_t>(minSegment, 0)), policy_(policy) {
    const std::int64_t total = totalOf(missing);
    const std::int64_t worth = minSegment_ > 0 ? total / minSegment_ : maxConnections;
    connections_ = static_cast<int>(std::clamp<std::int64_t>(worth, 1, std::max(maxConnections, 1)));
    const std::int64_t pieceSize = std::max<std::int64_t>((total + connections_ - 1) / connections_, 1);
    for (const auto& range : missing)
        for (std::int64_t at = range.begin; at < range.end; at += pieceSize)
            segments_.push_back(std::make_unique<Segment>(Segment{at, std::min(range.end, at + pieceSize)}));
}

Segment* SegmentPlan::takeNext(Clock::time_point now) {
    for (auto& segment : segments_)
        if (!segment->active && !segment->finished() && segment->notBefore <= now) return segment.get();
    for (auto& segment : segments_)
        if (!segment->active && !segment->finished()) return nullptr;  // one is waiting for its back-off
    return splitLargestActive();
}

Segment* SegmentPlan::splitLargestActive() {
    Segment* largest = nullptr;
    for (auto& segment : segments_)
        if (segment->active && (!largest || segment->left() > largest->left())) largest = segment.get();
    const std::int64_t smallest = std::max(minSegment_, kSmallestSplit);
    if (!largest || largest->left() < 2 * smallest) return nullptr;
    const std::int64_t middle = largest->next + largest->left() / 2;
    auto tail = std::make_unique<Segment>(Segment{middle, largest->end});
    largest->end = middle;
    segments_.push_back(std::move(tail));
    return segments_.back().get();
}

bool SegmentPlan::scheduleRetry(Segment& segment, std::int64_t progressed, Clock::time_point now) {
    if (progressed >= policy_.progressThatResets) segment.failures = 0;
    ++segment.failures;
    if (segment.failures > policy_.maxRetries) return false;
    segment.notBefore = now + policy_.firstBackOff * (1 << (segment.failures - 1));
    return true;
}

bool SegmentPlan::allFinished() const {
    return std::all_of(segments_.begin(), segments_.end(), [](const auto& s) { return s->finished(); });
}

std::optional<SegmentPlan::Clock::time_point> SegmentPlan::earliestRetry() const {
    std::optional<Clock::time_point> earliest;
    for (const auto& segment : segments_)
        if (!segment->active && !segment->finished() && (!earliest || segment->notBefore < *earliest))
            earliest = segment->notBefore;
    return earliest;
}

ByteRanges SegmentPlan::missing() const {
    ByteRanges ranges;
    for (const auto& segment : segments_) ranges.add({segment->next, segment->end});
    return ranges;
}

}  // namespace zenvira::components
