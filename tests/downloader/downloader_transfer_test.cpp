// Whole downloads against the fixture site: content, connections, events and outcomes.
#include <gtest/gtest.h>

#include <filesystem>

#include <QByteArray>

#include <algorithm>

#include "engine/page_fetch/page_fetch.h"
#include "engine/transfer/first_bytes.h"
#include "engine/transfer/transfer_errors.h"
#include "tests/downloader/download_harness.h"

namespace zenvira::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

std::string target(const DownloadHarness& h) { return h.driveFolder() + "/clip.flv"; }

class DownloaderTransfer : public ::testing::TestWithParam<int> {
protected:
    DownloadHarness h;
};

TEST_P(DownloaderTransfer, WholeFileMatchesTheStreamAndOnlyTheFinalNameRemains) {
    const int connections = GetParam();
    const std::uint64_t size = 12 * kMiB + 12345;
    h.site.addStream("s1", {.size = size});
    h.prepare(h.streamUrl("s1"), "\\clip.flv", connections, 1024);

    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    EXPECT_FALSE(fileExists(target(h) + ".part"));
    EXPECT_FALSE(fileExists(target(h) + ".part.state"));
    EXPECT_EQ(record.atOutcome.BytesDone, static_cast<std::int64_t>(size));
    EXPECT_EQ(record.atOutcome.BytesTotal, static_cast<std::int64_t>(size));
    // The first request asks for the whole file and goes on as the first piece; a second
    // connection asks for the second half. Without a validator it starts 64 KiB early, to
    // compare those bytes once the first has them. (A connection done early may take over
    // part of another's piece: more requests follow.)
    const auto ranges = h.rangeHeaders();
    ASSERT_GE(static_cast<int>(ranges.size()), connections);
    EXPECT_EQ(ranges[0], "bytes=0-");
    const std::uint64_t half = (size + 1) / 2;
    if (connections > 1) {
        // Connections added meanwhile may reach the server first.
        const std::string secondHalf =
            "bytes=" + std::to_string(half - std::min<std::uint64_t>(65536, half)) + "-" + std::to_string(size - 1);
        EXPECT_NE(std::find(ranges.begin(), ranges.end(), secondHalf), ranges.end());
    }
    for (const auto& request : h.site.requests())
        EXPECT_EQ(request.headers.at("user-agent"), "Mozilla/4.0 (compatible; Clever Internet Suite)");
}

INSTANTIATE_TEST_SUITE_P(Connections, DownloaderTransfer, ::testing::Values(1, 2));

TEST(DownloaderTransferTest, ThroughTheProxyWithAVideoSiteAddress) {
    DownloadHarness h;
    const std::uint64_t size = 3 * kMiB;
    h.site.addStream("proxied", {.size = size});
    qputenv("http_proxy", h.site.proxyAddress().c_str());
    h.prepare(site::streamAddress("proxied"));
    const DownloadRecord record = h.run();
    qunsetenv("http_proxy");
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    EXPECT_EQ(h.site.requests().front().target.rfind("http://v1.lscache.c.youtube.com/videoplayback?", 0), 0u);
}

TEST(DownloaderTransferTest, RedirectionIsFollowedOnceAndTheRangesGoToItsTarget) {
    DownloadHarness h;
    const std::uint64_t size = 10 * kMiB;
    h.site.addStream("moved", {.size = size});
    h.site.addFixed("/get/clip", {.status = 302, .body = "", .headers = {{"Location", h.streamUrl("moved")}}});
    h.prepare(h.site.localAddress("/get/clip"), "\\clip.flv", 2, 1024);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    const auto requests = h.site.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.path == "/get/clip"; }), 1);
    EXPECT_GE(h.rangeHeaders().size(), 2u);  // the followed first request, which goes on as the first half, and the second
}

TEST(DownloaderTransferTest, ServerWithoutRangesGetsOneConnection) {
    DownloadHarness h;
    const std::uint64_t size = 9 * kMiB;
    h.site.addStream("plain", {.size = size, .acceptRanges = false});
    h.prepare(h.streamUrl("plain"), "\\clip.flv", 4);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    const auto ranges = h.rangeHeaders();
    // The first request, answered with the whole file, goes on as the download.
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0], "bytes=0-");
}

