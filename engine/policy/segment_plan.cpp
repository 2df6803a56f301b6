#include "engine/policy/segment_plan.h"

#include <algorithm>
#include <cmath>

namespace zenvira::components {

namespace {

std::int64_t totalOf(const std::vector<ByteRange>& ranges) {
    std::int64_t sum = 0;
    for (const auto& range : ranges) sum += range.length();
    return sum;
}

// The smallest share a piece keeps when split: what is in flight on its connection anyway.
constexpr std::int64_t kSmallestKeep = 64 * 1024;
// A race pays when a fresh connection would end the piece this much sooner at least.
constexpr double kRaceGainSeconds = 0.02;

}  // namespace

SegmentPlan::SegmentPlan(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment,
                         RetryPolicy policy)
    : policy_(policy) {
    const std::int64_t total = totalOf(missing);
    minSegment = std::max<std::int64_t>(minSegment, 0);
    const std::int64_t worth = minSegment > 0 ? total / minSegment : maxConnections;
    connections_ = static_cast<int>(std::clamp<std::int64_t>(worth, 1, std::max(maxConnections, 1)));
    const std::int64_t pieceSize = std::max<std::int64_t>((total + connections_ - 1) / connections_, 1);
    for (const auto& range : missing)
        for (std::int64_t at = range.begin; at < range.end; at += pieceSize) add(at, std::min(range.end, at + pieceSize));
}

Segment* SegmentPlan::add(std::int64_t begin, std::int64_t end) {
    segments_.push_back(std::make_unique<Segment>(Segment{begin, begin, end}));
    return segments_.back().get();
}

Segment* SegmentPlan::takeNext(Clock::time_point now, const Newcomer& newcomer) {
    for (auto& segment : segments_)
        if (segment->wanted && !segment->active && !segment->finished() && segment->notBefore <= now)
            return segment.get();
    for (auto& segment : segments_)
        if (!segment->active && !segment->finished() && segment->notBefore <= now) return segment.get();
    for (auto& segment : segments_)
        if (!segment->active && !segment->finished()) return nullptr;  // one is waiting for its back-off
    return splitOrRace(newcomer, now);
}

Segment* SegmentPlan::splitOrRace(const Newcomer& newcomer, Clock::time_point now) {
    // Many starting at once take the shares planned for them.
    if (newcomer.endTogether > 0 && newcomer.fairShare > 0)
        if (Segment* share = takeShare(newcomer, now)) return share;
    // The piece in flight that would end last at its connection's rate. A piece already raced
    // counts when its racer is far slower than the newcomer: the newcomer takes the race over.
    const double typical = newcomer.typicalRate;
    const auto racerOutrun = [&](const Segment& racer) {
        return newcomer.rate > 0 && (racer.rate < 0 || racer.rate * 4 < newcomer.rate);
    };
    Segment* last = nullptr;
    double lastEta = -1;
    for (auto& segment : segments_) {
        if (!segment->active || segment->finished() || segment->racing) continue;
        if (segment->racer && !racerOutrun(*segment->racer)) continue;
        const double rate = segment->rate >= 0 ? segment->rate : (typical > 0 ? typical : 1);
        const double eta = rate > 0 ? segment->waitLeft(now) + static_cast<double>(segment->left()) / rate : 1e18;
        if (!last || eta > lastEta) {
            last = segment.get();
            lastEta = eta;
        }
    }
    if (!last) return nullptr;
    const double theirs = last->rate >= 0 ? last->rate : typical;
    const double fresh = newcomer.expectedRate() > 0 ? newcomer.expectedRate() : theirs;
    const double left = static_cast<double>(last->left());
    if (!last->racer) {
        // Both end together: the old connection keeps k bytes, the newcomer starts after its
        // wait and takes the rest, w + k / theirs = latency + (left - k) / fresh, where w is
        // what the old one still waits for its own first byte.
        double keep = left / 2;
        const double head = newcomer.latency - last->waitLeft(now);
        if (theirs > 0 && fresh > 0) keep = std::max(0.0, (head * fresh + left) * theirs / (theirs + fresh));
        else if (theirs == 0 && fresh > 0) keep = 0;  // stalled: everything goes
        auto keepBytes = static_cast<std::int64_t>(std::min(keep, left));
        if (newcomer.fairShare > 0)
            keepBytes = std::max(keepBytes, last->left() - std::max(newcomer.fairShare, kSmallestSplit));
        keepBytes = std::max(keepBytes, std::min(kSmallestKeep, last->left() / 2));
        if (last->left() - keepBytes >= kSmallestSplit) {
            const std::int64_t split = last->next + keepBytes;
            Segment* tail = add(split, last->end);
            last->end = split;
            return tail;
        }
    }
    // Too small to split: race it when a fresh connection would clearly end it sooner.
    if (fresh <= 0 || theirs < 0) return nullptr;
    const double theirEta = theirs > 0 ? left / theirs : 1e18;
    if (theirEta < newcomer.latency + left / fresh * 2 + kRaceGainSeconds) return nullptr;
    if (Segment* outrun = last->racer) {
        // Its racer has written nothing the piece lacks (else the race would be decided):
        // it ends, and its connection with it.
        outrun->end = outrun->next;
        outrun->racing = nullptr;
        last->racer = nullptr;
    }
    Segment* racer = add(last->next, last->end);
    racer->racing = last;
    last->racer = racer;
    return racer;
}

Segment* SegmentPlan::takeShare(const Newcomer& newcomer, Clock::time_point now) {
    Segment* richest = nullptr;
    std::int64_t most = 0;
    for (auto& segment : segments_) {
        if (!segment->active || segment->finished() || segment->racer || segment->racing) continue;
        const double rate = segment->rate >= 0 ? segment->rate : newcomer.typicalRate;
        const double brings = rate * std::max(0.0, newcomer.endTogether - segment->waitLeft(now));
        const auto beyond = segment->left() - static_cast<std::int64_t>(brings);
        if (beyond > most) {
            richest = segment.get();
            most = beyond;
        }
    }
    if (!richest) return nullptr;
    // The newcomers a piece's surplus is worth share it evenly, so none of them ends late.
    const auto takers = std::max<std::int64_t>(1, std::llround(static_cast<double>(most) / static_cast<double>(newcomer.fairShare)));
    const std::int64_t share = most / takers;
    if (share < kSmallestSplit) return nullptr;
    Segment* tail = add(richest->end - share, richest->end);
    richest->end = tail->begin;
    return tail;
}

void SegmentPlan::steer(const std::vector<ByteRange>& wanted, double reachSeconds) {
    for (auto& segment : segments_) segment->wanted = false;
    for (const auto& region : wanted) {
        // The piece that holds the region's first missing byte; racers only repeat their piece.
        Segment* holder = nullptr;
        std::int64_t first = 0;
        for (auto& segment : segments_) {
            if (segment->racing || segment->finished()) continue;
            const std::int64_t from = std::max(segment->next, region.begin);
            if (from >= segment->end || from >= region.end) continue;
            if (!holder || from < first) {
                holder = segment.get();
                first = from;
            }
        }
        if (!holder) continue;
        const auto reach = static_cast<std::int64_t>(std::max(holder->rate, 0.0) * reachSeconds) + kSmallestKeep;
        const bool reaching = holder->active && first - holder->next <= reach;
        if (first == holder->next || reaching || holder->racer) {
            holder->wanted = true;
            continue;
        }
        // The holder keeps what lies before; its connection ends there if it runs.
        Segment* rest = add(first, holder->end);
        holder->end = first;
        rest->wanted = true;
    }
}

bool SegmentPlan::wantedWaiting() const {
    return std::any_of(segments_.begin(), segments_.end(),
                       [](const auto& s) { return s->wanted && !s->active && !s->finished(); });
}

void SegmentPlan::settleRace(Segment& segment) {
    if (Segment* slower = segment.racing; slower && segment.next > slower->next) {
        // The racer is ahead: what the slower one still lacks is all written or the racer's.
        slower->end = slower->next;
        slower->racer = nullptr;
        segment.racing = nullptr;
    }
    if (Segment* racer = segment.racer; racer && segment.finished()) {
        racer->end = racer->next;
        racer->racing = nullptr;
        segment.racer = nullptr;
    }
}

bool SegmentPlan::scheduleRetry(Segment& segment, std::int64_t progressed, Clock::time_point now) {
    if (progressed >= policy_.progressThatResets) segment.failures = 0;
    ++segment.failures;
    if (segment.failures > policy_.maxRetries) return false;
    segment.notBefore = now + policy_.firstBackOff * (1 << (segment.failures - 1));
    return true;
}

bool SegmentPlan::waitFor(Segment& segment, Clock::time_point until) {
    ++segment.failures;
    if (segment.failures > policy_.maxRetries) return false;
    segment.notBefore = until;
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

std::int64_t SegmentPlan::left() const { return missing().total(); }

}  // namespace zenvira::components
