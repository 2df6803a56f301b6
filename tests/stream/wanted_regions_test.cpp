// What the local stream tells a running download: where its readers want bytes, from the
// first byte not on the disk; and what it waits for before it sends.
#include <gtest/gtest.h>

#include <thread>

#include "engine/transfer/stream_link.h"

namespace {

using zenvira::components::ByteRange;
using zenvira::components::ByteRanges;
using zenvira::components::StreamLink;

TEST(StreamLink, ReadersWantTheBytesAheadOfThemThatAreNotThereYet) {
    constexpr std::int64_t kMiB = 1024 * 1024;
    StreamLink link;
    const int early = link.openReader(0);
    EXPECT_TRUE(link.wanted().empty()) << "nothing is wanted before the size is known";
    ByteRanges kept;
    kept.add({0, 3 * kMiB});
    link.begin(40 * kMiB, kept);
    EXPECT_TRUE(link.wanted().empty()) << "the reader's next 2 MiB are on the disk";
    const int seeker = link.openReader(39 * kMiB);
    link.moveReader(early, 2 * kMiB);
    const std::vector<ByteRange> expected = {{3 * kMiB, 4 * kMiB}, {39 * kMiB, 40 * kMiB}};
    EXPECT_EQ(link.wanted(), expected);
    link.arrived({39 * kMiB, 40 * kMiB});
    link.closeReader(early);
    EXPECT_TRUE(link.wanted().empty());
    link.closeReader(seeker);

    const auto there = link.now(39 * kMiB + 10);
    EXPECT_EQ(there.bytes, kMiB - 10);
    EXPECT_EQ(there.size, 40 * kMiB);
    EXPECT_FALSE(there.ended);
}

TEST(StreamLink, AWaitEndsWhenTheBytesComeOrTheDownloadEnds) {
    StreamLink link;
    link.setFile("/tmp/x.part");
    link.begin(1000, {});
    std::thread download([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        link.arrived({500, 600});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        link.end(false, {});
    });
    const auto far = StreamLink::Clock::now() + std::chrono::seconds(30);
    const auto some = link.waitFor(550, far);
    EXPECT_EQ(some.bytes, 50);
    const auto none = link.waitFor(0, far);  // never comes: the download stopped
    EXPECT_EQ(none.bytes, 0);
    EXPECT_TRUE(none.ended);
    EXPECT_FALSE(none.whole);
    download.join();

    StreamLink finished;
    finished.begin(1000, {});
    finished.end(true, "/tmp/x");
    const auto all = finished.now(0);
    EXPECT_EQ(all.bytes, 1000);
    EXPECT_EQ(all.path, "/tmp/x");
}

// A download in fragments: the piece a reader waits for and the few after it in its own track
// are wanted, those on the disk never; a reader of a piece that arrives stops waiting.
TEST(StreamLink, ReadersOfFragmentsWantTheirPieceAndTheFewAfterItInTheirTrack) {
    using zenvira::components::StreamFragments;
    StreamLink link;
    StreamFragments fragments;
    // Pieces 0 and 10 are initialisation sections; 1..9 the picture's fragments, 11..19 the sound's.
    fragments.tracks.resize(2);
    for (std::size_t track = 0; track < 2; ++track) {
        fragments.tracks[track].initialisation = track * 10;
        for (std::size_t at = 1; at < 10; ++at) fragments.tracks[track].fragments.push_back(track * 10 + at);
    }
    std::vector<std::string> paths(20);
    for (std::size_t i = 0; i < paths.size(); ++i) paths[i] = "/tmp/piece" + std::to_string(i);
    link.beginFragments(fragments, paths, {0, 1, 2, 6});
    EXPECT_TRUE(link.now(0).fragments) << "a reader waiting for the layout goes on";
    EXPECT_TRUE(link.wantedPieces().empty()) << "nobody reads";

    const int picture = link.openPieceReader(5);
    const int init = link.openPieceReader(10);
    const int last = link.openPieceReader(18);
    // 6 is on the disk; the sound's section alone (no fragments follow a section); 18's track ends at 19.
    EXPECT_EQ(link.wantedPieces(), (std::vector<std::size_t>{5, 7, 8, 10, 18, 19}));
    link.closeReader(init);
    link.closeReader(last);

    std::thread download([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        link.pieceArrived(5);
    });
    const auto came = link.waitForPiece(5, StreamLink::Clock::now() + std::chrono::seconds(30));
    download.join();
    EXPECT_TRUE(came.there);
    EXPECT_EQ(came.path, "/tmp/piece5");
    EXPECT_EQ(link.wantedPieces(), (std::vector<std::size_t>{7, 8}));
    link.closeReader(picture);
    link.end(false, {});
    const auto never = link.waitForPiece(9, StreamLink::Clock::now() + std::chrono::seconds(30));
    EXPECT_FALSE(never.there);
    EXPECT_TRUE(never.ended);
}

}  // namespace
