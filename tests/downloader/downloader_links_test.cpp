// Links as they come in the wild: a cap on each connection behind a distant server, some
// connections far slower than others, a server that answers long ranges in shorter parts.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/transfer/host_memory_file.h"
#include "tests/downloader/download_harness.h"

namespace zenvira::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(DownloaderLinksTest, ACapOnEachConnectionMakesTheJobAddConnections) {
    DownloadHarness h;
    const std::uint64_t size = 12 * kMiB;
    h.site.addStream("capped", {.size = size, .bytesPerSecond = 2 * kMiB, .etag = "\"c1\"",
                                .answerDelay = std::chrono::milliseconds(20)});
    h.prepare(h.streamUrl("capped"), "\\clip.flv", 2, 4096);  // the window's settings
    std::int64_t most = 0;
    const DownloadRecord record = h.run(std::chrono::seconds(30), [&] { most = std::max<std::int64_t>(most, h.downloader.ProgressInfo().Connections); });
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size));
    EXPECT_GT(most, 2);
    EXPECT_LE(most, 16);
}

TEST(DownloaderLinksTest, AServerSeenBeforeStartsWhereTheLastDownloadThereSettled) {
    DownloadHarness h;
    auto& memory = components::HostMemoryFile::ofProcess();
    memory.setPath(h.driveFolder() + "/config/zenvira/hosts");
    const std::uint64_t size = 12 * kMiB;
    h.site.addStream(
        "capped",
        {.size = size, .bytesPerSecond = 2 * kMiB, .etag = "\"c1\"", .answerDelay = std::chrono::milliseconds(20)});
    h.prepare(h.streamUrl("capped"), "\\clip.flv", 2, 4096);
    DownloadRecord record = h.run(std::chrono::seconds(30));
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    const auto now = components::HostMemory::WallClock::now();
    const auto settled = memory.recall(components::serverOfAddress(h.streamUrl("capped")), now);
    ASSERT_TRUE(settled.has_value());
    EXPECT_GT(*settled, 2);

    // The next download there starts with that many even pieces, not with one that grows.
    const std::uint64_t next = 3 * kMiB;
    h.site.addStream("next", {.size = next, .etag = "\"n1\""});
    const std::size_t before = h.rangeHeaders().size();
    h.prepare(h.streamUrl("next"), "\\next.flv", 1, 0);
    record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/next.flv", next));
    const auto ranges = h.rangeHeaders();
    const std::vector<std::string> asked(ranges.begin() + static_cast<std::ptrdiff_t>(before), ranges.end());
    const std::uint64_t piece = (next + *settled - 1) / *settled;
    for (std::uint64_t from = piece; from < next; from += piece) {
        const std::string range =
            "bytes=" + std::to_string(from) + "-" + std::to_string(std::min(from + piece, next) - 1);
        EXPECT_NE(std::find(asked.begin(), asked.end(), range), asked.end()) << range;
    }
    memory.setPath("");
}

TEST(DownloaderLinksTest, AFarSlowerConnectionHandsBackItsPieceAndTheEndDoesNotWaitForIt) {
    DownloadHarness h;
    const std::uint64_t size = 16 * kMiB;
    // Every other connection brings 64 KiB a second: holding half of the file to the end, one
    // would need more than two minutes.
    h.site.addStream("mixed", {.size = size, .etag = "\"m1\"", .slowEvery = 2, .slowBytesPerSecond = 64 * 1024});
    h.prepare(h.streamUrl("mixed"), "\\clip.flv", 2, 4096);
    const DownloadRecord record = h.run(std::chrono::seconds(30));
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size));
}

TEST(DownloaderLinksTest, AServerThatAnswersInShorterPartsIsFollowedPartByPart) {
    DownloadHarness h;
    const std::uint64_t size = 3 * kMiB;
    // Each part is far below what counts as progress for the retry budget: were a short part
    // taken for a broken connection, the download would give up after five of them.
    h.site.addStream("parts", {.size = size, .etag = "\"p1\"", .longestPart = 100000});
    h.prepare(h.streamUrl("parts"), "\\clip.flv", 2, 0);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size));
    EXPECT_GE(h.rangeHeaders().size(), size / 100000);
}

}  // namespace
}  // namespace zenvira::testing
