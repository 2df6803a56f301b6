// Getting the right file whatever happens on the way: a file that changes on the server
// (with and without validators), a process killed at random moments, a busy server, an
// address that expires while its page offers a new one.
#include <gtest/gtest.h>

#include <QProcess>

#include <random>

#include "tests/downloader/download_harness.h"

namespace zenvira::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

DownloadRecord runAndStopAfter(DownloadHarness& h, std::int64_t bytes) {
    return h.run(std::chrono::seconds(20), [&] {
        if (h.downloader.ProgressInfo().BytesDone >= bytes) h.downloader.Stop();
    });
}

TEST(DownloaderRecoveryTest, WithoutValidatorsAFileChangedBetweenRunsIsNeverSpliced) {
    DownloadHarness h;
    const std::uint64_t size = 4 * kMiB;
    const std::string file = h.driveFolder() + "/clip.flv";
    h.site.addStream("s", {.size = size, .bytesPerSecond = kMiB / 4});
    h.prepare(h.streamUrl("s"), "\\clip.flv", 2, 0);
    ASSERT_EQ(runAndStopAfter(h, static_cast<std::int64_t>(kMiB)).outcome(), 5);

    // Unchanged: the kept bytes are compared with what the server sends again, and kept.
    const DownloadRecord same = runAndStopAfter(h, static_cast<std::int64_t>(2 * kMiB));
    ASSERT_EQ(same.outcome(), 5) << same.errorText;
    EXPECT_GT(same.atOutcome.BytesResumed, static_cast<std::int64_t>(kMiB / 2));

    // Changed, same size, no validator: the comparison fails and it starts over at byte 0.
    h.site.addStream("s", {.size = size, .bytesPerSecond = 4 * kMiB, .contentSeed = 7});
    const DownloadRecord changed = h.run();
    ASSERT_EQ(changed.outcome(), 1) << changed.errorText;
    EXPECT_TRUE(matchesStream(file, size, 7));
}

TEST(DownloaderRecoveryTest, AFileChangedDuringARunStartsOverWithinTheRun) {
    for (const std::string etag : {"", "\"v1\""}) {
        SCOPED_TRACE(etag.empty() ? "no validator" : "ETag");
        DownloadHarness h;
        const std::uint64_t size = 3 * kMiB;
        // The new version cuts the answers under way; their retries get it.
        h.site.addStream("s", {.size = size, .bytesPerSecond = kMiB / 4, .etag = etag});
        h.prepare(h.streamUrl("s"), "\\clip.flv", 1, 0);
        bool changed = false;
        const DownloadRecord record = h.run(std::chrono::seconds(20), [&] {
            if (changed || h.downloader.ProgressInfo().BytesDone < 128 * 1024) return;
            // A new version with the same size; with a validator, a new one.
            h.site.addStream("s", {.size = size, .bytesPerSecond = 4 * kMiB, .etag = etag.empty() ? "" : "\"v2\"",
                                   .contentSeed = 3});
            changed = true;
        });
        ASSERT_EQ(record.outcome(), 1) << record.errorText;
        EXPECT_TRUE(changed);
        EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size, 3));
        EXPECT_EQ(record.lastReported.Notice, "The file changed on the server; it is fetched again from its start");
    }
}

TEST(DownloaderRecoveryTest, KilledTwentyTimesAtRandomMomentsItResumesToTheRightFile) {
    DownloadHarness h;
    const std::uint64_t size = 12 * kMiB;
    const std::string file = h.driveFolder() + "/clip.flv";
    h.site.addStream("s", {.size = size, .bytesPerSecond = 192 * 1024, .etag = "\"v1\""});
    std::filesystem::create_directories(h.driveFolder());
    std::mt19937 dice(20101108);
    std::uniform_int_distribution<int> moment(300, 1100);
    int kills = 0;
    for (; kills < 20; ++kills) {
        QProcess child;
        child.start(ZV_DOWNLOAD_CHILD, {QString::fromStdString(h.streamUrl("s")),
                                        QString::fromStdString(h.driveFolder()), "clip.flv", "2", "0"});
        ASSERT_TRUE(child.waitForStarted());
        if (child.waitForFinished(moment(dice))) break;  // it got to the end first
        child.kill();  // SIGKILL: no chance to write anything
        ASSERT_TRUE(child.waitForFinished(5000));
    }
    h.site.addStream("s", {.size = size, .etag = "\"v1\""});
    h.prepare(h.streamUrl("s"), "\\clip.flv", 2, 0);
    const DownloadRecord last = h.run();
    ASSERT_EQ(last.outcome(), 1) << last.errorText;
    EXPECT_TRUE(matchesStream(file, size));
    // Each kill loses at most one journal interval (half a second at the rate reached, or
    // 8 MiB) and what was in flight.
    const double interval = std::min(0.5 * 16 * 192 * 1024, 8.0 * kMiB);
    EXPECT_LT(static_cast<double>(h.site.bytesServed("s")), size + 20 * interval);
    if (kills >= 20) {
        EXPECT_GT(last.atOutcome.BytesResumed, 0);  // the journal carried the work over
    }
}

