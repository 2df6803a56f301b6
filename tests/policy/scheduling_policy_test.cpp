// The scheduling of a download over several connections, replayed on made-up links a
// millisecond at a time: no server, no socket, no clock but the one the test turns. Each link
// shape says what the job must do on it (how many connections it settles on, how long it
// takes against the link's floor, how short the tail is); the host memory and the journal's
// cadence are checked beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <sstream>

#include "engine/policy/fragment_total.h"
#include "engine/policy/host_memory.h"
#include "engine/policy/journal_cadence.h"
#include "engine/policy/scheduling_policy.h"
#include "engine/transfer/host_memory_file.h"

namespace zenvira::components {
namespace {

using Clock = SchedulingPolicy::Clock;
using std::chrono::milliseconds;
constexpr std::int64_t kMiB = 1 << 20;

double secondsOf(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// What a made-up server and the path to it give each request.
struct Link {
    milliseconds answerAfter{40};
    // Bytes a second on the connection numbered `connection` (from 0), `sinceAnswer` after the
    // first byte of its answer. A request goes on a connection left idle by an answer that
    // came whole, else on a new one, as libcurl does.
    std::function<double(int connection, Clock::duration sinceAnswer)> rate;
    double pathRate = 0;  // what all of them share at most (0: no limit)
    int busyAbove = 0;  // a request beyond this many at once is answered 429 (0: never)
    // The first answer was read by the page fetch and held paused before the job took it on:
    // what piled up meanwhile comes at this rate for its first 10 ms (0: not held).
    double heldBurst = 0;
};

struct Outcome {
    bool complete = false;
    double seconds = 0;
    double tailShare = 0;  // of the time, after 95 % of the bytes were in
    int most = 0;  // connections at once
    std::optional<int> settled;
    int journalEntries = 0;
    int busyAnswers = 0;
};

// The range fetch's part, played against a Link: requests that answer after their wait and
// bring what the link gives, a millisecond at a time.
class FakeTransfers {
public:
    FakeTransfers(std::int64_t size, int start, Link link, bool paced = false)
        : size_(size),
          link_(std::move(link)),
          now_(Clock::time_point{} + std::chrono::hours(1)),
          policy_({{0, size}}, start, 16, 0, RetryPolicy{}, paced, now_) {}

    SchedulingPolicy& policy() { return policy_; }
    Clock::time_point now() const { return now_; }

    // Until the bytes are all in or `limit` has passed; `each` runs every millisecond.
    Outcome run(Clock::duration limit, const std::function<void()>& each = {}) {
        const auto begin = now_;
        if (Segment* first = policy_.firstPiece(now_)) {
            open(*first, 0, size_);  // the probe, from 0
            if (link_.heldBurst > 0) {
                Transfer& held = transfers_.back();
                held.sent = now_ - link_.answerAfter;  // its answer is there already
                held.held = true;
                policy_.answerWasHeld(*held.connection);
            }
        }
        launch();
        std::optional<Clock::time_point> tailFrom;
        while (!policy_.finished() && now_ - begin < limit) {
            step();
            if (!tailFrom && done_ >= size_ * 95 / 100) tailFrom = now_;
            if (each) each();
        }
        outcome_.complete = policy_.finished() && done_ == size_;
        outcome_.seconds = secondsOf(now_ - begin);
        if (tailFrom) outcome_.tailShare = secondsOf(now_ - *tailFrom) / outcome_.seconds;
        outcome_.settled = policy_.settledCount();
        return outcome_;
    }

private:
    struct Transfer {
        SchedulingPolicy::Connection* connection;
        Segment* segment;
        int link;  // the connection it goes on
        Clock::time_point sent;
        std::optional<Clock::time_point> answered;
        double carry = 0;
        bool held = false;
    };

    void open(Segment& segment, double expectedRate, std::int64_t requestEnd) {
        auto& connection = policy_.opened(segment, requestEnd, expectedRate, now_);
        int link = links_++;
        if (!idle_.empty()) {
            link = idle_.back();
            idle_.pop_back();
            --links_;
        }
        transfers_.push_back({&connection, &segment, link, now_});
    }

    void launch() {
        if (policy_.planStarts(now_) <= 0) return;
        while (policy_.wantsMore()) {
            const auto start = policy_.nextStart(now_);
            if (!start) return;
            open(*start->segment, start->expectedRate, start->segment->end);
        }
    }

    void deliver() {
        const auto answering = std::count_if(transfers_.begin(), transfers_.end(),
                                             [&](const Transfer& t) { return now_ - t.sent >= link_.answerAfter; });
        auto accepted = std::count_if(transfers_.begin(), transfers_.end(),
                                      [](const Transfer& t) { return t.answered.has_value(); });
        for (auto t = transfers_.begin(); t != transfers_.end();) {
            if (now_ - t->sent < link_.answerAfter) {
                ++t;
                continue;
            }
            Segment& segment = *t->segment;
            if (!t->answered && link_.busyAbove > 0 && accepted >= link_.busyAbove) {
                // 429: the piece waits, the count halves.
                ++outcome_.busyAnswers;
                policy_.closed(*t->connection, true, now_);
                idle_.push_back(t->link);
                policy_.serverBusy(t->sent, now_);
                policy_.plan().waitFor(segment, now_ + milliseconds(200));
                t = transfers_.erase(t);
                continue;
            }
            const auto sinceAnswer = t->answered ? now_ - *t->answered : Clock::duration{};
            double rate = t->held && sinceAnswer < milliseconds(10) ? link_.heldBurst : link_.rate(t->link, sinceAnswer);
            if (link_.pathRate > 0) rate = std::min(rate, link_.pathRate / static_cast<double>(answering));
            const double exact = rate / 1000 + t->carry;
            auto bytes = static_cast<std::int64_t>(exact);
            t->carry = exact - static_cast<double>(bytes);
            bytes = std::min(bytes, segment.left());
            if (!t->answered) {
                ++accepted;
                t->answered = now_;
                policy_.answered(*t->connection, bytes, secondsOf(link_.answerAfter), now_);
            }
            policy_.delivered(*t->connection, bytes);
            const std::int64_t end = segment.next + bytes;
            // A racer writes again what the slower connection has: only its lead is new.
            done_ +=
                segment.racing ? std::max<std::int64_t>(0, end - std::max(segment.next, segment.racing->next)) : bytes;
            segment.next = end;
            SegmentPlan::settleRace(segment);
            if (segment.finished() && t->connection->requestEnd == segment.end) {
                policy_.closed(*t->connection, true, now_);
                idle_.push_back(t->link);
                t = transfers_.erase(t);
            } else {
                ++t;
            }
        }
    }

    void step() {
        now_ += milliseconds(1);
        deliver();
        transfers_.remove_if([&](const Transfer& t) {
            if (!policy_.overtaken(*t.connection)) return false;
            policy_.dropped(*t.connection);
            return true;
        });
        policy_.turn(now_, done_);
        while (const auto* shed = policy_.toShed()) {
            auto t = std::find_if(transfers_.begin(), transfers_.end(),
                                  [&](const Transfer& x) { return x.connection == shed; });
            policy_.dropped(*t->connection);
            transfers_.erase(t);
        }
        launch();
        outcome_.most = std::max(outcome_.most, static_cast<int>(transfers_.size()));
        if (policy_.journalDue(now_, done_)) ++outcome_.journalEntries;
    }

    std::int64_t size_;
    Link link_;
    Clock::time_point now_;
    SchedulingPolicy policy_;
    std::list<Transfer> transfers_;
    int links_ = 0;
    std::vector<int> idle_;
    std::int64_t done_ = 0;
    Outcome outcome_;
};

struct Shape {
    const char* name;
    std::int64_t size;
    int start;
    Link link;
    double floorSeconds;  // what the link allows at best, answers included
    double mostTimesFloor;
    double longestTail;
    int settledAtLeast;
    int settledAtMost;
};

// The job starting as the window sets it (2), or where a job before it settled.
TEST(SchedulingPolicyTest, EachLinkShapeGetsTheConnectionsItIsWorthAndEndsTogether) {
    const double size = 32.0 * kMiB;
    const auto fast = [](int, Clock::duration) { return 1e9; };
    const auto capped = [](int, Clock::duration) { return 4e6; };
    const auto mixed = [](int connection, Clock::duration) { return connection % 2 ? 0.5e6 : 8e6; };
    // Each answer bursts for its first 100 ms (as nginx's limit_rate does), then holds to the cap.
    const auto burst = [](int, Clock::duration since) { return since < milliseconds(100) ? 150e6 : 4e6; };
    const Shape shapes[] = {
        // A cap on each connection: the first step to 16 pays and is kept.
        {"capped", 32 * kMiB, 2, {.rate = capped}, 0.040 + size / 64e6, 1.25, 0.10, 16, 16},
        // Seen before: all 16 from the first answer on.
        {"capped, seen before", 32 * kMiB, 16, {.rate = capped}, 0.040 + size / 64e6, 1.05, 0.10, 16, 16},
        // One connection fills the path: 16 bring no more, and the count falls back to about
        // the start (the first connections' rates include the time they had the path alone).
        {"shared path", 32 * kMiB, 2, {.rate = fast, .pathRate = 20e6}, 0.040 + size / 20e6, 1.10, 0.10, 2, 3},
        // Five connections at their cap fill the path.
        {"capped, shared path",
         32 * kMiB,
         2,
         {.rate = capped, .pathRate = 20e6},
         0.040 + size / 20e6,
         1.15,
         0.10,
         5,
         5},
        // Slow connections hand their pieces to fast ones and the tail is raced.
        {"mixed", 32 * kMiB, 2, {.rate = mixed}, 0.040 + size / (8 * 8e6 + 8 * 0.5e6), 1.5, 0.10, 2, 16},
        // Judged on the bursts the step looks wasted; the steady rate shows it was not.
        {"burst", 128 * kMiB, 2, {.rate = burst, .pathRate = 300e6}, 0.040 + 4 * size / 64e6, 1.0, 0.10, 16, 16},
        // A first answer held paused brings its backlog at once: that is not the path's rate,
        // and the step to 16 must not be judged against it.
        {"capped, first answer held",
         8 * kMiB,
         3,
         {.rate = capped, .heldBurst = 30e6},
         0.040 + size / 4 / 64e6,
         1.5,
         0.15,
         16,
         16},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        FakeTransfers transfers(shape.size, shape.start, shape.link);
        const Outcome outcome = transfers.run(std::chrono::seconds(60));
        ASSERT_TRUE(outcome.complete);
        EXPECT_LE(outcome.seconds, shape.mostTimesFloor * shape.floorSeconds);
        EXPECT_LE(outcome.tailShare, shape.longestTail);
        ASSERT_TRUE(outcome.settled.has_value());
        EXPECT_GE(*outcome.settled, shape.settledAtLeast);
        EXPECT_LE(*outcome.settled, shape.settledAtMost);
        EXPECT_LE(outcome.most, 16);
        // Every half second or 8 MiB, not on every turn.
        const auto eights = static_cast<int>(shape.size / (8 * kMiB));
        EXPECT_GE(outcome.journalEntries, eights - 1);
        EXPECT_LE(outcome.journalEntries, eights + static_cast<int>(outcome.seconds / 0.5) + 1);
    }
}

TEST(SchedulingPolicyTest, ABusyServerHalvesTheCountAndAPacedJobKeepsItsStart) {
    const auto capped = [](int, Clock::duration) { return 4e6; };
    FakeTransfers busy(32 * kMiB, 2, {.rate = capped, .busyAbove = 10});
    const Outcome outcome = busy.run(std::chrono::seconds(60));
    ASSERT_TRUE(outcome.complete);
    EXPECT_GT(outcome.busyAnswers, 0);
    ASSERT_TRUE(outcome.settled.has_value());
    EXPECT_EQ(*outcome.settled, 8);  // 16 halved, and no growth after

    // A job held to a total rate keeps what it started with: more cannot raise it.
    FakeTransfers paced(8 * kMiB, 3, {.rate = capped}, true);
    const Outcome held = paced.run(std::chrono::seconds(60));
    ASSERT_TRUE(held.complete);
    EXPECT_EQ(held.most, 3);
    EXPECT_FALSE(held.settled.has_value());  // nothing worth remembering
}

TEST(SchedulingPolicyTest, AStoppedJobStartsNothingMore) {
    const auto capped = [](int, Clock::duration) { return 4e6; };
    FakeTransfers transfers(32 * kMiB, 2, {.rate = capped});
    int openedAfterStop = -1;
    std::optional<Clock::time_point> stoppedAt;
    transfers.run(milliseconds(300), [&] {
        auto& policy = transfers.policy();
        if (!stoppedAt && transfers.now() - (Clock::time_point{} + std::chrono::hours(1)) >= milliseconds(30)) {
            stoppedAt = transfers.now();
            policy.cancel();
            openedAfterStop = static_cast<int>(policy.connections().size());
        }
        if (stoppedAt) {
            EXPECT_EQ(policy.planStarts(transfers.now()), 0);
            EXPECT_FALSE(policy.wantsMore());
            EXPECT_FALSE(policy.nextStart(transfers.now()).has_value());
            EXPECT_LE(static_cast<int>(policy.connections().size()), openedAfterStop);
        }
    });
    ASSERT_TRUE(stoppedAt.has_value());
    EXPECT_TRUE(transfers.policy().cancelled());
}

TEST(SchedulingPolicyTest, TheLoopWakesForRatesWhileConnectionsRunAndForTheNextRetry) {
    const auto now = Clock::time_point{} + std::chrono::hours(1);
    SchedulingPolicy policy({{0, 8 * kMiB}}, 1, 16, 0, RetryPolicy{}, false, now);
    EXPECT_EQ(policy.nextWake(now, milliseconds(100)), milliseconds(100));  // nothing runs
    Segment* piece = policy.firstPiece(now);
    auto& connection = policy.opened(*piece, piece->end, 0, now);
    EXPECT_EQ(policy.nextWake(now, milliseconds(100)), SchedulingPolicy::kSampleEvery);
    policy.closed(connection, false, now);
    ASSERT_TRUE(policy.plan().scheduleRetry(*piece, 0, now));  // waits its back-off
    const auto wake = policy.nextWake(now, milliseconds(100));
    EXPECT_GT(wake, milliseconds(0));
    EXPECT_LE(wake, RetryPolicy{}.firstBackOff);
}

// A player reading far ahead (an index at the end, a seek) gets a piece that starts where it
// reads, a connection at once even when all are busy, and the slowest other one ends for it;
// a region a running connection is about to reach is left to it.
TEST(SchedulingPolicyTest, WantedRegionsGetThePiecesAndTheConnectionsFirst) {
    const auto now = Clock::time_point{} + std::chrono::hours(1);
    SchedulingPolicy policy({{0, 16 * kMiB}}, 2, 3, 0, RetryPolicy{}, true, now);  // paced: the count stays 2
    std::vector<SchedulingPolicy::Connection*> running;
    ASSERT_EQ(policy.planStarts(now), 2);
    while (auto start = policy.nextStart(now)) {
        running.push_back(&policy.opened(*start->segment, start->segment->end, 0, now));
        start->segment->rate = 1e6;
    }
    ASSERT_EQ(running.size(), 2u);
    EXPECT_FALSE(policy.wantsMore());

    policy.steer({{15 * kMiB, 16 * kMiB}});  // the tail, where an index may be
    EXPECT_TRUE(policy.wantsMore()) << "all busy: the wanted piece still gets a connection";
    ASSERT_EQ(policy.planStarts(now), 1);
    auto start = policy.nextStart(now);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->segment->next, 15 * kMiB);
    EXPECT_TRUE(start->segment->wanted);
    auto& tail = policy.opened(*start->segment, start->segment->end, 0, now);
    const SchedulingPolicy::Connection* shed = policy.toShed();
    ASSERT_NE(shed, nullptr) << "one more than the count: another ends";
    EXPECT_NE(shed, &tail);
    policy.dropped(*const_cast<SchedulingPolicy::Connection*>(shed));
    EXPECT_EQ(policy.toShed(), nullptr);

    // A region within a second of a running connection is left to it; one in a piece
    // without a connection gets a piece of its own.
    policy.steer({{15 * kMiB, 16 * kMiB}, {8 * kMiB + 300 * 1024, 9 * kMiB}});
    EXPECT_FALSE(policy.wantsMore());
    policy.steer({{15 * kMiB, 16 * kMiB}, {4 * kMiB, 5 * kMiB}});
    EXPECT_TRUE(policy.wantsMore());
    start = policy.nextStart(now);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->segment->next, 4 * kMiB);
    policy.opened(*start->segment, start->segment->end, 0, now);

