// Stopping, taking up a kept part again, large sizes and shutting down mid-transfer.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/downloader/download_harness.h"

namespace zenvira::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

// Stops the running download once `bytes` have come; returns the outcome.
DownloadRecord runAndStopAfter(DownloadHarness& h, std::int64_t bytes) {
    return h.run(std::chrono::seconds(20), [&] {
        if (h.downloader.ProgressInfo().BytesDone >= bytes) h.downloader.Stop();
    });
}

std::string firstByteAsked(const std::vector<std::string>& ranges) {
    // The first range after the probe: "bytes=K-..." gives K.
    for (const auto& range : ranges)
        if (range != "bytes=0-0" && !range.empty()) return range.substr(6, range.find('-') - 6);
    return "none";
}

TEST(DownloaderResumeTest, StopKeepsThePartAndTheNextStartTakesItUp) {
    DownloadHarness h;
    const std::uint64_t size = 6 * kMiB;
    const std::string file = h.driveFolder() + "/clip.flv";
    h.site.addStream("s", {.size = size, .bytesPerSecond = kMiB / 2, .etag = "\"v1\""});
    h.prepare(h.streamUrl("s"), "\\clip.flv", 2, 1024);

    const DownloadRecord stopped = runAndStopAfter(h, static_cast<std::int64_t>(kMiB));
    ASSERT_EQ(stopped.outcome(), 5) << stopped.errorText;
    EXPECT_EQ(stopped.outcomes.size(), 1u);
    EXPECT_EQ(stopped.progressAfterOutcome, 0);
    EXPECT_FALSE(fileExists(file));
    EXPECT_TRUE(fileExists(file + ".part"));
    EXPECT_TRUE(fileExists(file + ".part.state"));
    const std::int64_t kept = stopped.atOutcome.BytesDone;
    EXPECT_GE(kept, static_cast<std::int64_t>(kMiB));
    // The state names what is on the disk: the first connection's bytes from 0 on.
    const std::string state = readText(file + ".part.state");
    const auto firstDone = state.find("done=0-");
    ASSERT_NE(firstDone, std::string::npos) << state;
    const std::string keptEnd = state.substr(firstDone + 7, state.find('\n', firstDone) - firstDone - 7);

    h.site.addStream("s", {.size = size, .etag = "\"v1\""});
    h.site.clearRequests();
    h.prepare(h.streamUrl("s"), "\\clip.flv", 1);
    const DownloadRecord resumed = h.run();
    ASSERT_EQ(resumed.outcome(), 1) << resumed.errorText;
    EXPECT_TRUE(matchesStream(file, size));
    EXPECT_EQ(resumed.atOutcome.BytesResumed, kept);
    EXPECT_FALSE(fileExists(file + ".part.state"));
    // The server is asked for the rest from exactly where the kept bytes end.
    EXPECT_EQ(firstByteAsked(h.rangeHeaders()), keptEnd);
    EXPECT_GT(std::stoll(keptEnd), 0);
}

TEST(DownloaderResumeTest, ChangedValidatorsStartOver) {
    DownloadHarness h;
    const std::uint64_t size = 4 * kMiB;
    h.site.addStream("s", {.size = size, .bytesPerSecond = kMiB / 2, .lastModified = "Mon, 01 Nov 2010 10:00:00 GMT"});
    h.prepare(h.streamUrl("s"), "\\clip.flv", 1);
    ASSERT_EQ(runAndStopAfter(h, static_cast<std::int64_t>(kMiB) / 2).outcome(), 5);

    h.site.addStream("s", {.size = size, .lastModified = "Tue, 02 Nov 2010 10:00:00 GMT"});
    h.site.clearRequests();
    const DownloadRecord again = h.run();
    ASSERT_EQ(again.outcome(), 1) << again.errorText;
    EXPECT_EQ(again.atOutcome.BytesResumed, 0);
    EXPECT_EQ(firstByteAsked(h.rangeHeaders()), "0");
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size));
}