// Media a server compresses is stored as the file, never as the gzip bytes; the parts of a
// compressed body are of the compressed bytes, so it comes whole over one connection.
TEST(DownloaderTransferTest, MediaSentCompressedIsSavedDecoded) {
    DownloadHarness h;
    const std::uint64_t size = 3 * kMiB + 777;
    for (const bool ranges : {true, false}) {
        SCOPED_TRACE(ranges ? "parts of the compressed bytes" : "no parts");
        const std::string id = ranges ? "gzipParts" : "gzipWhole";
        const std::string file = "\\" + id + ".flv";
        h.site.clearRequests();
        h.site.addStream(id, {.size = size, .acceptRanges = ranges, .gzipEncoded = true});
        h.prepare(h.streamUrl(id), file, 4);
        const DownloadRecord record = h.run();
        ASSERT_EQ(record.outcome(), 1) << record.errorText;
        EXPECT_TRUE(matchesStream(h.driveFolder() + "/" + id + ".flv", size));
        EXPECT_EQ(record.atOutcome.BytesDone, static_cast<std::int64_t>(size));
        EXPECT_EQ(h.rangeHeaders(), std::vector<std::string>{"bytes=0-"});
        for (const auto& request : h.site.requests()) EXPECT_EQ(request.headers.at("accept-encoding"), "identity");
    }
}

// A job held to a rate keeps its figures coming while its transfers wait for the allowance:
// the limit pauses a transfer, it never stalls the job's loop.
TEST(DownloaderTransferTest, ProgressKeepsComingWhileHeldToARate) {
    DownloadHarness h;
    const std::uint64_t size = 3 * kMiB / 2;
    h.site.addStream("limited", {.size = size});
    h.prepare(h.streamUrl("limited"), "\\clip.flv", 3);
    h.downloader.setMaxBytesPerSecond(512 * 1024);
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> reports;
    const DownloadRecord record = h.run(std::chrono::seconds(20), [&] { reports.push_back(Clock::now()); });
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    EXPECT_GE(record.seconds, 2.0) << "1.5 MiB at 512 KiB/s, over every connection together";
    ASSERT_GE(reports.size(), 2u);
    Clock::duration longestGap{};
    for (std::size_t i = 1; i < reports.size(); ++i) longestGap = std::max(longestGap, reports[i] - reports[i - 1]);
    EXPECT_LT(longestGap, std::chrono::milliseconds(450)) << "figures every tenth of a second or so";
}

TEST(DownloaderTransferTest, EventsFollowTheContract) {
    DownloadHarness h;
    const std::uint64_t size = 24 * kMiB;
    h.site.addStream("paced", {.size = size, .bytesPerSecond = 2 * kMiB});  // 16 connections: about 0.8 s
    h.prepare(h.streamUrl("paced"), "\\clip.flv", 1);
    h.downloader.Stop();  // idle: nothing happens
    EXPECT_FALSE(h.downloader.Busy());

    bool startedTwice = false;
    const DownloadRecord record = h.run(std::chrono::seconds(20), [&] {
        if (!startedTwice) h.downloader.Start(true);  // busy: ignored
        startedTwice = true;
    });
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_EQ(record.outcomes.size(), 1u);
    EXPECT_EQ(record.progressAfterOutcome, 0);
    EXPECT_FALSE(h.downloader.Busy());
    // Data arrive all the time, yet Progress comes at most about ten times a second.
    EXPECT_GE(record.progressEvents, 5);
    EXPECT_LE(record.progressEvents, static_cast<int>(record.seconds * 10) + 3);
    // The last report shows the whole file, so a window can show 100 %.
    EXPECT_EQ(record.lastReported.BytesDone, static_cast<std::int64_t>(size));
    EXPECT_EQ(record.lastReported.BytesTotal, static_cast<std::int64_t>(size));
    EXPECT_EQ(record.lastReported.RemainingSeconds, 0.0);
    EXPECT_GT(record.lastReported.BytesPerSecond, 1.0 * kMiB);
    const auto ranges = h.rangeHeaders();
    EXPECT_EQ(std::count(ranges.begin(), ranges.end(), "bytes=0-"), 1);  // one first request: no second job
}

