#include <sys/stat.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <atomic>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include "app/progress_text.h"
#include "resolve/resolver.h"
#include "tests/app/workflow_fixture.h"

using namespace zenvira;
using namespace zenvira::testing;
using Strings = std::vector<std::string>;

namespace {

bool hasStreamBytes(const std::filesystem::path& file, std::uint64_t size) {
    std::ifstream in(file, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() != size) return false;
    for (std::uint64_t i = 0; i < size; ++i)
        if (static_cast<std::uint8_t>(data[i]) != site::streamByte(i)) return false;
    return true;
}

QByteArray sha256Of(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }

QByteArray streamSha256(std::uint64_t size) {
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    site::fillStreamBytes(0, reinterpret_cast<std::uint8_t*>(bytes.data()), size);
    return sha256Of(bytes);
}

QByteArray fileSha256(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return sha256Of(QByteArray::fromStdString(data));
}

bool requested(const site::FixtureSite& site, const std::string& streamId) {
    for (const auto& r : site.requests())
        if (r.path.find("id=" + streamId) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST_F(WorkflowTest, ExtractEnablesTheOfferedQualitiesAndAButtonSavesUnderTheTitle) {
    const auto address = addPage("abcdefghijk", "Part 1/2: Intro?", {{"35", "854x480"}, {"34", "640x360"}, {"18", "320x240"}},
                                 {.size = 300000});
    workflow.Extract(address);
    EXPECT_EQ(view.statusTexts.front(), "Getting Video Information..");
    EXPECT_EQ(workflow.List4().size(), 5u);
    EXPECT_EQ(workflow.List4()[0], "no");
    EXPECT_EQ(workflow.List4()[1], "no");
    EXPECT_EQ(workflow.List4()[3], site::streamAddress("abcdefghijk-34"));
    EXPECT_EQ(view.enabled, (std::array<bool, 5>{false, false, true, true, true}));

    workflow.QualityDownload(3);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(view.caption, "Zenvira : Part 12 Intro");
    EXPECT_EQ(workflow.videoTitle(), "Part 12 Intro");
    EXPECT_TRUE(hasStreamBytes(drive / "Part 12 Intro.flv", 300000));
    EXPECT_TRUE(requested(site, "abcdefghijk-34"));
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.back().statusLine, app::kDownloadCompleted);
    EXPECT_EQ(view.progress.back().barValue, view.progress.back().barMax);
    EXPECT_EQ(workflow.jobs().back().outcome, components::JobOutcome::Completed);
    EXPECT_FALSE(workflow.downloadFinished());  // reset once the wait has seen it
    EXPECT_EQ(view.endings, Strings{"Saved " + (drive / "Part 12 Intro.flv").string()});

    // A folder chosen for the downloads: the next job saves there.
    const auto chosen = drive / "chosen";
    std::filesystem::create_directories(chosen);
    workflow.setLocalFolder(chosen.string());
    workflow.QualityDownload(4);
    EXPECT_TRUE(hasStreamBytes(chosen / "Part 12 Intro.flv", 300000)) << (boxes.empty() ? "" : boxes.back().text);
}

TEST_F(WorkflowTest, PagesThatYieldNothingSaySoAndEnableNothing) {
    view.enabled.fill(true);
    workflow.Extract("http://www.youtube.com/watch?v=notthereatal");
    EXPECT_EQ(view.statusTexts.back(), "Could not read the page: HTTP 404 Not Found");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(view.enabled, (std::array<bool, 5>{}));

    boxes.clear();
    view.enabled.fill(true);
    workflow.Extract(addPage("nothingHere", "Silent film", {}));
    EXPECT_EQ(view.statusTexts.back(), "No downloadable video was found on this page");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(workflow.List4(), (Strings(5, "no")));
    EXPECT_EQ(view.enabled, (std::array<bool, 5>{}));
}

TEST_F(WorkflowTest, AClickWhileBusyOnlyRewritesTheCaption) {
    const auto first = addPage("firstClip01", "First", {{"34", "640x360"}}, {.size = 600000, .bytesPerSecond = 600000});
    const auto second = addPage("secondClip2", "Second", {{"18", "320x240"}});
    workflow.Extract(first);
    later(200, [&] {
        workflow.Extract(second);  // a nested Extract leaves the running download alone
        workflow.QualityDownload(4);
        EXPECT_EQ(view.caption, "Zenvira : Second");
    });
    workflow.QualityDownload(4);
    ASSERT_EQ(workflow.jobs().size(), 2u);
    EXPECT_EQ(workflow.jobs()[0].outcome, components::JobOutcome::Completed);
    EXPECT_EQ(workflow.jobs()[1].outcome, std::nullopt);  // nothing started
    EXPECT_TRUE(hasStreamBytes(drive / "First.flv", 600000));
    EXPECT_FALSE(std::filesystem::exists(drive / "Second.flv"));
    EXPECT_FALSE(requested(site, "secondClip2-18"));
}

TEST_F(WorkflowTest, EachOutcomeHasItsMessage) {
    std::vector<app::DownloadEnded> ended;
    workflow.onDownloadEnded([&](const app::DownloadEnded& event) { ended.push_back(event); });
    workflow.Extract(addPage("missingFile", "Gone", {{"34", "640x360"}}, {.size = 1000, .status = 404}));
    workflow.QualityDownload(4);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Process not completed: HTTP 404 Not Found");
    EXPECT_EQ(boxes[0].style, 0);
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_FALSE(std::filesystem::exists(drive / "Gone.flv"));

    workflow.Extract(addPage("noLengthHer", "Unsized", {{"34", "640x360"}}, {.size = 5000, .acceptRanges = false, .omitContentLength = true}));
    workflow.QualityDownload(4);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Process completed with some warnings");
    EXPECT_EQ(boxes[1].style, 48);
    EXPECT_EQ(boxes[1].title, "Message");
    EXPECT_TRUE(hasStreamBytes(drive / "Unsized.flv", 5000));

    workflow.Extract(addPage("slowStream1", "Slow", {{"34", "640x360"}}, {.size = 4000000, .bytesPerSecond = 200000}));
    later(300, [&] { workflow.Stop(); });
    workflow.QualityDownload(4);  // returns once stopped
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, "Download stopped");
    EXPECT_EQ(boxes[2].style, 64);
    EXPECT_EQ(boxes[2].title, "Message");
    EXPECT_FALSE(std::filesystem::exists(drive / "Slow.flv"));
    EXPECT_TRUE(std::filesystem::exists(drive / "Slow.flv.part"));

    workflow.Stop();  // nothing running: nothing happens
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.size(), 3u);