TEST(DownloaderRecoveryTest, ABusyServerIsWaitedOutAsItAsks) {
    DownloadHarness h;
    h.site.addStream("busy", {.size = 2 * kMiB, .busyTimes = 2, .retryAfter = "1"});
    h.prepare(h.streamUrl("busy"), "\\clip.flv", 2, 0);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_GE(record.seconds, 2.0);
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", 2 * kMiB));

    // Mid-transfer, on a range: 429 with a date a second away.
    h.site.addStream("later", {.size = 4 * kMiB, .bytesPerSecond = 4 * kMiB, .dropAfterBytes = 300000, .dropTimes = 2});
    h.prepare(h.streamUrl("later"), "\\later.flv", 1, 0);
    bool asked = false;
    const DownloadRecord later = h.run(std::chrono::seconds(20), [&] {
        if (asked) return;
        h.site.addStream("later", {.size = 4 * kMiB, .busyTimes = 1, .busyStatus = 429, .retryAfter = "1"});
        asked = true;
    });
    ASSERT_EQ(later.outcome(), 1) << later.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/later.flv", 4 * kMiB));

    h.site.addStream("away", {.size = kMiB, .busyTimes = 5, .retryAfter = "7200"});
    h.prepare(h.streamUrl("away"), "\\away.flv", 2, 0);
    const DownloadRecord away = h.run();
    EXPECT_EQ(away.outcome(), 2);
    EXPECT_EQ(away.errorText, "The server is busy (HTTP 503 Service Unavailable) and asks to come back in 120 minutes");
    EXPECT_LT(away.seconds, 2.0);
}

TEST(DownloaderRecoveryTest, AnExpiredAddressIsRenewedFromItsPageAndTheSamePartGoesOn) {
    DownloadHarness h;
    const std::uint64_t size = 4 * kMiB;
    const std::string page = "http://www.youtube.com/watch?v=abcdefghijk";
    h.site.addStream("old", {.size = size, .bytesPerSecond = 4 * kMiB, .etag = "\"v\"", .expireAfterBytes = kMiB});
    h.site.addStream("new", {.size = size, .etag = "\"v\""});
    std::vector<std::string> asked;
    h.downloader.setAddressRenewal(
        [&](const std::string& pageAddress, const std::string& quality, components::CancelToken&) {
            asked.push_back(pageAddress + " " + quality);
            return h.streamUrl("new");
        });
    h.prepare(h.streamUrl("old"), "\\clip.flv", 2, 0);
    h.downloader.setPageAddress(page);
    h.downloader.setQuality("720");
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_EQ(asked, std::vector<std::string>{page + " 720"});
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size));
    EXPECT_EQ(record.lastReported.Notice, "The link expired and was renewed from the page");
    // The bytes of the old address were kept: the new one is never asked for the start again.
    EXPECT_GT(record.atOutcome.BytesResumed, 0);
    for (const auto& request : h.site.requests()) {
        if (request.path.find("id=new") == std::string::npos) continue;
        const std::string range = request.headers.count("range") ? request.headers.at("range") : "";
        EXPECT_TRUE(range == "bytes=0-0" || range.rfind("bytes=0-", 0) != 0) << range;
    }

    // Without a way to renew it, the expired address fails the download with its status.
    h.site.addStream("gone", {.size = size, .expireAfterBytes = 0});
    h.downloader.setAddressRenewal({});
    h.prepare(h.streamUrl("gone"), "\\gone.flv", 2, 0);
    const DownloadRecord gone = h.run();
    EXPECT_EQ(gone.outcome(), 2);
    EXPECT_EQ(gone.errorText, "HTTP 410 Gone");
}

}  // namespace
}  // namespace zenvira::testing
