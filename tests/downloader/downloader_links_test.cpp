// Links as they come in the wild: a cap on each connection behind a distant server, some
// connections far slower than others, a server that answers long ranges in shorter parts.
#include <gtest/gtest.h>

#include <algorithm>

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
