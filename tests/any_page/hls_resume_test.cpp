// A stopped HLS download keeps its segments and the list of those done; the next start
// fetches only the others and joins the whole stream. A segment that cannot be had names why.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "engine/download_job.h"
#include "engine/fragments/hls_job.h"
#include "engine/journal/fragment_journal.h"
#include "media/media_file/segment_join.h"
#include "tests/any_page/today_site.h"
#include "tests/media/web_media.h"
#include "tests/support/run_command.h"

using namespace zenvira;

namespace {

std::string readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Segments fetched whole; a rerun's check of the first bytes of a kept one asks for a range.
int segmentRequests(const site::FixtureSite& site) {
    int count = 0;
    for (const auto& request : site.requests())
        count += request.path.ends_with(".ts") && !request.headers.count("range");
    return count;
}

// Serves the test media's 720p variant: its playlist at `playlistPath`, its segments in
// `folder`, each after the delay `delayOf` gives it. Returns how many segments it has.
int serveVariant(site::FixtureSite& site, const std::string& folder, const std::string& playlistPath,
                 const std::function<std::chrono::milliseconds(const QString&)>& delayOf = {},
                 const QString& variantFolder = {}) {
    const QDir variant(variantFolder.isEmpty() ? testsite::todayMediaFolder() + "/hls/720p" : variantFolder);
    int segments = 0;
    for (const QString& file : variant.entryList(QDir::Files)) {
        site::FixedResponse response;
        response.body = readAll(variant.filePath(file));
        const bool list = file.endsWith(".m3u8");
        response.contentType = list ? "application/vnd.apple.mpegurl" : "video/mp2t";
        if (delayOf) response.delay = delayOf(file);
        segments += !list;
        site.addFixed(list ? playlistPath : folder + file.toStdString(), response);
    }
    return segments;
}

// Stops `stop` once the first segment is on the disk and recorded in the journal.
std::thread stopOnceTheFirstIsRecorded(const std::string& target, components::CancelToken& stop) {
    return std::thread([target, &stop] {
        for (int i = 0; i < 2000; ++i) {  // up to 20 s on a busy machine
            std::ifstream state(target + ".part.hls");
            std::string text((std::istreambuf_iterator<char>(state)), std::istreambuf_iterator<char>());
            if (text.find("\ndone\t0\t") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stop.cancel();
    });
}

components::JobSettings settingsFor(const std::string& address, const QTemporaryDir& folder, const std::string& name) {
    components::JobSettings settings;
    settings.address = address;
    settings.folder = folder.path().toStdString();
    settings.fileName = "\\" + name;
    settings.userAgent = "test";
    return settings;
}

}  // namespace

TEST(HlsResume, AStoppedDownloadGoesOnWithTheSegmentsItLacks) {
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    site::FixtureSite site;
    // The 720p variant's three segments, each answered slowly enough to stop between them.
    const int segments = serveVariant(site, "/slow/", "/slow/index.m3u8", [](const QString& file) {
        const bool later = file.endsWith(".ts") && file != "seg000.ts";
        return std::chrono::milliseconds(later ? 4000 : 0);
    });
    ASSERT_EQ(segments, 3);
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir folder;
    const components::JobSettings settings = settingsFor("http://stream.example.com/slow/index.m3u8", folder, "Resumed.mp4");
    const std::string target = settings.folder + "/Resumed.mp4";

    components::ProgressMeter meter;
    components::CancelToken stop;
    std::thread stopper = stopOnceTheFirstIsRecorded(target, stop);  // the quick first segment
    const auto first = components::runHlsJob(settings, meter, stop, [] {});
    stopper.join();
    EXPECT_EQ(first.outcome, components::JobOutcome::Stopped) << first.text;
    EXPECT_FALSE(std::filesystem::exists(target));
    ASSERT_TRUE(std::filesystem::exists(target + ".part.hls"));
    EXPECT_TRUE(std::filesystem::exists(target + ".part.segments/000000"));

    site.clearRequests();
    components::ProgressMeter again;
    components::CancelToken noStop;
    const auto second = components::runHlsJob(settings, again, noStop, [] {});
    EXPECT_EQ(second.outcome, components::JobOutcome::Completed) << second.text;
    EXPECT_EQ(second.path, target);
    EXPECT_EQ(segmentRequests(site), 2);  // the first segment was kept
    EXPECT_GT(again.snapshot().BytesResumed, 0);
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(target + ".part.hls"));
    EXPECT_FALSE(std::filesystem::exists(target + ".part.segments"));
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));
    unsetenv("http_proxy");
}

