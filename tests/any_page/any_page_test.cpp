// zenvira-cli on pages of today's shapes, run as a user runs it (a separate process through
// http_proxy): what `resolve` reports, and the files `download` and `batch` save, checked
// with ffprobe and decoded end to end.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/any_page/today_site.h"
#include "tests/media/web_media.h"
#include "tests/support/run_command.h"

using namespace zenvira;
using Json = nlohmann::json;

namespace {

using test::RunResult;

RunResult run(const std::string& command) { return test::runCommand(command); }

std::string quoted(const std::string& text) { return "'" + text + "'"; }

struct Probe {
    int videoStreams = 0, audioStreams = 0;
    int height = 0;
    double seconds = 0;
    bool decodes = false;
};

Probe probe(const std::string& path) {
    Probe p;
    const auto info =
        run("ffprobe -v error -show_entries stream=codec_type,height:format=duration -of "
            "default=nw=1 " +
            quoted(path));
    for (std::size_t at = 0; at < info.out.size();) {
        const auto end = info.out.find('\n', at);
        const std::string line = info.out.substr(at, end - at);
        if (line == "codec_type=video") ++p.videoStreams;
        if (line == "codec_type=audio") ++p.audioStreams;
        if (line.starts_with("height=") && p.height == 0 && line != "height=N/A") p.height = std::stoi(line.substr(7));
        if (line.starts_with("duration=")) p.seconds = std::stod(line.substr(9));
        at = end == std::string::npos ? info.out.size() : end + 1;
    }
    const auto decode = run("ffmpeg -v error -nostdin -i " + quoted(path) + " -f null - 2>&1");
    p.decodes = decode.status == 0 && decode.out.empty();
    return p;
}

class AnyPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediaReady = testsite::prepareTodayMedia(testsite::todayMediaFolder()); }

    void SetUp() override {
        ASSERT_TRUE(mediaReady) << "ffmpeg could not make the test media";
        testsite::serveToday(site, testsite::todayMediaFolder());
    }

    RunResult cli(const std::string& args) {
        return run("http_proxy=" + site.proxyAddress() + " " ZENVIRA_CLI " " + args + " 2>&1");
    }

    static inline bool mediaReady = false;
    site::FixtureSite site;
};

constexpr std::array<int, 5> kHeights = {1080, 720, 480, 360, 240};

std::vector<int> enabledHeights(const Json& resolution) {
    std::vector<int> heights;
    for (std::size_t k = 0; k < kHeights.size(); ++k)
        if (resolution["enabled"][k].get<bool>()) heights.push_back(kHeights[k]);
    return heights;
}

}  // namespace

TEST_F(AnyPage, ResolveReportsTheGenericResolverItsTitleButtonsAndStreams) {
    for (const auto& page : testsite::todayCases()) {
        const auto result = cli("resolve " + quoted(page.address));
        ASSERT_EQ(result.status, 0) << page.name << ": " << result.out;
        const Json resolution = Json::parse(result.out, nullptr, false);
        ASSERT_FALSE(resolution.is_discarded()) << result.out;
        EXPECT_EQ(resolution["resolver"], "generic") << page.name;
        EXPECT_EQ(resolution["videoTitle"], page.title) << page.name;
        EXPECT_EQ(enabledHeights(resolution), page.buttons) << page.name;
        ASSERT_FALSE(resolution["best"].is_null()) << page.name;
        EXPECT_EQ(resolution["List4"].size(), 5u);
        EXPECT_EQ(resolution["List1"], Json::array({"no", "no", "no", "no", "no"})) << page.name;
        for (const auto& stream : resolution["streams"]) {
            EXPECT_TRUE(stream["address"].get<std::string>().starts_with("http")) << page.name;
            // Sound alone has no frame height.
            if (stream["type"] != "audio") {
                EXPECT_GT(stream["height"].get<int>(), 0) << page.name << " " << stream;
            }
            EXPECT_FALSE(stream["container"].get<std::string>().empty()) << page.name;
        }
    }
    // The ladder's variants keep the kind that decides how they are downloaded.
    const Json ladder = Json::parse(cli("resolve " + quoted(testsite::kLadderAddress)).out);
    ASSERT_EQ(ladder["streams"].size(), 3u);
    for (const auto& stream : ladder["streams"]) EXPECT_EQ(stream["kind"], "hls");
    // Video alone names the sound it is joined with; the sound is listed as a track of its own.
    const Json apart = Json::parse(cli("resolve " + quoted(testsite::kSoundApartAddress)).out);
    ASSERT_EQ(apart["streams"].size(), 3u) << apart;
    for (int i : {0, 1}) {
        EXPECT_EQ(apart["streams"][i]["type"], "video") << apart;
        EXPECT_EQ(apart["streams"][i]["language"], "en") << apart;
        EXPECT_EQ(apart["streams"][i]["audio"], "http://stream.example.com/hls-sound/audio/index.m3u8") << apart;
        EXPECT_GT(apart["streams"][i]["bandwidth"].get<int>(), 0) << apart;
    }
    EXPECT_EQ(apart["streams"][2]["type"], "audio");
    EXPECT_EQ(apart["streams"][2]["address"], "http://stream.example.com/hls-sound/audio/index.m3u8");
    EXPECT_EQ(ladder["streams"][0]["type"], "muxed");
    EXPECT_TRUE(ladder["streams"][0]["audio"].is_null());

    const auto none = cli("resolve " + quoted(testsite::kNoVideoAddress));
    ASSERT_EQ(none.status, 0) << none.out;
    const Json empty = Json::parse(none.out);
    EXPECT_EQ(empty["resolver"], "generic");
    EXPECT_EQ(empty["videoTitle"], "Just words");
    EXPECT_TRUE(empty["best"].is_null());
    EXPECT_TRUE(empty["streams"].empty());
    EXPECT_EQ(empty["enabled"], Json::array({false, false, false, false, false}));
}

