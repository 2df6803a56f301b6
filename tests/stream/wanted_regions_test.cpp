// What the local stream tells a running download: where its readers want bytes, from the
// first byte not on the disk; and what it waits for before it sends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
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

    // A server that said no size: what came is served while it comes, the size once it ended.
    StreamLink unsized;
    unsized.begin(-1, {});
    unsized.arrived({0, 300});
    const auto growing = unsized.waitFor(0, far);
    EXPECT_TRUE(growing.begun);
    EXPECT_EQ(growing.size, -1);
    EXPECT_EQ(growing.bytes, 300);
    unsized.end(true, "/tmp/y");
    EXPECT_EQ(unsized.now(0).size, 300);
    EXPECT_EQ(unsized.waitFor(300, far).bytes, 0) << "the end is there at once";
}

// After the join the fragments stay for the players in the middle, until released (or the
// link goes), and then they are removed from the disk.
TEST(StreamLink, TheFragmentsKeptAfterTheJoinAnswerUntilReleased) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("kept-pieces-" + std::to_string(std::random_device()()));
    for (const bool released : {true, false}) {
        fs::create_directories(folder);
        std::ofstream(folder / "0.m4s") << "piece";
        {
            StreamLink link;
            zenvira::components::StreamFragments fragments;
            fragments.tracks.push_back({.fragments = {0}, .seconds = {2}, .extension = "m4s"});
            link.beginFragments(fragments, {(folder / "0.m4s").string()}, {});
            link.pieceArrived(0);
            link.finished("/tmp/joined.mp4", 5000, folder.string());
            EXPECT_TRUE(link.now(0).pieces);
            EXPECT_TRUE(link.waitForPiece(0, StreamLink::Clock::now()).there);
            EXPECT_TRUE(fs::exists(folder));
            if (released) {
                link.releasePieces();
                EXPECT_FALSE(link.now(0).pieces) << "the finished file answers now";
                EXPECT_FALSE(link.keepsPieces());
                EXPECT_FALSE(fs::exists(folder));
            }
        }
        EXPECT_FALSE(fs::exists(folder)) << (released ? "released" : "the link went");
    }
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