TEST(DownloaderTransferTest, DroppedConnectionIsTakenUpWhereItStopped) {
    DownloadHarness h;
    const std::uint64_t size = 2 * kMiB;
    // The first request is cut, and so is the retry that takes it up.
    h.site.addStream("drop", {.size = size, .dropAfterBytes = 300000, .dropTimes = 2});
    h.prepare(h.streamUrl("drop"), "\\clip.flv", 1);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    // Without a validator the retry starts 64 KiB early, to compare those bytes with the disk.
    const auto ranges = h.rangeHeaders();
    EXPECT_NE(std::find_if(ranges.begin(), ranges.end(),
                           [](const std::string& r) { return r.rfind("bytes=" + std::to_string(300000 - 65536) + "-", 0) == 0; }),
              ranges.end());
}

TEST(DownloaderTransferTest, ConnectionDroppedEveryTimeFailsAfterItsRetries) {
    DownloadHarness h;
    h.site.addStream("broken", {.size = 4 * kMiB, .dropAfterBytes = 100000, .dropTimes = 1000});
    h.prepare(h.streamUrl("broken"), "\\clip.flv", 1);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 2);
    EXPECT_NE(record.errorText.find("closed the connection"), std::string::npos) << record.errorText;
    EXPECT_EQ(h.rangeHeaders().size(), 6u);  // the first request and five retries
    EXPECT_FALSE(fileExists(target(h)));
    EXPECT_TRUE(fileExists(target(h) + ".part"));
}

TEST(DownloaderTransferTest, ContentLengthThatDisagreesWithTheRangesGivesWarnings) {
    DownloadHarness h;
    const std::uint64_t size = 3 * kMiB;
    for (const std::uint64_t declared : {size + 5000, size / 3}) {
        h.site.addStream("liar", {.size = size, .declaredLength = declared});
        std::filesystem::remove(target(h));  // else the same download is found done
        h.prepare(h.streamUrl("liar"), "\\clip.flv", 1);
        const DownloadRecord record = h.run();
        EXPECT_EQ(record.outcome(), 3) << "declared " << declared << ": " << record.errorText;
        EXPECT_NE(record.errorText.find("Content-Length"), std::string::npos);
        EXPECT_TRUE(matchesStream(target(h), size)) << "declared " << declared;
    }
}

TEST(DownloaderTransferTest, BodyShorterThanItsContentLengthIsNeverASuccess) {
    DownloadHarness h;
    const std::uint64_t size = kMiB;
    h.site.addStream("short", {.size = size, .acceptRanges = false, .declaredLength = size + 1000});
    h.prepare(h.streamUrl("short"));
    const DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 2);
    EXPECT_NE(record.errorText.find("closed the connection"), std::string::npos) << record.errorText;
    EXPECT_FALSE(fileExists(target(h)));
}

TEST(DownloaderTransferTest, MissingContentLength) {
    DownloadHarness h;
    const std::uint64_t size = 2 * kMiB + 7;
    // With parts, Content-Range still tells the size: every byte is checked.
    h.site.addStream("ranged", {.size = size, .omitContentLength = true});
    h.prepare(h.streamUrl("ranged"), "\\ranged.flv");
    DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/ranged.flv", size));

    // Without parts the size is unknown until the end: complete, with a warning.
    h.site.addStream("unsized", {.size = size, .acceptRanges = false, .omitContentLength = true});
    h.prepare(h.streamUrl("unsized"));
    std::int64_t totalWhileRunning = 0;
    record = h.run(std::chrono::seconds(20), [&] { totalWhileRunning = h.downloader.ProgressInfo().BytesTotal; });
    EXPECT_EQ(record.outcome(), 3);
    EXPECT_NE(record.errorText.find("size"), std::string::npos) << record.errorText;
    EXPECT_EQ(totalWhileRunning, -1);
    EXPECT_TRUE(matchesStream(target(h), size));
}