TEST(HlsFailures, ASegmentThatCannotBeHadSaysWhyInTheSharedWords) {
    site::FixtureSite site;
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    const auto playlist = [](const std::string& segment) {
        return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + segment + "\n#EXT-X-ENDLIST\n";
    };
    site.addFixed("/broken/gone.m3u8", {.body = playlist("gone.ts"), .contentType = "application/vnd.apple.mpegurl"});
    site.addFixed("/broken/loop.m3u8", {.body = playlist("loop.ts"), .contentType = "application/vnd.apple.mpegurl"});
    site.addFixed("/broken/loop.ts", {.status = 302, .body = "", .headers = {{"Location", "/broken/loop.ts"}}});
    // An error page in place of a segment, under status 200: never skipped, never joined.
    site.addFixed("/broken/page.m3u8", {.body = playlist("page.ts"), .contentType = "application/vnd.apple.mpegurl"});
    site.addFixed("/broken/page.ts", {.body = "<html><body><h1>Segment not available</h1></body></html>"});
    // A segment on this machine's own disk: refused before anything is created.
    site.addFixed("/broken/local.m3u8",
                  {.body = playlist("file:///etc/hostname"), .contentType = "application/vnd.apple.mpegurl"});
    QTemporaryDir folder;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"gone", "HTTP 404 Not Found (http://stream.example.com/broken/gone.ts)"},
        {"loop", "Too many redirects (more than 10) (http://stream.example.com/broken/loop.ts)"},
        {"page", "A segment (http://stream.example.com/broken/page.ts) came as a web page instead of video"},
        {"local",
         "The playlist names a part of the stream that is not a web address, so it is not downloaded: "
         "file:///etc/hostname"},
    };
    for (const auto& [name, text] : cases) {
        const auto settings = settingsFor("http://stream.example.com/broken/" + name + ".m3u8", folder, name + ".mp4");
        components::ProgressMeter meter;
        components::CancelToken stop;
        const auto result = components::runHlsJob(settings, meter, stop, [] {});
        EXPECT_EQ(result.outcome, components::JobOutcome::Failed);
        EXPECT_NE(result.text.find(text), std::string::npos) << result.text;
        // Refused before its first segment came: nothing is left to go on with.
        const std::string target = settings.folder + "/" + name + ".mp4";
        for (const std::string leftover : {"", ".part", ".part.hls", ".part.segments"})
            EXPECT_FALSE(std::filesystem::exists(target + leftover)) << name << leftover;
    }
}

