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

}  // namespace