TEST(DownloaderResumeTest, FailingOrStoppedDownloadLeavesACompleteFileUntouched) {
    DownloadHarness h;
    const std::string file = h.driveFolder() + "/clip.flv";
    writeText(file, "an earlier, complete download");
    h.site.addStream("slow", {.size = 4 * kMiB, .bytesPerSecond = kMiB / 4});
    h.prepare(h.streamUrl("slow"), "\\clip.flv", 2, 1024);
    EXPECT_EQ(runAndStopAfter(h, 200000).outcome(), 5);
    EXPECT_EQ(readText(file), "an earlier, complete download");

    h.site.addStream("broken", {.size = 4 * kMiB, .status = 500});
    h.prepare(h.streamUrl("broken"));
    const DownloadRecord failed = h.run();
    EXPECT_EQ(failed.outcome(), 2);
    EXPECT_EQ(failed.errorText, "HTTP 500 Internal Server Error");
    EXPECT_EQ(readText(file), "an earlier, complete download");
}

TEST(DownloaderResumeTest, ThreeGibStreamHasItsFiguresInSixtyFourBits) {
    DownloadHarness h;
    const std::uint64_t size = 3ull * 1024 * kMiB;  // 3 GiB: more than a 32-bit count holds
    h.site.addStream("huge", {.size = size, .bytesPerSecond = 8 * kMiB});
    h.prepare(h.streamUrl("huge"), "\\huge.flv", 2, 4096);
    const DownloadRecord record = runAndStopAfter(h, static_cast<std::int64_t>(kMiB));
    ASSERT_EQ(record.outcome(), 5) << record.errorText;
    EXPECT_EQ(record.lastReported.BytesTotal, 3221225472);
    EXPECT_GE(record.atOutcome.BytesDone, static_cast<std::int64_t>(kMiB));
    EXPECT_LT(record.atOutcome.BytesDone, static_cast<std::int64_t>(64 * kMiB));
    // The second connection starts at half the file, past 2^31 (64 KiB early: no validator).
    const auto ranges = h.rangeHeaders();
    EXPECT_NE(std::find(ranges.begin(), ranges.end(), "bytes=" + std::to_string(1610612736 - 65536) + "-3221225471"),
              ranges.end());
}

TEST(DownloaderResumeTest, ShutdownDuringATransferJoinsFast) {
    DownloadHarness h;
    h.site.addStream("slow", {.size = 64 * kMiB, .bytesPerSecond = kMiB});
    h.prepare(h.streamUrl("slow"), "\\clip.flv", 2, 1024);
    int outcomes = 0;
    int lastOutcome = 0;
    QObject::connect(&h.downloader, &components::clDownLoader::ProcessCompleted, [&](int code) {
        ++outcomes;
        lastOutcome = code;
    });
    h.downloader.Start(true);
    DownloadHarness::pump(std::chrono::seconds(5), [&] { return h.downloader.ProgressInfo().BytesDone > 100000; });
    ASSERT_TRUE(h.downloader.Busy());

    const auto before = std::chrono::steady_clock::now();
    h.downloader.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_FALSE(h.downloader.Busy());
    // A job waiting for the outcome still gets it, once.
    DownloadHarness::pump(std::chrono::milliseconds(300));
    EXPECT_EQ(outcomes, 1);
    EXPECT_EQ(lastOutcome, 5);

    // Shutdown then Start at once: the new run hears only its own end, never the old one's.
    h.downloader.setSourceAddress(h.streamUrl("slow"));
    h.downloader.Start(true);
    DownloadHarness::pump(std::chrono::seconds(5), [&] { return h.downloader.ProgressInfo().BytesDone > 0; });
    ASSERT_TRUE(h.downloader.Busy());
    h.downloader.Shutdown();
    h.site.addStream("next", {.size = 256 * 1024});
    h.prepare(h.streamUrl("next"), "\\next.flv", 2, 1024);
    std::vector<int> heard;
    QObject::connect(&h.downloader, &components::clDownLoader::ProcessCompleted,
                     [&](int code) { heard.push_back(code); });
    const DownloadRecord next = h.run();
    EXPECT_EQ(next.outcomes, std::vector<int>{1}) << next.errorText;
    EXPECT_EQ(heard, std::vector<int>{1});
}

}  // namespace
}  // namespace zenvira::testing