    // Right ahead of the connection on the tail: no new piece, nothing more opens.
    policy.steer({{15 * kMiB + 100, 16 * kMiB}});
    EXPECT_FALSE(policy.wantsMore());
    EXPECT_EQ(policy.plan().missing().total(), 16 * kMiB);  // splitting loses no byte
    // A reader gone: the pieces go on as before, none is preferred.
    policy.steer({});
    EXPECT_FALSE(tail.segment->wanted);
}

TEST(JournalCadenceTest, EveryHalfSecondOrEightMiBFromTheStart) {
    const auto start = Clock::time_point{} + std::chrono::hours(1);
    JournalCadence cadence(start, 100 * kMiB);  // a resumed job: what was kept counts as written
    struct Offer {
        milliseconds at;
        std::int64_t done;
        bool due;
    };
    const Offer offers[] = {
        {milliseconds(10), 101 * kMiB, false},  {milliseconds(100), 108 * kMiB, true},  // 8 MiB
        {milliseconds(200), 110 * kMiB, false}, {milliseconds(599), 115 * kMiB, false},
        {milliseconds(600), 115 * kMiB, true},  // half a second since the last
        {milliseconds(601), 123 * kMiB, true},  {milliseconds(602), 123 * kMiB, false},
    };
    for (const Offer& offer : offers) {
        SCOPED_TRACE(offer.at.count());
        EXPECT_EQ(cadence.due(start + offer.at, offer.done), offer.due);
    }
}

TEST(HostMemoryTest, CountsAreKeptForADayAndWrittenOnlyWhenTheyChange) {
    const auto day0 = HostMemory::WallClock::time_point{} + std::chrono::hours(24 * 20000);
    const auto hour = std::chrono::hours(1);
    HostTable table = HostTable::parse(
        "video.example:443 16 1728000000\n"
        "garbage\n"
        "two words\n"
        "zero.example:80 0 1728000000\n"
        "extra.example:80 4 1728000000 more\n"
        "spaced.example:80\t6\t1728000000\r\n");
    const auto at = [](std::int64_t seconds) {
        return HostMemory::WallClock::time_point{} + std::chrono::seconds(seconds);
    };
    EXPECT_EQ(table.recall("video.example:443", at(1728000000 + 3600)), 16);
    EXPECT_EQ(table.recall("spaced.example:80", at(1728000000)), 6);
    EXPECT_EQ(table.recall("zero.example:80", at(1728000000)), std::nullopt);
    EXPECT_EQ(table.recall("extra.example:80", at(1728000000)), std::nullopt);
    EXPECT_EQ(table.recall("video.example:443", at(1728000000 + 25 * 3600)), std::nullopt);  // over a day
    EXPECT_EQ(table.recall("video.example:443", at(1728000000 - 25 * 3600)), std::nullopt);  // clock set back
    EXPECT_EQ(table.recall("other.example:443", at(1728000000)), std::nullopt);

    HostTable kept;
    EXPECT_TRUE(kept.remember("a.example:80", 16, day0));
    EXPECT_FALSE(kept.remember("a.example:80", 16, day0 + hour / 2));  // the same, just written
    EXPECT_TRUE(kept.remember("a.example:80", 6, day0 + hour / 2));  // changed
    EXPECT_TRUE(kept.remember("a.example:80", 6, day0 + 2 * hour));  // refreshed
    EXPECT_FALSE(kept.remember("bad name:80", 4, day0));
    EXPECT_FALSE(kept.remember("b.example:80", 0, day0));
    EXPECT_TRUE(kept.remember("b.example:80", 3, day0 + 30 * hour));  // a.example has aged out
    const HostTable reread = HostTable::parse(kept.text());
    EXPECT_EQ(reread.recall("a.example:80", day0 + 2 * hour), std::nullopt);
    EXPECT_EQ(reread.recall("b.example:80", day0 + 30 * hour), 3);

    HostTable crowded;
    for (std::size_t i = 0; i <= HostTable::kMostServers; ++i)
        crowded.remember("s" + std::to_string(i) + ":80", 2, day0 + std::chrono::seconds(i));
    EXPECT_EQ(crowded.recall("s0:80", day0 + hour), std::nullopt);  // the oldest made room
    EXPECT_EQ(crowded.recall("s1:80", day0 + hour), 2);
    EXPECT_EQ(crowded.recall(std::to_string(HostTable::kMostServers).insert(0, "s") + ":80", day0 + hour), 2);
}

TEST(HostMemoryTest, TheFileIsSharedBetweenInstancesAndAnEmptyPathRemembersNothing) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("zv-hosts-" + std::to_string(Clock::now().time_since_epoch().count()));
    std::filesystem::remove_all(folder);
    const std::string path = (folder / "zenvira" / "hosts").string();
    const auto now = HostMemory::WallClock::now();
    HostMemoryFile first(path);
    first.remember("a.example:80", 16, now);
    HostMemoryFile second(path);  // another process, as far as the file knows
    second.remember("b.example:443", 4, now);
    EXPECT_EQ(first.recall("a.example:80", now), 16);
    EXPECT_EQ(first.recall("b.example:443", now), 4);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));

    HostMemoryFile none("");
    none.remember("a.example:80", 8, now);
    EXPECT_EQ(none.recall("a.example:80", now), std::nullopt);
    std::filesystem::remove_all(folder);

    EXPECT_EQ(serverOfAddress("http://video.example/watch?v=1"), "video.example:80");
    EXPECT_EQ(serverOfAddress("https://video.example:8443/x"), "video.example:8443");
    EXPECT_EQ(serverOfAddress("http://[::1]:9000/x"), "[::1]:9000");
}

