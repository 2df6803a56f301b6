// Which file a download ends up in: one job per target, never over another download's file,
// the same download not fetched twice, names that fit and hold nothing a terminal obeys.
#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <filesystem>

#include "engine/journal/target_claim.h"
#include "platform/file_system.h"
#include "tests/downloader/download_harness.h"

namespace zenvira::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
const std::string kPage = "http://www.youtube.com/watch?v=abcdefghijk";

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DownloaderTargetsTest, ASecondJobOnTheSameTargetIsTurnedAwayAndTouchesNothing) {
    DownloadHarness h;
    const std::uint64_t size = 8 * kMiB;
    h.site.addStream("s", {.size = size, .bytesPerSecond = 128 * 1024, .etag = "\"v1\""});
    std::filesystem::create_directories(h.driveFolder());
    const std::string file = h.driveFolder() + "/clip.flv";

    // The first job runs in a process of its own, as the command line beside the window.
    QProcess child;
    child.start(ZV_DOWNLOAD_CHILD, {QString::fromStdString(h.streamUrl("s")), QString::fromStdString(h.driveFolder()),
                                    "clip.flv", "2", "1024", QString::fromStdString(kPage), "360"});
    ASSERT_TRUE(child.waitForStarted());
    DownloadHarness::pump(std::chrono::seconds(5), [&] { return readText(file + ".part.state").find("done=") != std::string::npos; });
    const std::string stateBefore = readText(file + ".part.state");
    ASSERT_FALSE(stateBefore.empty());

    h.site.clearRequests();
    h.prepare(h.streamUrl("s"), "\\clip.flv", 2, 1024);
    h.downloader.setPageAddress(kPage);
    h.downloader.setQuality("360");
    const DownloadRecord second = h.run();
    EXPECT_EQ(second.outcome(), 2);
    EXPECT_EQ(second.errorText, "The file " + file + " is already being downloaded");
    const auto ranges = h.rangeHeaders();  // the child's own requests go on meanwhile
    // Not even asked the server: the first request of a job asks from byte 0.
    EXPECT_EQ(std::count_if(ranges.begin(), ranges.end(), [](const std::string& r) { return r.rfind("bytes=0-", 0) == 0; }), 0);
    EXPECT_EQ(readText(file + ".part.state").substr(0, 40), stateBefore.substr(0, 40));

    // In this process too: two downloader objects, one target.
    components::clDownLoader other;
    other.setSourceAddress(h.streamUrl("s"));
    other.setLocalFolder("c:\\");
    other.setLocalFileName("\\clip.flv");
    other.setPageAddress(kPage);
    other.setQuality("360");
    int otherOutcome = 0;
    QObject::connect(&other, &components::clDownLoader::ProcessCompleted, [&](int code) { otherOutcome = code; });
    other.Start(true);
    DownloadHarness::pump(std::chrono::seconds(5), [&] { return otherOutcome != 0; });
    EXPECT_EQ(otherOutcome, 2);

    // The lock dies with its process: the next job takes the part up.
    child.kill();
    ASSERT_TRUE(child.waitForFinished(5000));
    h.site.addStream("s", {.size = size, .etag = "\"v1\""});
    const DownloadRecord after = h.run();
    ASSERT_EQ(after.outcome(), 1) << after.errorText;
    EXPECT_GT(after.atOutcome.BytesResumed, 0);
    EXPECT_TRUE(matchesStream(file, size));
    EXPECT_EQ(namesIn(h.driveFolder()), std::vector<std::string>{"clip.flv"});
}

TEST(DownloaderTargetsTest, TwoVideosOfOneTitleClaimedAtOnceGetTwoNames) {
    DownloadHarness h;
    const std::string folder = h.driveFolder();
    std::filesystem::create_directories(folder);
    // Claimed the moment before either has a state: the part's mark tells them apart.
    const components::DownloadOrigin first{"http://a.example/videoplayback?id=1", "", ""};
    const components::DownloadOrigin second{"http://a.example/videoplayback?id=2", "", ""};
    platform::RandomAccessFile firstPart, secondPart, againPart;
    const auto claimedFirst = components::claimTarget(folder, "videoplayback.mp4", first, firstPart);
    ASSERT_EQ(claimedFirst.kind, components::ClaimedTarget::Kind::Claimed) << claimedFirst.error;
    const auto claimedSecond = components::claimTarget(folder, "videoplayback.mp4", second, secondPart);
    ASSERT_EQ(claimedSecond.kind, components::ClaimedTarget::Kind::Claimed) << claimedSecond.error;
    EXPECT_EQ(claimedSecond.path, folder + "/videoplayback (2).mp4");
    // The same video again is the same download: turned away.
    EXPECT_EQ(components::claimTarget(folder, "videoplayback.mp4", first, againPart).kind,
              components::ClaimedTarget::Kind::Busy);
}