TEST(DownloaderTransferTest, FailuresComeWithTextsAPersonUnderstands) {
    DownloadHarness h;
    h.site.addStream("gone", {.size = 1000, .status = 404});
    h.prepare(h.streamUrl("gone"));
    DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 2);
    EXPECT_EQ(record.errorText, "HTTP 404 Not Found");

    std::string closedPort;
    {
        site::FixtureSite closed;
        closedPort = closed.localAddress("/videoplayback?id=x");
    }
    h.prepare(closedPort);
    record = h.run();
    EXPECT_EQ(record.outcome(), 2);
    EXPECT_EQ(record.errorText, "Could not connect to 127.0.0.1: connection refused");

    for (const std::string address : {"", "ftp://example.com/\x1b]0;x\a.flv", "http://exa mple.com:port/\x1b[2J"}) {
        h.prepare(address);
        int completions = 0;
        auto watch = QObject::connect(&h.downloader, &components::clDownLoader::ProcessCompleted,
                                      [&](int code) { completions += code == 2 ? 1 : 100; });
        h.downloader.Start(true);
        EXPECT_EQ(completions, 0) << "reported from inside Start: " << address;
        DownloadHarness::pump(std::chrono::seconds(5), [&] { return completions > 0; });
        QObject::disconnect(watch);
        EXPECT_EQ(completions, 1) << address;
        const std::string text = h.downloader.ErrorInfo().ErrorText;
        EXPECT_FALSE(text.empty()) << address;
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    }
}

// The check never turns real media away: every container's first bytes hold something no
// text holds; pages and text in any dress are caught.
TEST(DownloaderTransferTest, TheFirstBytesOfEveryContainerPassAndPagesAndTextDoNot) {
    using std::string_literals::operator""s;
    const std::string filler(600, 'A');  // text-like bytes after a binary start
    for (const std::string& media :
         {"FLV\x01\x05\0\0\0\x09"s,
          "\0\0\0\x20"
          "ftypisom"s,
          "\x47\x40\x00\x10\x00"s, "\x1a\x45\xdf\xa3"s, "ID3\x04\0\0"s, "\xff\xf1\x50\x80"s, "OggS\0\x02"s})
        EXPECT_FALSE(components::notMediaProblem(media + filler, "The file")) << media;
    for (const std::string& page :
         {"<!DOCTYPE html><html>"s, "\xef\xbb\xbf\r\n  <html lang=\"fr\">"s, "{\"error\":\"expired\"}"s,
          "Erreur : la vidéo n'est plus disponible.\n"s, "<?xml version=\"1.0\"?><Error/>"s})
        EXPECT_TRUE(components::notMediaProblem(page, "The file")) << page;
    EXPECT_FALSE(components::notMediaProblem("", "The file"));  // an empty file is judged by its size, not here
    EXPECT_TRUE(components::namesMedia("/down/Clip (2).MP4"));
    EXPECT_FALSE(components::namesMedia("/down/avformat.zip.sha256"));
    EXPECT_FALSE(components::namesMedia("/down.mp4/readme"));
}