TEST_F(AnyPage, DownloadSavesTheBestStreamOfEachPageUnderItsTitle) {
    for (const auto& page : testsite::todayCases()) {
        QTemporaryDir folder;
        const auto result = cli("download " + quoted(page.address) + " -o " + quoted(folder.path().toStdString()));
        ASSERT_EQ(result.status, 0) << page.name << ": " << result.out;
        const std::string file = QDir(folder.path()).filePath(QString::fromStdString(page.title + "." + page.extension)).toStdString();
        EXPECT_NE(result.out.find("Saved " + file), std::string::npos) << page.name << ": " << result.out;
        ASSERT_TRUE(QFile::exists(QString::fromStdString(file))) << page.name << ": " << result.out;
        const auto facts = probe(file);
        EXPECT_EQ(facts.height, page.bestHeight) << page.name;
        EXPECT_NEAR(facts.seconds, page.seconds, 0.5) << page.name;
        EXPECT_TRUE(facts.decodes) << page.name;
        // One picture and its sound: never a silent video reported saved.
        EXPECT_EQ(facts.videoStreams, 1) << page.name;
        EXPECT_EQ(facts.audioStreams, 1) << page.name;
        if (!page.videoSource.empty()) {
            const QDir media(testsite::todayMediaFolder());
            const QString saved = QString::fromStdString(file);
            EXPECT_EQ(testmedia::packetHashes(saved, "v"),
                      testmedia::packetHashes(media.filePath(QString::fromStdString(page.videoSource)), "v"))
                << page.name;
            EXPECT_EQ(testmedia::packetHashes(saved, "a"),
                      testmedia::packetHashes(media.filePath(QString::fromStdString(page.soundSource)), "a"))
                << page.name;
        }
        // Nothing is left beside the file: no .part, no segments, no state.
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1) << page.name;
    }
}

// The sound alone, where a page serves it apart; a page whose sound is in its video says so.
TEST_F(AnyPage, AudioOnlySavesTheSoundTrackAlone) {
    QTemporaryDir folder;
    const auto result = cli("download " + quoted(testsite::kSoundApartAddress) + " --audio-only -o " +
                            quoted(folder.path().toStdString()));
    ASSERT_EQ(result.status, 0) << result.out;
    const QString file = QDir(folder.path()).filePath("master.m4a");
    const auto facts = probe(file.toStdString());
    EXPECT_EQ(facts.videoStreams, 0) << result.out;
    EXPECT_EQ(facts.audioStreams, 1) << result.out;
    EXPECT_NEAR(facts.seconds, 6, 0.5);
    EXPECT_EQ(testmedia::packetHashes(file, "a"),
              testmedia::packetHashes(QDir(testsite::todayMediaFolder()).filePath("hls-sound/audio/index.m3u8"), "a"));
    // A manifest's sound the same way; its size is known from the manifest before the first
    // fragment has come, never "of ?" while bytes come.
    const auto dash =
        cli("download " + quoted(testsite::kDashAddress) + " --audio-only --json -o " + quoted(folder.path().toStdString()));
    ASSERT_EQ(dash.status, 0) << dash.out;
    const QString sound = QDir(folder.path()).filePath("manifest.m4a");
    EXPECT_EQ(probe(sound.toStdString()).videoStreams, 0);
    EXPECT_EQ(testmedia::packetHashes(sound, "a"),
              testmedia::packetHashes(QDir(testsite::todayMediaFolder()).filePath("dash-timeline/track-2.mp4"), "a"));
    int progressLines = 0;
    for (std::size_t at = 0; at < dash.out.size();) {
        const auto end = dash.out.find('\n', at);
        const Json line = Json::parse(dash.out.substr(at, end - at), nullptr, false);
        at = end == std::string::npos ? dash.out.size() : end + 1;
        if (line.is_discarded() || line["event"] != "progress") continue;
        ++progressLines;
        EXPECT_GT(line["total"].get<long long>(), 0) << line;
    }
    EXPECT_GT(progressLines, 0) << dash.out;
    const auto none =
        cli("download " + quoted(testsite::kLadderAddress) + " --audio-only -o " + quoted(folder.path().toStdString()));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("This page offers no sound apart from its video"), std::string::npos) << none.out;
}