    // The same outcomes as data, for a front without boxes.
    ASSERT_EQ(ended.size(), 3u);
    EXPECT_EQ(ended[0].outcome, components::JobOutcome::Failed);
    EXPECT_EQ(ended[0].reason, "HTTP 404 Not Found");
    EXPECT_EQ(ended[0].savedPath, "");
    EXPECT_EQ(ended[1].outcome, components::JobOutcome::CompletedWithWarnings);
    EXPECT_FALSE(ended[1].reason.empty());
    EXPECT_EQ(ended[1].savedPath, (drive / "Unsized.flv").string());
    EXPECT_EQ(ended[2].outcome, components::JobOutcome::Stopped);
    EXPECT_EQ(ended[2].savedPath, "");
}

// Stop during a link renewal whose page answers slowly ends the job at once, not when the
// page comes.
TEST_F(WorkflowTest, StopEndsALinkRenewalAtOnce) {
    const std::uint64_t size = 4 * 1024 * 1024;
    site.addStream("expiring1",
                   {.size = size, .bytesPerSecond = 1024 * 1024, .etag = "\"same\"", .expireAfterBytes = 512 * 1024});
    const std::string path = "/watch?v=slowRenew01";
    site::FixedResponse page;
    page.body = site::makeWatchPage({"Renewing", {{"34", "640x360", site::streamAddress("expiring1")}}});
    site.addFixed(path, page);
    workflow.Extract("http://www.youtube.com" + path);
    page.delay = std::chrono::milliseconds(10000);  // the read for the renewal takes its time
    site.addFixed(path, page);

    const auto pageReads = [&] {
        int reads = 0;
        for (const auto& r : site.requests()) reads += r.path == path;
        return reads;
    };
    QElapsedTimer sinceStop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (sinceStop.isValid() || pageReads() < 2) return;
        sinceStop.start();
        workflow.Stop();
    });
    watch.start(5);
    double stoppedAfter = -1;  // ms
    std::optional<components::JobOutcome> outcome;
    workflow.onDownloadEnded([&](const app::DownloadEnded& event) {
        outcome = event.outcome;
        if (sinceStop.isValid()) stoppedAfter = static_cast<double>(sinceStop.nsecsElapsed()) / 1e6;
    });
    QElapsedTimer clock;
    clock.start();
    workflow.QualityDownload(4);
    ASSERT_TRUE(sinceStop.isValid()) << "the renewal never began";
    EXPECT_EQ(outcome, components::JobOutcome::Stopped);
    EXPECT_GE(stoppedAfter, 0);
    EXPECT_LT(stoppedAfter, 1000);
    std::cout << "Stop during the renewal ended the job after " << stoppedAfter << " ms\n";
    EXPECT_LT(clock.elapsed(), 8000);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "Download stopped");
    EXPECT_TRUE(std::filesystem::exists(drive / "Renewing.flv.part"));
}