TEST(HlsChange, AnotherVideoUnderTheSameNamesAfterAStopIsFetchedWholeNeverSpliced) {
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    site::FixtureSite site;
    // The 720p video, its later segments slow enough to stop after the first one.
    serveVariant(site, "/change/", "/change/index.m3u8", [](const QString& file) {
        return std::chrono::milliseconds(file.endsWith(".ts") && file != "seg000.ts" ? 4000 : 0);
    });
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir folder;
    const auto settings = settingsFor("http://stream.example.com/change/index.m3u8", folder, "Changed.mp4");
    const std::string target = settings.folder + "/Changed.mp4";
    components::ProgressMeter meter;
    components::CancelToken stop;
    std::thread stopper = stopOnceTheFirstIsRecorded(target, stop);
    const auto first = components::runHlsJob(settings, meter, stop, [] {});
    stopper.join();
    ASSERT_EQ(first.outcome, components::JobOutcome::Stopped) << first.text;

    // Now another video under the same names, its playlist's text the same to the byte.
    QTemporaryDir other;
    ASSERT_TRUE(testmedia::makeHlsLadder(other.path(), {{{640, 360, false, false}}, 6, 2}));
    ASSERT_EQ(readAll(other.path() + "/360p/index.m3u8"),
              readAll(testsite::todayMediaFolder() + "/hls/720p/index.m3u8"));
    serveVariant(site, "/change/", "/change/index.m3u8", {}, other.path() + "/360p");
    components::ProgressMeter again;
    components::CancelToken noStop;
    const auto second = components::runHlsJob(settings, again, noStop, [] {});
    ASSERT_EQ(second.outcome, components::JobOutcome::Completed) << second.text;
    EXPECT_EQ(again.snapshot().Notice, "The stream changed on the server; it is fetched again from its start");

    // The file is the new video whole: the same as a download of it from nothing.
    QTemporaryDir fresh;
    const auto straight = settingsFor("http://stream.example.com/change/index.m3u8", fresh, "Changed.mp4");
    components::ProgressMeter third;
    ASSERT_EQ(components::runHlsJob(straight, third, noStop, [] {}).outcome, components::JobOutcome::Completed);
    const std::string saved = readAll(QString::fromStdString(target));
    EXPECT_FALSE(saved.empty());
    EXPECT_TRUE(saved == readAll(QString::fromStdString(straight.folder + "/Changed.mp4")));
    unsetenv("http_proxy");
}

TEST(HlsStop, StopEndsAPlaylistReadThatTakesItsTime) {
    site::FixtureSite site;
    site.addFixed("/late/index.m3u8", {.body = "#EXTM3U\n",
                                       .contentType = "application/vnd.apple.mpegurl",
                                       .delay = std::chrono::milliseconds(5000)});
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir folder;
    const auto settings = settingsFor("http://stream.example.com/late/index.m3u8", folder, "Late.mp4");
    components::ProgressMeter meter;
    components::CancelToken stop;
    std::chrono::steady_clock::time_point stoppedAt;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stoppedAt = std::chrono::steady_clock::now();
        stop.cancel();
    });
    const auto result = components::runHlsJob(settings, meter, stop, [] {});
    const auto endedAt = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_EQ(result.outcome, components::JobOutcome::Stopped) << result.text;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - stoppedAt);
    std::printf("stop during a playlist read ended it in %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_FALSE(std::filesystem::exists(settings.folder + "/Late.mp4.part"));
    unsetenv("http_proxy");
}

TEST(HlsByType, APlaylistWhoseAddressDoesNotSaySoIsStillFetchedByItsSegments) {
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    site::FixtureSite site;
    // The server names the type; the address ends in neither .m3u8 nor .m3u.
    serveVariant(site, "/nameless/", "/nameless/playlist");
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir folder;
    components::JobSettings settings = settingsFor("http://stream.example.com/nameless/playlist", folder, "Nameless.mp4");
    settings.connections = 2;
    components::ProgressMeter meter;
    components::CancelToken stop;
    const auto result = components::runAnyJob(settings, meter, stop, [] {});
    EXPECT_EQ(result.outcome, components::JobOutcome::Completed) << result.text;
    const std::string target = settings.folder + "/Nameless.mp4";
    EXPECT_EQ(readAll(QString::fromStdString(target)).substr(4, 4), "ftyp");  // the joined video, not the list
    EXPECT_EQ(segmentRequests(site), 3);
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));
    EXPECT_FALSE(std::filesystem::exists(target + ".part.state"));
    unsetenv("http_proxy");
}

TEST(HlsStop, AJoinEndsAtTheFirstReadAfterItIsCancelled) {
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    const QString variant = testsite::todayMediaFolder() + "/hls/720p/";
    const std::vector<std::string> pieces = {(variant + "seg000.ts").toStdString(), (variant + "seg001.ts").toStdString(),
                                             (variant + "seg002.ts").toStdString()};
    QTemporaryDir folder;
    const std::string output = folder.path().toStdString() + "/joined.mp4";
    ASSERT_TRUE(components::joinIntoMp4(pieces, output).ok);  // whole when nobody stops it
    int asked = 0;
    const auto stopped = components::joinIntoMp4(pieces, output, [&] { return ++asked > 2; });
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.error, components::kJoinStoppedText);
    EXPECT_EQ(asked, 3);  // not asked again once it said stop
}