// A download of fragments knows its size from the start, and it tracks the real sizes as
// they come: never "of ?" once anything says it, never less than what has come.
TEST(FragmentTotal, TheAnnouncedSizeFirstThenEachTracksOwnBytesPerSecond) {
    struct Case {
        const char* name;
        std::vector<TrackFigures> tracks;
        std::int64_t announced;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {"nothing come, nothing announced", {{0, 0, 60, false}}, 0, -1},
        {"nothing come, the bandwidth says it", {{0, 0, 60, false}}, 6'000'000, 6'000'000},
        {"a third of the seconds", {{2'000'000, 20, 60, false}}, 9'000'000, 6'000'000},
        {"complete is exact", {{5'555'555, 60, 60, true}}, 9'000'000, 5'555'555},
        // Video and sound weigh differently a second: each track is stretched on its own.
        {"two tracks", {{1'000'000, 10, 60, false}, {40'000, 30, 60, false}}, 0, 6'080'000},
        {"sound done, video not begun", {{0, 0, 60, false}, {80'000, 60, 60, true}}, 7'000'000, 7'000'000},
        {"more came than announced", {{0, 0, 60, false}, {80'000, 60, 60, true}}, 50'000, 80'000},
        {"without durations", {{300'000, 0, 0, false}}, 0, 300'000},
    };
    for (const auto& c : cases) EXPECT_EQ(estimatedFragmentTotal(c.tracks, c.announced), c.expected) << c.name;
}

}  // namespace
}  // namespace zenvira::components