TEST_F(WorkflowTest, ADroppedConnectionIsResumedAndAStoppedDownloadTakenUpAgain) {
    workflow.Extract(addPage("droppedOnce", "Dropped", {{"34", "640x360"}},
                             {.size = 500000, .dropAfterBytes = 100000, .dropTimes = 1}));
    workflow.QualityDownload(4);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(hasStreamBytes(drive / "Dropped.flv", 500000));

    const auto slow = addPage("resumeLater", "Resumed", {{"34", "640x360"}}, {.size = 2000000, .bytesPerSecond = 250000});
    workflow.Extract(slow);
    later(500, [&] { workflow.Stop(); });
    workflow.QualityDownload(4);
    ASSERT_EQ(boxes.size(), 1u);
    site.clearRequests();
    workflow.Extract(slow);
    workflow.QualityDownload(4);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(hasStreamBytes(drive / "Resumed.flv", 2000000));
    bool resumedFromKeptBytes = false;
    for (const auto& r : site.requests())
        if (r.headers.count("range") && r.headers.at("range") != "bytes=0-0" && r.headers.at("range").rfind("bytes=0-", 0) != 0)
            resumedFromKeptBytes = true;
    EXPECT_TRUE(resumedFromKeptBytes);
}

TEST_F(WorkflowTest, AFolderThatCannotBeWrittenIsReported) {
    const auto blocker = drive / "not-a-folder";
    std::ofstream(blocker) << "x";
    setenv("ZENVIRA_DRIVE_C", (blocker / "videos").c_str(), 1);
    workflow.Extract(addPage("unwritable1", "Nowhere", {{"34", "640x360"}}));
    workflow.QualityDownload(4);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("Process not completed: ", 0), 0u) << boxes[0].text;
    EXPECT_EQ(boxes[0].title, "Error");
}

TEST_F(WorkflowTest, ThreeGibibytesShowTheirRealFigures) {
    const std::int64_t size = 3LL << 30;
    workflow.Extract(addPage("hugeStream1", "Huge", {{"34", "640x360"}},
                             {.size = static_cast<std::uint64_t>(size), .bytesPerSecond = 2000000}));
    later(700, [&] { workflow.Stop(); });
    workflow.QualityDownload(4);
    if (!boxes.empty() && boxes[0].text.find("space") != std::string::npos)
        GTEST_SKIP() << "no room on this disk for the 3 GiB reservation";
    ASSERT_FALSE(view.progress.empty());
    const auto& last = view.progress.back();
    EXPECT_NE(last.statusLine.find(" of 3145728.00 Kb"), std::string::npos) << last.statusLine;
    EXPECT_GT(last.barMax, 0);
    EXPECT_LT(last.barValue, last.barMax);
    ASSERT_TRUE(last.barText);
    EXPECT_NE(*last.barText, "0 %");
}

// Each row keeps a mark of its outcome (the reason with it) and the batch ends with a count.
// A server that sends no size: the bar is busy (no stale percentage) until the end, which
// reads "Download completed" as usual.
TEST_F(WorkflowTest, AnUnknownSizeKeepsTheBarBusyUntilTheEnd) {
    const site::StreamShape unsized{.size = 1500000, .acceptRanges = false, .bytesPerSecond = 1000000,
                                   .omitContentLength = true};
    const auto address = addPage("unsizedPg01", "No Size", {{"34", "640x360"}}, unsized);
    workflow.Extract(address);
    workflow.QualityDownload(4);
    EXPECT_TRUE(hasStreamBytes(drive / "No Size.flv", 1500000));
    ASSERT_GE(view.progress.size(), 2u);
    const auto& during = view.progress.front();
    EXPECT_FALSE(during.sizeKnown);
    EXPECT_EQ(during.barText, "");
    const auto& last = view.progress.back();
    EXPECT_EQ(last.statusLine, app::kDownloadCompleted) << (boxes.empty() ? "" : boxes.back().text) << " "
                                                        << view.progress.size();
    EXPECT_TRUE(last.sizeKnown);
    EXPECT_EQ(last.barValue, last.barMax);
}