namespace {

// The fragments a journal in `folder` records as done.
std::set<int> recordedFragments(const QString& folder) {
    std::set<int> done;
    for (const QString& name : QDir(folder).entryList({"*.part.hls"}, QDir::Files)) {
        std::ifstream journal((folder + "/" + name).toStdString());
        for (std::string line; std::getline(journal, line);)
            if (line.starts_with("done\t")) done.insert(std::stoi(line.substr(5)));
    }
    return done;
}

// Whole fetches of segments among `indices` ("/kill/seg007.ts" is segment 7).
int wholeFetchesOf(const site::FixtureSite& site, const std::set<int>& indices) {
    int count = 0;
    for (const auto& request : site.requests()) {
        const auto at = request.path.rfind("/seg");
        if (at == std::string::npos || !request.path.ends_with(".ts") || request.headers.count("range")) continue;
        count += indices.count(std::stoi(request.path.substr(at + 4))) > 0;
    }
    return count;
}

std::string framesOf(const std::string& path) {
    return test::runCommand("ffmpeg -v error -nostdin -i '" + path + "' -map 0 -c copy -f framemd5 - 2>&1").out;
}

}  // namespace

TEST(HlsKilled, KilledAtRandomMomentsItNeverFetchesARecordedFragmentAgainAndSavesTheSourcesPackets) {
    QTemporaryDir source;
    ASSERT_TRUE(testmedia::makeHlsLadder(source.path(), {{{320, 180, false, false}}, 40, 1}));
    const QDir variant(source.path() + "/180p");
    site::FixtureSite site;
    std::vector<std::string> segmentFiles;
    for (const QString& file : variant.entryList({"*.ts"}, QDir::Files, QDir::Name)) {
        segmentFiles.push_back(variant.filePath(file).toStdString());
        // Each connection capped, so the download lasts a second or two.
        site.addMedia("/kill/" + file.toStdString(),
                      {.filePath = segmentFiles.back(), .bytesPerSecond = 40 * 1024, .contentType = "video/mp2t"});
    }
    ASSERT_GE(segmentFiles.size(), 36u);
    site.addFixed("/kill/index.m3u8",
                  {.body = readAll(variant.filePath("index.m3u8")), .contentType = "application/vnd.apple.mpegurl"});
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir out;
    const QStringList arguments = {"download", "http://stream.example.com/kill/index.m3u8", "-o", out.path()};

    std::mt19937 dice(20261209);
    std::uniform_int_distribution<int> moment(300, 2000);
    std::set<int> recorded;
    std::string journalled;  // fragments recorded after each kill, for the log
    int kills = 0;
    for (int i = 0; i < 10; ++i) {
        site.clearRequests();
        QProcess child;
        child.start(ZENVIRA_CLI, arguments);
        ASSERT_TRUE(child.waitForStarted());
        const int wait = moment(dice);
        const bool finished = child.waitForFinished(wait);
        if (!finished) {
            child.kill();  // SIGKILL: nothing gets written on the way out
            ASSERT_TRUE(child.waitForFinished(5000));
            ++kills;
        }
        EXPECT_EQ(wholeFetchesOf(site, recorded), 0) << "run " << i << " fetched again a fragment recorded before";
        if (finished) break;
        const std::set<int> now = recordedFragments(out.path());
        EXPECT_TRUE(std::includes(now.begin(), now.end(), recorded.begin(), recorded.end())) << "run " << i;
        recorded = now;
        journalled += " " + std::to_string(recorded.size()) + "@" + std::to_string(wait);
    }
    std::printf("%d kills; fragments recorded after each:%s of %zu\n", kills, journalled.c_str(), segmentFiles.size());
    site.clearRequests();
    QProcess last;
    last.start(ZENVIRA_CLI, arguments);
    ASSERT_TRUE(last.waitForFinished(30000));
    EXPECT_EQ(last.exitCode(), 0) << last.readAll().toStdString();
    EXPECT_EQ(wholeFetchesOf(site, recorded), 0);
    EXPECT_GT(kills, 3);

    const QStringList saved = QDir(out.path()).entryList({"*.mp4"}, QDir::Files);
    ASSERT_EQ(saved.size(), 1) << saved.join(", ").toStdString();
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size() == 1);
    QTemporaryDir straight;
    const std::string joined = straight.path().toStdString() + "/straight.mp4";
    ASSERT_TRUE(components::joinIntoMp4(segmentFiles, joined).ok);
    const std::string expected = framesOf(joined);
    EXPECT_NE(expected.find("0,"), std::string::npos) << expected;
    EXPECT_EQ(framesOf((out.path() + "/" + saved.front()).toStdString()), expected);
    unsetenv("http_proxy");
}