// A server that lies about what it sends gets no file saved: a web page under a video's
// type, or a size the disk cannot hold, fails with a sentence and leaves no part behind.
TEST(DownloaderTransferTest, APageInPlaceOfTheFileOrASizeBeyondTheDiskIsRefusedAndLeavesNothing) {
    DownloadHarness h;
    std::string page = "<!DOCTYPE html>\n<html><head><title>Error</title></head><body>";
    while (page.size() < 800) page += "<p>The video is not available in your country.</p>";
    page += "</body></html>\n";
    h.site.addFixed("/error-page.mp4", {.body = page, .contentType = "video/mp4"});
    const std::string pageFile = h.driveFolder() + "/../page.html";
    std::filesystem::create_directories(h.driveFolder());
    writeText(pageFile, page);
    h.site.addMedia("/error-page-in-parts.mp4", {.filePath = pageFile, .contentType = "video/mp4"});
    // A long page, coming slowly, is refused at its first bytes, not once all of it is in.
    std::string longPage = page;
    while (longPage.size() < 16 * kMiB) longPage += "<p>The video is not available in your country.</p>\n";
    const std::string longPageFile = h.driveFolder() + "/../long-page.html";
    writeText(longPageFile, longPage);
    h.site.addMedia("/long-page-in-parts.mp4",
                    {.filePath = longPageFile, .bytesPerSecond = 4 * kMiB, .contentType = "video/mp4"});
    h.site.addMedia(
        "/long-page.mp4",
        {.filePath = longPageFile, .acceptRanges = false, .bytesPerSecond = 4 * kMiB, .contentType = "video/mp4"});
    h.site.addFixed("/plain-text.flv",
                    {.body = "Access denied. Your token has expired.\n", .contentType = "video/x-flv"});
    const auto free = std::filesystem::space(h.driveFolder()).available;
    h.site.addStream("peta", {.size = 1000000000000000ull});
    h.site.addStream("free-and-more", {.size = free + (10ull << 30), .acceptRanges = false});
    h.site.addStream("gone", {.size = 1000, .status = 404});
    const struct {
        std::string address;
        std::string sentence;
        std::string served;  // the stream whose bytes must not have gone out, when one
    } cases[] = {
        {h.site.localAddress("/error-page.mp4"), " came as a web page instead of video", ""},
        {h.site.localAddress("/error-page-in-parts.mp4"), " came as a web page instead of video", ""},
        {h.site.localAddress("/plain-text.flv"), " came as text instead of video", ""},
        {h.site.localAddress("/long-page-in-parts.mp4"), " came as a web page instead of video", ""},
        {h.site.localAddress("/long-page.mp4"), " came as a web page instead of video", ""},
        {h.streamUrl("peta"), "There is not enough free space on the disk for ", "peta"},
        {h.streamUrl("free-and-more"), "There is not enough free space on the disk for ", "free-and-more"},
        {h.streamUrl("gone"), "HTTP 404 Not Found", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        h.site.clearRequests();
        h.prepare(c.address);
        const DownloadRecord record = h.run(std::chrono::seconds(30));
        EXPECT_EQ(record.outcome(), 2);
        EXPECT_NE(record.errorText.find(c.sentence), std::string::npos) << record.errorText;
        if (c.sentence.find("instead of video") != std::string::npos) {
            EXPECT_GE(h.site.requests().size(), 3u);  // retried first
            EXPECT_LT(record.atOutcome.BytesDone, static_cast<std::int64_t>(4 * kMiB)) << "over every try";
        }
        if (!c.served.empty()) {
            EXPECT_LT(h.site.bytesServed(c.served), 64u * kMiB);
        }
        EXPECT_FALSE(fileExists(target(h)));
        EXPECT_FALSE(fileExists(target(h) + ".part"));
        EXPECT_FALSE(fileExists(target(h) + ".part.state"));
    }
}

}  // namespace
}  // namespace zenvira::testing