TEST_F(WorkflowTest, ABatchTakesEachPagesOwnBestAndGoesOnAfterAFailure) {
    const auto first = addPage("batchPage01", "First: HD", {{"22", "1280x720"}, {"34", "640x360"}}, {.size = 120000});
    const auto broken = "http://www.youtube.com/watch?v=doesNotExist";
    const auto streamless = addPage("batchPage03", "Nothing here", {});
    const auto second = addPage("batchPage02", "Second", {{"34", "640x360"}, {"18", "320x240"}}, {.size = 70000});
    workflow.BatchDownload({first, broken, streamless, second});
    EXPECT_TRUE(hasStreamBytes(drive / "First HD.flv", 120000));
    EXPECT_TRUE(hasStreamBytes(drive / "Second.flv", 70000));
    EXPECT_TRUE(requested(site, "batchPage01-22"));
    EXPECT_TRUE(requested(site, "batchPage02-34"));
    EXPECT_FALSE(requested(site, "batchPage01-34"));
    ASSERT_EQ(workflow.jobs().size(), 4u);
    EXPECT_EQ(workflow.jobs()[1].outcome, std::nullopt);
    EXPECT_EQ(workflow.List1(), (Strings{"no", "no", "no", "34", "18"}));
    ASSERT_EQ(view.marks.size(), 4u);
    EXPECT_EQ(view.marks[0], "0 saved");
    EXPECT_EQ(view.marks[1].rfind("1 failed: HTTP 404", 0), 0u) << view.marks[1];
    EXPECT_EQ(view.marks[2], "2 skipped: No downloadable video was found on this page");
    EXPECT_EQ(view.marks[3], "3 saved");
    EXPECT_EQ(view.statusTexts.back(), "Batch done: 2 saved, 1 failed, 1 skipped");
    EXPECT_EQ(view.savedFiles, (Strings{(drive / "First HD.flv").string(), (drive / "Second.flv").string()}));
    EXPECT_EQ(view.endings, Strings{"Batch done: 2 saved, 1 failed, 1 skipped"});  // once, not per row
}

// While a page is read the event loop runs (timers fire, a click would be handled, not held
// for later); Stop ends the read at once and the window is left as it was before.
TEST_F(WorkflowTest, StopEndsASlowPageReadAtOnce) {
    site::FixedResponse slow;
    slow.body = site::makeWatchPage({"Slow", {{"34", "640x360", site::streamAddress("slowPage001-34")}}});
    slow.delay = std::chrono::milliseconds(8000);
    site.addFixed("/watch?v=slowPage001", slow);
    int ticks = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
    ticking.start(20);
    bool readingWhenStopped = false;
    later(400, [&] {
        readingWhenStopped = workflow.readingPage();
        workflow.Stop();
    });
    QElapsedTimer clock;
    clock.start();
    workflow.Extract("http://www.youtube.com/watch?v=slowPage001");
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(readingWhenStopped);
    EXPECT_FALSE(workflow.readingPage());
    EXPECT_GE(ticks, 10);  // the loop ran while the page was awaited
    EXPECT_EQ(view.statusTexts.back(), "Stopped before the page arrived");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(view.enabled, (std::array<bool, 5>{}));

    // A batch stopped during a row's read ends there.
    const auto good = addPage("afterSlow01", "After", {{"34", "640x360"}});
    later(400, [&] { workflow.Stop(); });
    workflow.BatchDownload({"http://www.youtube.com/watch?v=slowPage001", good});
    EXPECT_EQ(view.marks, (Strings{"0 skipped: Stopped before the page arrived"}));
    EXPECT_FALSE(requested(site, "afterSlow01-34"));
}

