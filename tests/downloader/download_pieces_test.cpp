// The bookkeeping a resumable, parallel download rests on: which bytes are kept, how the
// missing ones are shared between connections, what a kept state says, what a server's
// Content-Range says.
#include <gtest/gtest.h>

#include "engine/policy/byte_ranges.h"
#include "engine/policy/connection_ramp.h"
#include "engine/journal/file_name.h"
#include "engine/journal/part_state.h"
#include "engine/transfer/response_head.h"
#include "engine/policy/segment_plan.h"

namespace zenvira::components {
namespace {

constexpr std::int64_t kMiB = 1 << 20;

TEST(ByteRangesTest, MergesAndFindsWhatIsMissing) {
    ByteRanges done;
    done.add({10, 20});
    done.add({30, 40});
    done.add({20, 25});  // touches the first
    done.add({35, 50});  // overlaps the second
    done.add({5, 5});    // empty
    EXPECT_EQ(done.items(), (std::vector<ByteRange>{{10, 25}, {30, 50}}));
    EXPECT_EQ(done.total(), 35);
    EXPECT_EQ(done.missingWithin(60), (std::vector<ByteRange>{{0, 10}, {25, 30}, {50, 60}}));
    EXPECT_EQ(done.clippedTo(35).items(), (std::vector<ByteRange>{{10, 25}, {30, 35}}));
    done.add({0, 60});
    EXPECT_TRUE(done.coversAll(60));
    EXPECT_TRUE(done.missingWithin(60).empty());
}

TEST(SegmentPlanTest, ConnectionsAreWorthTheirSmallestPiece) {
    EXPECT_EQ(SegmentPlan({{0, 6 * kMiB}}, 2, 4 * kMiB).connections(), 1);
    EXPECT_EQ(SegmentPlan({{0, 8 * kMiB}}, 2, 4 * kMiB).connections(), 2);
    EXPECT_EQ(SegmentPlan({{0, 100 * kMiB}}, 4, 0).connections(), 4);
    EXPECT_EQ(SegmentPlan({{0, 10}}, 0, 0).connections(), 1);

    // The pieces cover exactly the missing bytes, one per connection here.
    SegmentPlan plan({{0, 5 * kMiB}, {7 * kMiB, 12 * kMiB}}, 2, kMiB);
    const auto now = SegmentPlan::Clock::now();
    Segment* first = plan.takeNext(now);
    first->active = true;
    Segment* second = plan.takeNext(now);
    second->active = true;
    EXPECT_EQ(first->next, 0);
    EXPECT_EQ(first->end, 5 * kMiB);
    EXPECT_EQ(second->next, 7 * kMiB);
    EXPECT_EQ(second->end, 12 * kMiB);
}

TEST(SegmentPlanTest, AConnectionOutOfWorkTakesHalfOfTheLargestPiece) {
    SegmentPlan plan({{0, 20 * kMiB}}, 2, kMiB);
    const auto now = SegmentPlan::Clock::now();
    Segment* a = plan.takeNext(now);
    a->active = true;
    Segment* b = plan.takeNext(now);
    b->active = true;
    a->next = a->end;  // finished early
    a->active = false;
    b->next += kMiB;
    Segment* tail = plan.takeNext(now);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(b->end, tail->next);
    EXPECT_EQ(tail->end, 20 * kMiB);
    EXPECT_EQ(b->left(), tail->left());
    EXPECT_EQ(plan.missing().total(), 9 * kMiB);

    // A piece whose halves would be below the smallest split is not split.
    SegmentPlan small({{0, 100 * 1024}}, 1, 0);
    small.takeNext(now)->active = true;
    EXPECT_EQ(small.takeNext(now), nullptr);
}

TEST(SegmentPlanTest, TheNewcomersWaitForItsFirstByteDecidesTheSplit) {
    const auto now = SegmentPlan::Clock::now();
    // 4 MB/s each, 40 ms before an answer: the running connection keeps what it brings in
    // that wait on top of its half, so both end together.
    SegmentPlan capped({{0, 4'000'000}}, 1, 0);
    Segment* running = capped.takeNext(now);
    running->active = true;
    running->rate = 4e6;
    Segment* newcomer = capped.takeNext(now, {4e6, 4e6, 0.040, 0});
    ASSERT_NE(newcomer, nullptr);
    EXPECT_NEAR(static_cast<double>(running->left()), (4'000'000 + 160'000) / 2.0, 1);
    EXPECT_NEAR(running->left() / 4e6, 0.040 + newcomer->left() / 4e6, 1e-6);

    // Where the wait eats the gain, the piece stays whole: 300 KiB at 8 MB/s behind a 40 ms
    // answer ends sooner on its own connection.
    SegmentPlan even({{0, 300 * 1024}}, 1, 0);
    Segment* only = even.takeNext(now);
    only->active = true;
    only->rate = 8e6;
    EXPECT_EQ(even.takeNext(now, {8e6, 8e6, 0.040, 0}), nullptr);
}

TEST(SegmentPlanTest, ConnectionsStartingTogetherAreGivenPiecesThatEndTogether) {
    // Two running at 4 MB/s, one of them still 30 ms from its first byte; six join, each
    // 40 ms from its first. Planned end: (left + what the waits cost) / the rates together.
    const auto now = SegmentPlan::Clock::now();
    const std::int64_t size = 32 * kMiB;
    SegmentPlan plan({{0, size}}, 2, 0);
    Segment* delivering = plan.takeNext(now);
    delivering->active = true;
    delivering->rate = 4e6;
    Segment* waiting = plan.takeNext(now);
    waiting->active = true;
    waiting->rate = 4e6;
    waiting->answerDue = now + std::chrono::milliseconds(30);
    const double together = (static_cast<double>(size) + 4e6 * 0.030 + 6 * 4e6 * 0.040) / (8 * 4e6);
    const Newcomer newcomer{4e6, 4e6, 0.040, static_cast<std::int64_t>(4e6 * (together - 0.040)), together};
    std::vector<Segment*> joined;
    for (int i = 0; i < 6; ++i) {
        Segment* piece = plan.takeNext(now, newcomer);
        ASSERT_NE(piece, nullptr);
        piece->active = true;
        joined.push_back(piece);
    }
    const auto endsAt = [](const Segment* s, double wait) { return wait + static_cast<double>(s->left()) / 4e6; };
    EXPECT_NEAR(endsAt(delivering, 0), together, 0.005);
    EXPECT_NEAR(endsAt(waiting, 0.030), together, 0.005);
    for (const Segment* piece : joined) EXPECT_NEAR(endsAt(piece, 0.040), together, 0.01);
}

TEST(SegmentPlanTest, ASlowConnectionHandsBackItsPieceAndTheTailIsRaced) {
    const auto now = SegmentPlan::Clock::now();
    SegmentPlan plan({{0, 16 * kMiB}}, 2, 4 * kMiB);  // TuningValueB only sizes the start
    Segment* fast = plan.takeNext(now);
    fast->active = true;
    Segment* slow = plan.takeNext(now);
    slow->active = true;
    fast->rate = 8e6;
    slow->rate = 0.5e6;
    fast->next = fast->end;
    fast->active = false;
    // The split leaves the slow side the share it ends in the same time: about 1/17.
    Segment* handed = plan.takeNext(now, {8e6, 8e6, 0, 0});
    ASSERT_NE(handed, nullptr);
    EXPECT_EQ(handed->end, 16 * kMiB);
    EXPECT_EQ(slow->end, handed->begin);
    EXPECT_NEAR(static_cast<double>(slow->left()), 8.0 * kMiB / 17, 64 * 1024);
    handed->active = true;
    handed->rate = 8e6;

    // Too small to split, far too slow: a racer takes the same bytes; getting ahead wins.
    handed->next = handed->end;
    handed->active = false;
    slow->next = slow->end - 100 * 1024;
    Segment* racer = plan.takeNext(now, {8e6, 8e6, 0, 0});
    ASSERT_NE(racer, nullptr);
    EXPECT_EQ(racer->racing, slow);
    EXPECT_EQ(racer->next, slow->next);
    EXPECT_EQ(racer->end, slow->end);
    racer->active = true;
    racer->rate = 6e6;
    EXPECT_EQ(plan.takeNext(now, {8e6, 8e6, 0, 0}), nullptr);  // one race per piece ...
    // ... unless its racer turns out far slower than a connection that falls idle: that one
    // takes the race over, and the slow racer ends.
    racer->rate = 0.3e6;
    Segment* takeover = plan.takeNext(now, {8e6, 8e6, 0, 0});
    ASSERT_NE(takeover, nullptr);
    EXPECT_EQ(takeover->racing, slow);
    EXPECT_TRUE(racer->finished());
    EXPECT_EQ(racer->racing, nullptr);
    takeover->active = true;
    racer->active = false;
    racer = takeover;
    racer->next = slow->next + 1000;
    SegmentPlan::settleRace(*racer);
    EXPECT_TRUE(slow->finished());
    EXPECT_EQ(racer->racing, nullptr);
    EXPECT_EQ(plan.missing().items(), (std::vector<ByteRange>{{racer->next, racer->end}}));

}

TEST(ConnectionRampTest, GrowsWhileConnectionsPayAndFallsBackWhenThePathIsFull) {
    ConnectionRamp capped(2, 16);  // every connection capped at 4 MB/s by the server
    EXPECT_EQ(capped.want(), 2);
    capped.measured(2, 8e6);
    EXPECT_EQ(capped.want(), 16);  // tried at once
    capped.measured(16, 64e6);     // paid: kept
    EXPECT_EQ(capped.want(), 16);
    EXPECT_FALSE(capped.growing());

    ConnectionRamp full(2, 16);  // one shared path of 20 MB/s
    full.measured(2, 20e6);
    full.measured(16, 22e6);     // 16 bring hardly more than 2: back to 2
    EXPECT_FALSE(full.growing());
    EXPECT_EQ(full.want(), 2);

    ConnectionRamp wider(2, 16);  // a path that four connections fill
    wider.measured(2, 10e6);
    wider.measured(16, 20e6);
    EXPECT_EQ(wider.want(), 4);
    wider.measured(4, 40e6);
    EXPECT_EQ(wider.want(), 4);

    ConnectionRamp loopback(2, 16);  // judged against the first connection alone
    loopback.measured(1, 1e9);
    loopback.measured(16, 1.05e9);
    EXPECT_EQ(loopback.want(), 2);  // never below where it started

    // A server that lets each answer burst and then holds it to a cap: the step is judged on
    // the burst and falls back, the steady rate shows it, and the step is tried again.
    ConnectionRamp burst(2, 16);
    burst.measured(2, 300e6);
    burst.measured(16, 400e6);
    EXPECT_EQ(burst.want(), 3);
    EXPECT_TRUE(burst.doubting());
    burst.steady(3, 60e6);
    EXPECT_EQ(burst.want(), 16);
    burst.measured(16, 320e6);
    EXPECT_EQ(burst.want(), 16);
    EXPECT_FALSE(burst.doubting());
    // A full path gives steadily what it seemed to: the count stands.
    full.steady(2, 20e6);
    EXPECT_EQ(full.want(), 2);
    EXPECT_FALSE(full.doubting());

    ConnectionRamp busy(8, 16);  // 429 or 503: half as many, and no more growth
    busy.serverAskedForFewer();
    EXPECT_EQ(busy.want(), 4);
    busy.measured(4, 1e6);
    EXPECT_EQ(busy.want(), 4);
    busy.setCeiling(16);
    EXPECT_EQ(busy.want(), 4);

    // Two other downloads from the host hold their shares; one ends, and the count that had
    // stopped at its share grows on to the new one. A full path does not.
    ConnectionRamp shared(2, 6);
    shared.measured(2, 8e6);
    shared.measured(6, 24e6);
    EXPECT_FALSE(shared.growing());
    shared.setCeiling(8);
    EXPECT_TRUE(shared.growing());
    EXPECT_EQ(shared.want(), 8);
    shared.measured(8, 32e6);
    EXPECT_EQ(shared.want(), 8);
    full.setCeiling(32);
    EXPECT_EQ(full.want(), 2);
    shared.setCeiling(4);  // another came: down to its share
    EXPECT_EQ(shared.want(), 4);
}

TEST(PartStateTest, RoundTripAndTheRulesForTakingItUp) {
    PartState state{{"http://host/videoplayback?id=a\\u0026b", "http://www.youtube.com/watch?v=abcdefghijk", "720"},
                    {3221225472, "\"abc\"", "Mon, 01 Nov 2010"},
                    {}};
    state.done.add({0, 1000});
    state.done.add({2147483648, 2147483648 + 5000});
    const auto parsed = parsePartState(serializePartState(state));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->origin.address, state.origin.address);
    EXPECT_TRUE(parsed->origin.sameDownload(state.origin));
    // Another quality of the same page, or the same page's renewed address.
    EXPECT_FALSE(parsed->origin.sameDownload({state.origin.address, state.origin.page, "480"}));
    EXPECT_TRUE(parsed->origin.sameDownload({"http://other/videoplayback", state.origin.page, "720"}));
    EXPECT_EQ(parsed->resource.size, 3221225472);
    EXPECT_EQ(parsed->done.items(), state.done.items());
    EXPECT_FALSE(parsePartState("something else\naddress=x\n"));
    EXPECT_FALSE(parsePartState("zenvira-part-state 1\naddress=x\ndone=9-3\n"));

    const ResourceIdentity kept{100, "\"a\"", "Mon"};
    EXPECT_TRUE(sameResource(kept, {100, "\"a\"", "Tue"}));   // the ETag decides
    EXPECT_FALSE(sameResource(kept, {100, "\"b\"", "Mon"}));
    EXPECT_FALSE(sameResource(kept, {100, "", "Mon"}));
    EXPECT_FALSE(sameResource(kept, {101, "\"a\"", "Mon"}));
    EXPECT_TRUE(sameResource({100, "", "Mon"}, {100, "", "Mon"}));
    EXPECT_FALSE(sameResource({100, "", "Mon"}, {100, "", "Tue"}));
    EXPECT_FALSE(sameResource({-1, "", ""}, {-1, "", ""}));  // no size: nothing to check
}

TEST(FileNameTest, NamesAreSafeAndFitWithTheirCompanions) {
    EXPECT_EQ(safeFileName("Clip\x1b[31m red\nline\x7f.flv", "abcdefghijk"), "Clip[31m redline.flv");
    EXPECT_EQ(safeFileName("C1 \xc2\x9b here \xc2\xa0.flv", "id"), "C1  here \xc2\xa0.flv");  // NBSP stays
    EXPECT_EQ(safeFileName(".flv", "abcdefghijk"), "abcdefghijk.flv");
    EXPECT_EQ(safeFileName("....flv", "abcdefghijk"), "abcdefghijk.flv");
    EXPECT_EQ(safeFileName("\x01\x02.flv", ""), "video.flv");
    EXPECT_EQ(safeFileName("..hidden.flv", "id"), "hidden.flv");

    EXPECT_EQ(numberedFileName("Clip.flv", 1, 255), "Clip.flv");
    EXPECT_EQ(numberedFileName("Clip.flv", 2, 255), "Clip (2).flv");
    EXPECT_EQ(numberedFileName("Clip", 3, 255), "Clip (3)");
    // 100 CJK characters are 300 bytes: cut to whole characters, the extension kept.
    std::string cjk;
    for (int i = 0; i < 100; ++i) cjk += "\xe6\xbc\xa2";
    for (int number : {1, 2, 10}) {
        const std::string name = numberedFileName(cjk + ".flv", number, 255);
        EXPECT_LE(name.size() + std::string(kLongestCompanion).size(), 255u);
        EXPECT_GE(name.size() + std::string(kLongestCompanion).size(), 253u);
        EXPECT_EQ(name.substr(name.size() - 4), ".flv");
        EXPECT_EQ(name.find("\xe6\xbc\xa2.flv") == std::string::npos, number > 1);
        EXPECT_EQ((name.size() - 4 - (number > 1 ? std::to_string(number).size() + 3 : 0)) % 3, 0u);
    }
    EXPECT_EQ(printableText("HTTP 500 \x1b]0;owned\x07"), "HTTP 500  ]0;owned ");
}

TEST(ResponseHeadTest, ContentRangeAndTheFinalHead) {
    const auto full = parseContentRange("bytes 1610612736-3221225471/3221225472");
    ASSERT_TRUE(full);
    EXPECT_EQ(*full->first, 1610612736);
    EXPECT_EQ(full->last, 3221225471);
    EXPECT_EQ(*full->total, 3221225472);
    EXPECT_FALSE(parseContentRange("bytes 0-0/*")->total);
    EXPECT_EQ(*parseContentRange("bytes */0")->total, 0);
    EXPECT_FALSE(parseContentRange("bytes 5-2/10"));
    EXPECT_FALSE(parseContentRange("bytes 0-10/10"));
    EXPECT_FALSE(parseContentRange("items 0-1/10"));

    ResponseHead head;
    for (const char* line : {"HTTP/1.1 302 Found\r\n", "Location: /x\r\n", "Content-Length: 5\r\n", "\r\n",
                             "HTTP/1.1 206 Partial Content\r\n", "content-range: bytes 0-0/42\r\n",
                             "ETag: \"v\"\r\n", "\r\n"})
        head.addLine(line);
    EXPECT_TRUE(head.complete);
    EXPECT_EQ(head.status, 206);
    EXPECT_FALSE(head.contentLength);  // the redirect's length is not the file's
    EXPECT_EQ(*head.contentRange->total, 42);
    EXPECT_EQ(head.etag, "\"v\"");
    EXPECT_EQ(httpStatusText(404, ""), "HTTP 404 Not Found");
    EXPECT_EQ(httpStatusText(599, "Odd"), "HTTP 599 Odd");
    head.addLine("HTTP/1.1 403 No\x1b]0;owned\x07 way\r\n");
    EXPECT_EQ(httpStatusText(head.status, head.reason), "HTTP 403 No?]0;owned? way");
}

}  // namespace
}  // namespace zenvira::components