TEST(DownloaderTargetsTest, AnotherQualityGoesBesideTheFirstAndTheSameOneIsNotFetchedAgain) {
    DownloadHarness h;
    const std::string folder = h.driveFolder();
    h.site.addStream("hd", {.size = 2 * kMiB, .etag = "\"hd\""});
    h.site.addStream("sd", {.size = kMiB, .etag = "\"sd\""});
    const auto download = [&](const std::string& stream, const std::string& quality) {
        h.prepare(h.streamUrl(stream), "\\Title.flv", 2, 0);
        h.downloader.setPageAddress(kPage);
        h.downloader.setQuality(quality);
        return h.run();
    };
    ASSERT_EQ(download("hd", "720").outcome(), 1);
    EXPECT_EQ(platform::fileMark(folder + "/Title.flv", components::kOriginMark).value_or(""), kPage);

    const DownloadRecord second = download("sd", "480");
    ASSERT_EQ(second.outcome(), 1) << second.errorText;
    EXPECT_TRUE(matchesStream(folder + "/Title.flv", 2 * kMiB));
    EXPECT_TRUE(matchesStream(folder + "/Title (2).flv", kMiB));

    // The 720 one again, from an address that has changed meanwhile: done, nothing fetched.
    h.site.clearRequests();
    const DownloadRecord again = download("sd", "720");
    EXPECT_EQ(again.outcome(), 1) << again.errorText;
    EXPECT_TRUE(h.rangeHeaders().empty());
    EXPECT_EQ(again.atOutcome.BytesDone, static_cast<std::int64_t>(2 * kMiB));
    EXPECT_EQ(again.atOutcome.BytesTotal, static_cast<std::int64_t>(2 * kMiB));

    // A file the downloader did not make (no marks) is never replaced.
    writeText(folder + "/Other.flv", "made by hand");
    h.prepare(h.streamUrl("sd"), "\\Other.flv", 1, 0);
    ASSERT_EQ(h.run().outcome(), 1);
    EXPECT_EQ(readText(folder + "/Other.flv"), "made by hand");
    EXPECT_TRUE(matchesStream(folder + "/Other (2).flv", kMiB));
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Other (2).flv", "Other.flv", "Title (2).flv", "Title.flv"}));
}

TEST(DownloaderTargetsTest, LongAndControlCharacterTitlesGiveNamesThatFitAndShowNothingRaw) {
    DownloadHarness h;
    h.site.addStream("s", {.size = 2 * kMiB, .bytesPerSecond = kMiB / 4});
    std::string cjk;
    for (int i = 0; i < 100; ++i) cjk += "\xe6\xbc\xa2";  // 300 bytes of one CJK character
    const std::string folder = h.driveFolder();

    // Stopped midway, so the state file (the longest companion) has to fit as well.
    h.prepare(h.streamUrl("s"), "\\" + cjk + ".flv", 2, 0);
    const DownloadRecord stopped = h.run(std::chrono::seconds(20), [&] {
        if (h.downloader.ProgressInfo().BytesDone > 200000) h.downloader.Stop();
    });
    ASSERT_EQ(stopped.outcome(), 5) << stopped.errorText;
    auto names = namesIn(folder);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], names[0] + ".state");
    EXPECT_EQ(names[0].substr(names[0].size() - 9), ".flv.part");
    const DownloadRecord finished = h.run();
    ASSERT_EQ(finished.outcome(), 1) << finished.errorText;
    EXPECT_GT(finished.atOutcome.BytesResumed, 0);
    names = namesIn(folder);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(matchesStream(folder + "/" + names[0], 2 * kMiB));
    EXPECT_LE(names[0].size() + std::string(".part.state.new").size(), 255u);

    std::filesystem::remove_all(folder);
    h.prepare(h.streamUrl("s"), "\\Bell\x07 and \x1b[2Jclear\n.flv", 1, 0);
    ASSERT_EQ(h.run().outcome(), 1);
    h.prepare(h.streamUrl("s"), "\\.....flv", 1, 0);
    h.downloader.setFallbackName("abcdefghijk");
    ASSERT_EQ(h.run().outcome(), 1);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Bell and [2Jclear.flv", "abcdefghijk.flv"}));

}

}  // namespace
}  // namespace zenvira::testing