namespace zenvira::testing {
namespace {

// A failure that means the same reads the same whether a file or a page was being fetched.
TEST(DownloaderReasonsTest, RedirectsHeadersAndStrangeServersReadAlikeInTheDownloaderAndThePageFetch) {
    DownloadHarness h;
    h.site.addFixed("/loop", {.status = 302, .body = "", .headers = {{"Location", "/loop"}}});
    h.site.addFixed("/elsewhere", {.status = 302, .body = "", .headers = {{"Location", "ftp://127.0.0.1/clip.flv"}}});
    h.site.addFixed("/giant", {.status = 200, .body = "x", .headers = {{"X-Filler", std::string(300 * 1024, 'a')}}});
    h.site.addFixed("/ssh", {.body = "SSH-2.0-OpenSSH_9.2\r\n", .rawBytes = true});
    h.site.addFixed("/garbled", {.status = 302, .body = "", .headers = {{"Location", "/a\x1b[2Jb"}}});
    std::string closedPort;
    {
        site::FixtureSite closed;
        closedPort = closed.localAddress("/videoplayback?id=x");
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        {h.site.localAddress("/loop"), "Too many redirects (more than 10)"},
        {h.site.localAddress("/elsewhere"), "Redirected to an address that is not http or https: ftp://127.0.0.1/clip.flv"},
        {h.site.localAddress("/giant"), "The server sent a header too large to read"},
        {h.site.localAddress("/ssh"), "127.0.0.1 did not answer in HTTP"},
        {h.site.localAddress("/garbled"), "Redirected to an address that is not valid: bad path"},
        {closedPort, "Could not connect to 127.0.0.1: connection refused"},
    };
    for (const auto& [address, sentence] : cases) {
        h.prepare(address, "\\clip.flv", 2, 0);
        const DownloadRecord record = h.run();
        EXPECT_EQ(record.outcome(), 2) << address;
        EXPECT_EQ(record.errorText, sentence);
        EXPECT_EQ(components::PageFetch().FetchText(address).error, sentence);
    }
}

// A transfer that goes silent shows speed 0 while it waits, not the rate of its last burst.
TEST(DownloaderReasonsTest, AStalledTransferShowsSpeedZero) {
    DownloadHarness h;
    const std::uint64_t size = 2 * kMiB;
    h.site.addStream("stalls", {.size = size, .acceptRanges = false, .stallAfterBytes = kMiB,
                                .stallFor = std::chrono::milliseconds(4500)});
    h.prepare(h.streamUrl("stalls"), "\\clip.flv", 1);
    bool moving = false, zeroWhileStalled = false;
    const DownloadRecord record = h.run(std::chrono::seconds(20), [&] {
        const auto info = h.downloader.ProgressInfo();
        if (info.BytesDone == static_cast<std::int64_t>(size)) return;
        moving = moving || info.BytesPerSecond > 0;
        zeroWhileStalled = zeroWhileStalled || (moving && info.BytesPerSecond == 0);
    });
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(target(h), size));
    EXPECT_TRUE(zeroWhileStalled);
}

// Without Content-Length a body ends when the connection does, so a cut looks like an end.
TEST(DownloaderReasonsTest, ABodyThatEndsWithItsConnectionIsNeverTakenAsWholeWhenCutShort) {
    DownloadHarness h;
    const std::uint64_t size = 2 * kMiB;
    // The first answer (the probe's) tells the size; the whole file then comes without one and
    // is cut by an orderly close, which libcurl takes for the end. The probe takes one cut.
    for (const int cuts : {2, 1000}) {
        const std::string id = "closes" + std::to_string(cuts);
        h.site.addStream(id, {.size = size, .acceptRanges = false, .dropAfterBytes = 300000, .dropTimes = cuts,
                              .omitContentLengthWithoutRange = true});
        h.prepare(h.streamUrl(id), "\\" + id + ".flv", 1);
        const DownloadRecord record = h.run();
        const std::string saved = h.driveFolder() + "/" + id + ".flv";
        if (cuts == 2) {
            ASSERT_EQ(record.outcome(), 1) << record.errorText;
            EXPECT_TRUE(matchesStream(saved, size));
        } else {
            EXPECT_EQ(record.outcome(), 2);
            EXPECT_EQ(record.errorText.rfind("The server closed the connection before the whole file came (gave up", 0), 0u)
                << record.errorText;
            EXPECT_FALSE(fileExists(saved));
        }
    }
    // No size anywhere, and the connection reset: a break, not an end.
    h.site.addStream("resets", {.size = size, .acceptRanges = false, .dropAfterBytes = 300000, .dropTimes = 1000,
                                .resetOnDrop = true, .omitContentLength = true});
    h.prepare(h.streamUrl("resets"), "\\resets.flv", 1);
    const DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 2);
    EXPECT_EQ(record.errorText.rfind(std::string(components::kUnsizedCutShortText) + " (gave up", 0), 0u)
        << record.errorText;
    EXPECT_FALSE(fileExists(h.driveFolder() + "/resets.flv"));
}

}  // namespace
}  // namespace zenvira::testing