TEST(HlsJournal, WhatAFinishedJournalNamesIsReadBackAndALineCutByACrashIsNot) {
    QTemporaryDir folder;
    const std::string journalPath = folder.path().toStdString() + "/clip.mp4.part.hls";
    components::FragmentState start;
    start.playlist = {"http://stream.example.com/a.m3u8", "\"e1\"", "Wed, 09 Dec 2026 03:00:00 GMT", "sha256:ab"};
    start.done[0] = {0, 3, "\"s0\""};
    std::ofstream(folder.path().toStdString() + "/0") << "abc";
    std::ofstream(folder.path().toStdString() + "/2") << "defgh";
    std::ofstream(folder.path().toStdString() + "/3") << "ij";
    {
        components::FragmentJournal journal;
        std::string error;
        ASSERT_TRUE(journal.begin(journalPath, start, error)) << error;
        journal.add({2, 5, "modified Wed, 09 Dec 2026 03:00:01 GMT"}, folder.path().toStdString() + "/2");
        journal.add({3, 7, ""}, folder.path().toStdString() + "/3");  // not as long as said: never recorded
        journal.finish();
    }
    std::ofstream(journalPath, std::ios::app) << "done\t12\t4";  // a crash in the middle of a line
    const auto read = components::readFragmentState(journalPath);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->playlist.sameAs(start.playlist));
    ASSERT_EQ(read->done.size(), 2u);
    EXPECT_EQ(read->done.at(0).validator, "\"s0\"");
    EXPECT_EQ(read->done.at(2).length, 5);
    EXPECT_EQ(read->done.at(2).validator, "modified Wed, 09 Dec 2026 03:00:01 GMT");
    // The server's word that the playlist changed counts even when its text did not.
    auto newer = start.playlist;
    newer.etag = "\"e2\"";
    EXPECT_FALSE(read->playlist.sameAs(newer));
}