// Subtitles asked for are saved beside the video as NAME.LANG.vtt: an HLS rendition's
// segments joined under one header, a page's caption track whole; chapters are not subtitles.
TEST_F(AnyPage, SubtitlesAreSavedBesideTheVideo) {
    QTemporaryDir folder;
    const QDir out(folder.path());
    const auto hls = cli("download " + quoted(testsite::kSoundApartAddress) + " --subtitles EN -o " +
                         quoted(folder.path().toStdString()));
    ASSERT_EQ(hls.status, 0) << hls.out;
    QFile english(out.filePath("master.en.vtt"));
    ASSERT_TRUE(english.open(QIODevice::ReadOnly)) << hls.out;
    const QByteArray text = english.readAll();
    EXPECT_TRUE(text.startsWith("WEBVTT")) << text.toStdString();
    EXPECT_EQ(text.count("WEBVTT"), 1) << text.toStdString();
    EXPECT_LT(text.indexOf("First words"), text.indexOf("Last words")) << text.toStdString();
    EXPECT_GT(text.indexOf("First words"), 0) << text.toStdString();

    const auto page = cli("download " + quoted("http://www.example.com/clips/with-captions") + " --subtitles all -o " +
                          quoted(folder.path().toStdString()));
    ASSERT_EQ(page.status, 0) << page.out;
    QFile german(out.filePath("Captions page.de.vtt"));
    ASSERT_TRUE(german.open(QIODevice::ReadOnly)) << page.out;
    EXPECT_TRUE(german.readAll().contains("Erste Worte"));
    EXPECT_EQ(out.entryList(QDir::Files).size(), 4) << out.entryList(QDir::Files).join(", ").toStdString();
}

// A protected manifest is refused with its reason, and leaves nothing behind.
TEST_F(AnyPage, AProtectedManifestIsRefusedAndLeavesNothing) {
    QTemporaryDir folder;
    const auto result =
        cli("download " + quoted(testsite::kProtectedDashAddress) + " -o " + quoted(folder.path().toStdString()));
    EXPECT_EQ(result.status, 1) << result.out;
    EXPECT_NE(result.out.find("ncrypt"), std::string::npos) << result.out;
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(AnyPage, QualityPicksOneVariantEncryptedOrFragmented) {
    struct Pick {
        int quality;
        int height;
    };
    // 360p is AES-128 over MPEG-TS, 240p is fMP4: both come out as plain MP4.
    for (const Pick pick : {Pick{360, 360}, Pick{240, 240}}) {
        QTemporaryDir folder;
        const auto result = cli("download " + quoted("http://www.example.com/live/88") + " --quality " +
                                std::to_string(pick.quality) + " -o " + quoted(folder.path().toStdString()));
        ASSERT_EQ(result.status, 0) << result.out;
        const auto facts = probe(QDir(folder.path()).filePath("Mountain Timelapse.mp4").toStdString());
        EXPECT_EQ(facts.height, pick.height);
        EXPECT_NEAR(facts.seconds, 6, 0.5);
        EXPECT_TRUE(facts.decodes);
    }
    QTemporaryDir folder;
    const auto missing = cli("download " + quoted("http://www.example.com/clips/harbour") + " --quality 1080 -o " +
                             quoted(folder.path().toStdString()));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("1080 is not offered by this page (offered: 720, 360, 240)"), std::string::npos) << missing.out;
}

TEST_F(AnyPage, BatchTakesTheBestOfEveryPageAndGoesOnPastOneWithoutVideo) {
    QTemporaryDir folder;
    const QString list = QDir(folder.path()).filePath("list.txt");
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("http://www.example.com/videos/77-sunset-drive\n" + QByteArray::fromStdString(testsite::kNoVideoAddress) +
               "\nhttp://www.example.net/p/og-clip\n");
    file.close();
    const QString out = QDir(folder.path()).filePath("out");
    const auto result = cli("batch " + quoted(list.toStdString()) + " -o " + quoted(out.toStdString()));
    EXPECT_EQ(result.status, 1) << result.out;  // one row had nothing to save
    EXPECT_EQ(probe(QDir(out).filePath("Sunset Drive.mp4").toStdString()).height, 720) << result.out;
    EXPECT_EQ(probe(QDir(out).filePath("Night City.webm").toStdString()).height, 360) << result.out;
}

TEST_F(AnyPage, LivePlaylistsAreRefusedWithAClearMessage) {
    QTemporaryDir folder;
    const auto result = cli("download " + quoted(testsite::kLiveAddress) + " -o " + quoted(folder.path().toStdString()));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("live stream"), std::string::npos) << result.out;
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}