// A second Extract during a slow read takes over: the first ends without touching anything.
TEST_F(WorkflowTest, ANewerExtractTakesOverFromASlowerOne) {
    site::FixedResponse slow;
    slow.body = site::makeWatchPage({"Slow", {{"34", "640x360", site::streamAddress("slowPage002-34")}}});
    slow.delay = std::chrono::milliseconds(8000);
    site.addFixed("/watch?v=slowPage002", slow);
    const auto quick = addPage("quickPage01", "Quick", {{"22", "1280x720"}});
    later(300, [&] { workflow.Extract(quick); });
    QElapsedTimer clock;
    clock.start();
    workflow.Extract("http://www.youtube.com/watch?v=slowPage002");
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(workflow.videoTitle(), "Quick");
    EXPECT_EQ(workflow.List4()[4], site::streamAddress("quickPage01-22"));  // right-aligned
    EXPECT_EQ(view.enabled, (std::array<bool, 5>{false, false, false, false, true}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WorkflowTest, StopEndsTheBatch) {
    const site::StreamShape slow{.size = 3000000, .bytesPerSecond = 500000};
    const auto first = addPage("stopBatch01", "One", {{"34", "640x360"}}, slow);
    const auto second = addPage("stopBatch02", "Two", {{"34", "640x360"}}, slow);
    later(300, [&] { workflow.Stop(); });
    workflow.BatchDownload({first, second});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Download stopped");
    EXPECT_EQ(workflow.jobs().size(), 1u);
    EXPECT_FALSE(requested(site, "stopBatch02-34"));
}

// A stream address that expires mid-download: the job reads its watch page again, takes the
// quality's new address for the same file and goes on with the same .part.
TEST_F(WorkflowTest, AnExpiredStreamAddressIsRenewedFromItsWatchPage) {
    const std::uint64_t size = 4 * 1024 * 1024, expiresAfter = 1536 * 1024;
    // Slow enough per connection that the rest, over as many connections as the job opens,
    // takes several progress reports after the renewal.
    site.addStream("signed1", {.size = size, .bytesPerSecond = 384 * 1024, .etag = "\"same\"",
                               .expireAfterBytes = expiresAfter});
    site.addStream("signed2", {.size = size, .bytesPerSecond = 384 * 1024, .etag = "\"same\""});
    // Every read of the page signs a new address: "signed1", then "signed2"...
    std::atomic<int> reads = 0;
    site.addWatchPageSource("renewedLink", [&reads] {
        const std::string address = site::streamAddress("signed" + std::to_string(++reads));
        return site::makeWatchPage({"Renewed", {{"34", "640x360", address}}});
    });

    workflow.Extract("http://www.youtube.com/watch?v=renewedLink");
    workflow.QualityDownload(4);
    ASSERT_TRUE(boxes.empty()) << boxes.front().text;
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(fileSha256(drive / "Renewed.flv"), streamSha256(size));
    // The first address did serve its share before expiring, and what it gave was kept.
    const std::uint64_t served = site.bytesServed("signed1") + site.bytesServed("signed2");
    EXPECT_GE(site.bytesServed("signed1"), expiresAfter);
    EXPECT_LT(served, size + 256 * 1024);
    EXPECT_TRUE(std::any_of(view.progress.begin(), view.progress.end(), [](const app::ProgressView& shown) {
        return shown.statusLine.ends_with(" (The link expired and was renewed from the page)");
    }));
}

TEST_F(WorkflowTest, AnExpiredStreamOfAnyPageIsRenewedFromThatPage) {
    const std::uint64_t size = 4 * 1024 * 1024, expiresAfter = 1536 * 1024;
    site.addStream("open1", {.size = size, .bytesPerSecond = 384 * 1024, .etag = "\"same\"",
                             .expireAfterBytes = expiresAfter});
    site.addStream("open2", {.size = size, .bytesPerSecond = 384 * 1024, .etag = "\"same\""});
    // A page of today's shape, no watch page: every read signs a new address.
    std::atomic<int> reads = 0;
    site.addWatchPageSource("openPage", [&reads] {
        const std::string address = site::streamAddress("open" + std::to_string(++reads));
        return "<html><head><title>Open</title></head><body><video controls><source src=\"" + address +
               "\" type=\"video/x-flv\"></video></body></html>";
    });

    workflow.Extract("http://www.youtube.com/watch?v=openPage");
    workflow.QualityDownload(4);  // a stream of unknown height lands on the last button
    ASSERT_TRUE(boxes.empty()) << boxes.front().text;
    EXPECT_EQ(reads, 2);
    std::string saved;
    for (const auto& entry : std::filesystem::directory_iterator(drive))
        if (entry.path().filename().string().rfind("Open.", 0) == 0) saved = entry.path().string();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(fileSha256(saved), streamSha256(size));
    // Each read of the page also reads the first bytes of its stream to learn what it is.
    EXPECT_LT(site.bytesServed("open1") + site.bytesServed("open2"), size + 3 * resolve::kProbeBytes);
    EXPECT_TRUE(std::any_of(view.progress.begin(), view.progress.end(), [](const app::ProgressView& shown) {
        return shown.statusLine.ends_with(" (The link expired and was renewed from the page)");
    }));
}