TEST(HlsRate, AStreamHeldToARateTakesItsSizeOverTheRateAndItsFiguresKeepComing) {
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    site::FixtureSite site;
    serveVariant(site, "/rated/", "/rated/index.m3u8");
    std::int64_t size = 0;
    const QDir variant(testsite::todayMediaFolder() + "/hls/720p");
    for (const QFileInfo& file : variant.entryInfoList({"*.ts"}, QDir::Files)) size += file.size();
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir folder;
    components::JobSettings settings = settingsFor("http://stream.example.com/rated/index.m3u8", folder, "Rated.mp4");
    settings.maxBytesPerSecond = 160 * 1024;  // over every segment's connection together
    components::ProgressMeter meter;
    components::CancelToken stop;
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<Clock::time_point, std::int64_t>> reports;
    const auto began = Clock::now();
    const auto result = components::runHlsJob(settings, meter, stop, [&] {
        reports.emplace_back(Clock::now(), meter.done());
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    ASSERT_EQ(result.outcome, components::JobOutcome::Completed) << result.text;
    // The allowance may start with a short burst, never more.
    const double floor = static_cast<double>(size - 32 * 1024) / static_cast<double>(settings.maxBytesPerSecond);
    EXPECT_GE(seconds, floor) << size << " bytes of segments";
    ASSERT_GE(reports.size(), 2u);
    Clock::duration longestGap{};
    std::set<std::int64_t> figures;
    for (std::size_t i = 1; i < reports.size(); ++i) {
        longestGap = std::max(longestGap, reports[i].first - reports[i - 1].first);
        figures.insert(reports[i].second);
    }
    EXPECT_LT(longestGap, std::chrono::milliseconds(450)) << "the limit holds a transfer, never the job's loop";
    EXPECT_GE(figures.size(), 8u) << "the bytes done grow while held, not segment by segment";
    unsetenv("http_proxy");
}

// A signed address that expires in the middle of a stream: the page gives a new one, and
// the fragments on the disk go on with it only when the renewed stream is the same one.
TEST(HlsRenewal, AnExpiredStreamIsRenewedFromItsPageAndKeepsOnlyWhatTheRenewedOneStillServes) {
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    site::FixtureSite site;
    const std::string host = "http://stream.example.com";
    // The first address serves its playlist and its first segment, then no more.
    serveVariant(site, "/signed/a/", "/signed/a/index.m3u8");
    for (const std::string later : {"seg001.ts", "seg002.ts"})
        site.addFixed("/signed/a/" + later, {.status = 410, .body = "", .delay = std::chrono::milliseconds(1500)});
    site.addFixed("/signed/gone/index.m3u8", {.status = 403, .body = ""});
    serveVariant(site, "/signed/b/", "/signed/b/index.m3u8");
    // Another video whose playlist reads the same to the byte.
    QTemporaryDir other;
    ASSERT_TRUE(testmedia::makeHlsLadder(other.path(), {{{640, 360, false, false}}, 6, 2}));
    serveVariant(site, "/signed/other/", "/signed/other/index.m3u8", {}, other.path() + "/360p");
    setenv("http_proxy", site.proxyAddress().c_str(), 1);

    struct Case {
        std::string name, first, renewed;
        int keptSegments;    // of the first address, never fetched whole again
        std::string notice;  // the last one shown
        std::string sameAs;  // the folder whose stream the file must equal
    };
    const std::string renewedText = "The link expired and was renewed from the page";
    const std::vector<Case> cases = {
        {"same stream", "/signed/a/index.m3u8", "/signed/b/index.m3u8", 1, renewedText, "/signed/b/"},
        {"playlist expired", "/signed/gone/index.m3u8", "/signed/b/index.m3u8", 0, renewedText, "/signed/b/"},
        {"another video", "/signed/a/index.m3u8", "/signed/other/index.m3u8", 0,
         "The stream changed on the server; it is fetched again from its start", "/signed/other/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        components::JobSettings settings = settingsFor(host + c.first, folder, "Renewed.mp4");
        settings.pageAddress = "http://www.example.com/watch/renewed";
        settings.quality = "720";
        std::vector<std::string> asked;
        settings.renewAddress = [&](const std::string& page, const std::string& quality, components::CancelToken&) {
            asked.push_back(page + " " + quality);
            return host + c.renewed;
        };
        site.clearRequests();
        components::ProgressMeter meter;
        components::CancelToken stop;
        const auto result = components::runHlsJob(settings, meter, stop, [] {});
        ASSERT_EQ(result.outcome, components::JobOutcome::Completed) << result.text;
        EXPECT_EQ(asked, std::vector<std::string>{settings.pageAddress + " 720"});
        EXPECT_EQ(meter.snapshot().Notice, c.notice);
        int wholeOfRenewed = 0;
        for (const auto& request : site.requests())
            wholeOfRenewed += request.path.starts_with(c.sameAs) && request.path.ends_with(".ts") &&
                              !request.headers.count("range");
        EXPECT_EQ(wholeOfRenewed, 3 - c.keptSegments);

        // The file is the renewed stream whole: the same as a download of it from nothing.
        QTemporaryDir fresh;
        const auto straight = settingsFor(host + c.sameAs + "index.m3u8", fresh, "Renewed.mp4");
        components::ProgressMeter third;
        ASSERT_EQ(components::runHlsJob(straight, third, stop, [] {}).outcome, components::JobOutcome::Completed);
        const std::string saved = readAll(QString::fromStdString(result.path));
        EXPECT_FALSE(saved.empty());
        EXPECT_TRUE(saved == readAll(QString::fromStdString(straight.folder + "/Renewed.mp4")));
        for (const std::string leftover : {".part", ".part.hls", ".part.segments"})
            EXPECT_FALSE(std::filesystem::exists(result.path + leftover)) << leftover;
    }

    // A page that offers no new address: the download fails saying so, and keeps what came.
    QTemporaryDir folder;
    components::JobSettings settings = settingsFor(host + "/signed/a/index.m3u8", folder, "Lapsed.mp4");
    settings.renewAddress = [&](const std::string&, const std::string&, components::CancelToken&) {
        return host + "/signed/a/index.m3u8";
    };
    components::ProgressMeter meter;
    components::CancelToken stop;
    const auto lapsed = components::runHlsJob(settings, meter, stop, [] {});
    EXPECT_EQ(lapsed.outcome, components::JobOutcome::Failed);
    EXPECT_TRUE(lapsed.text.starts_with("HTTP 410 Gone (http://stream.example.com/signed/a/seg00")) << lapsed.text;
    EXPECT_TRUE(lapsed.text.ends_with(" (the link expired and the page offers no new one)")) << lapsed.text;
    EXPECT_TRUE(std::filesystem::exists(lapsed.path + ".part.segments/000000"));
    unsetenv("http_proxy");
}

// A DASH download killed while its video and sound come: the next run fetches only the
// fragments the journal lacks and joins both tracks, their packets those of the source.
TEST(DashKilled, AKilledDownloadGoesOnWithTheFragmentsItLacksAndJoinsBothTracks) {
    QTemporaryDir source;
    ASSERT_TRUE(testmedia::makeDashSet(source.path(), testmedia::DashShape::Timeline, {180}, 20, 1));
    site::FixtureSite site;
    for (const QString& file : QDir(source.path()).entryList({"*.m4s"}, QDir::Files))
        site.addMedia(
            "/killdash/" + file.toStdString(),
            {.filePath = source.filePath(file).toStdString(), .bytesPerSecond = 30 * 1024, .contentType = "video/mp4"});
    site.addFixed("/killdash/manifest.mpd",
                  {.body = readAll(source.filePath("manifest.mpd")), .contentType = "application/dash+xml"});
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    QTemporaryDir out;
    const QStringList arguments = {"download", "http://dash.example.com/killdash/manifest.mpd", "-o", out.path()};
    QProcess first;
    first.start(ZENVIRA_CLI, arguments);
    ASSERT_TRUE(first.waitForStarted());
    std::set<int> recorded;
    for (int i = 0; i < 100 && recorded.size() < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        recorded = recordedFragments(out.path());
    }
    first.kill();  // SIGKILL: nothing gets written on the way out
    ASSERT_TRUE(first.waitForFinished(5000));
    recorded = recordedFragments(out.path());
    ASSERT_GE(recorded.size(), 1u);

    site.clearRequests();
    QProcess last;
    last.start(ZENVIRA_CLI, arguments);
    ASSERT_TRUE(last.waitForFinished(60000));
    EXPECT_EQ(last.exitCode(), 0) << last.readAll().toStdString();
    int fetched = 0;
    for (const auto& request : site.requests())
        fetched += request.path.ends_with(".m4s") && !request.headers.count("range");
    const int fragments = static_cast<int>(QDir(source.path()).entryList({"*.m4s"}, QDir::Files).size());
    // Only what the journal lacked came again (a kept fragment is checked by a range).
    EXPECT_EQ(fetched, fragments - static_cast<int>(recorded.size()));
    const QString saved = out.filePath("manifest.mp4");
    ASSERT_TRUE(QFile::exists(saved)) << QDir(out.path()).entryList().join(", ").toStdString();
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
    EXPECT_EQ(testmedia::packetHashes(saved, "v"),
              testmedia::packetHashes(testmedia::dashTrackFile(source.path(), 0), "v"));
    EXPECT_EQ(testmedia::packetHashes(saved, "a"),
              testmedia::packetHashes(testmedia::dashTrackFile(source.path(), 1), "a"));
    unsetenv("http_proxy");
}
