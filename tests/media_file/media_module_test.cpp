#include "media/media_file/media_module.h"
#include "media/media_file/plain_header.h"
#include "tests/media/flv_clip.h"
#include "tests/media/web_media.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

namespace zenvira::components {
namespace {

constexpr std::string_view kUnloaded = "FFmpeg's libraries could not be loaded: ";

TEST(MediaModule, WhatCannotBeLoadedIsRefusedWithTheSystemsReason) {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("zenvira-media.so").toStdString();
    std::string error;
    EXPECT_EQ(media_module::load({missing}, error), nullptr);
    EXPECT_TRUE(error.starts_with(kUnloaded)) << error;
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;

    const std::string notAModule = dir.filePath("text.so").toStdString();
    std::ofstream(notAModule) << "not a shared object\n";
    error.clear();
    EXPECT_EQ(media_module::load({notAModule}, error), nullptr);
    EXPECT_TRUE(error.starts_with(kUnloaded)) << error;

    error.clear();
    EXPECT_EQ(media_module::load({}, error), nullptr);
    EXPECT_TRUE(error.starts_with(kUnloaded)) << error;
}

TEST(MediaModule, TheFirstPlaceHoldingTheModuleIsUsedAndItReadsMedia) {
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.flv");
    ASSERT_TRUE(testmedia::makeFlvClip(clip, 320, 240, 1));
    std::ifstream in(clip.toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    std::string error;
    const auto* module = media_module::load({dir.filePath("absent.so").toStdString(), ZENVIRA_MEDIA_MODULE_IN_BUILD}, error);
    ASSERT_NE(module, nullptr) << error;
    const MediaFacts facts = module->probe(bytes);
    EXPECT_TRUE(facts.recognised);
    EXPECT_EQ(facts.container, "flv");
    EXPECT_EQ(facts.height, 240);
    EXPECT_TRUE(facts.error.empty());
}

std::string fileBytes(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What the first bytes say plainly is what FFmpeg reads from them; where they do not say it
// for sure, FFmpeg is asked.
TEST(MediaModule, APlainHeaderReadsAsFfmpegReadsIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(testmedia::makeFlvClip(dir.filePath("clip.flv"), 320, 240, 1));
    ASSERT_TRUE(testmedia::makeWebClip(dir.filePath("clip.mp4"), testmedia::WebFormat::Mp4, 640, 360, 1));
    ASSERT_TRUE(testmedia::makeWebClip(dir.filePath("clip.webm"), testmedia::WebFormat::WebM, 426, 240, 1));
    std::string error;
    const auto* module = media_module::load({ZENVIRA_MEDIA_MODULE_IN_BUILD}, error);
    ASSERT_NE(module, nullptr) << error;
    for (const char* name : {"clip.flv", "clip.mp4"}) {
        SCOPED_TRACE(name);
        const std::string bytes = fileBytes(dir.filePath(name)).substr(0, 256 * 1024);
        const auto plain = readPlainHeader(bytes);
        ASSERT_TRUE(plain.has_value());
        const MediaFacts ffmpeg = module->probe(bytes);
        EXPECT_EQ(plain->recognised, ffmpeg.recognised);
        EXPECT_EQ(plain->container, ffmpeg.container);
        EXPECT_EQ(plain->width, ffmpeg.width);
        EXPECT_EQ(plain->height, ffmpeg.height);
        // Cut inside its index, the header says nothing for sure.
        EXPECT_FALSE(readPlainHeader(bytes.substr(0, 40)).has_value());
    }
    EXPECT_FALSE(readPlainHeader(fileBytes(dir.filePath("clip.webm"))).has_value());
    EXPECT_FALSE(readPlainHeader(std::string(4096, '\x5a')).has_value());
}

// A join of a long input that comes slowly (a pipe fed at about 1 MB/s) is asked to stop
// 50 ms in: it ends within 0.2 s of that, says it was stopped, and leaves no file behind.
TEST(MediaModule, AJoinAskedToStopEndsAtOnceAndLeavesNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(testmedia::makeHlsLadder(
        dir.path(), {.variants = {{.width = 64, .height = 64}}, .seconds = 30, .segmentSeconds = 10}));
    std::string stream;
    for (const QString& name : QDir(dir.filePath("64p")).entryList({"seg*.ts"}, QDir::Files, QDir::Name)) {
        std::ifstream in(dir.filePath("64p/" + name).toStdString(), std::ios::binary);
        stream.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(stream.size(), 256u * 1024);

    const std::string pipe = dir.filePath("slow.ts").toStdString();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);  // the join closes its end while the feed still writes
    std::atomic<bool> over{false};
    std::thread feed([&] {
        std::FILE* out = std::fopen(pipe.c_str(), "wb");  // waits for the join to open it
        if (!out) return;
        constexpr std::size_t kStep = 4096;
        for (std::size_t at = 0; at < stream.size() && !over; at += kStep) {
            if (std::fwrite(stream.data() + at, 1, std::min(kStep, stream.size() - at), out) == 0 ||
                std::fflush(out) != 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
        std::fclose(out);
    });

    std::string error;
    const auto* module = media_module::load({ZENVIRA_MEDIA_MODULE_IN_BUILD}, error);
    ASSERT_NE(module, nullptr) << error;
    const std::string output = dir.filePath("joined.mp4").toStdString();
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto stopAt = start + std::chrono::milliseconds(50);
    const JoinResult joined = module->join({pipe}, output, [&] { return Clock::now() >= stopAt; });
    const auto ended = Clock::now();
    over = true;
    // A feed still waiting for a reader is let go.
    if (const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK); fd >= 0) ::close(fd);
    feed.join();

    EXPECT_FALSE(joined.ok);
    EXPECT_TRUE(joined.stopped);
    EXPECT_EQ(joined.error, kJoinStoppedText);
    EXPECT_LT(ended - stopAt, std::chrono::milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(output));
}

double durationOf(const QString& path) {
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    ffprobe.waitForFinished(60000);
    return ffprobe.readAllStandardOutput().trimmed().toDouble();
}

// Video and sound that come apart become one file of the container their codecs call for,
// every packet of each track in it unchanged; a container that cannot hold a codec is refused.
TEST(MediaModule, TracksApartJoinIntoOneFileWithTheirPacketsUnchanged) {
    using testmedia::TrackMedia;
    struct Case {
        TrackMedia video, audio;
        std::vector<std::string> codecs;  // as a manifest names them
        std::string container;
    };
    const std::vector<Case> cases = {
        {TrackMedia::H264Video, TrackMedia::AacAudio, {"avc1.64001f", "mp4a.40.2"}, "mp4"},
        {TrackMedia::Vp9Video, TrackMedia::OpusAudio, {"vp09.00.10.08", "opus"}, "webm"},
        {TrackMedia::H264Video, TrackMedia::OpusAudio, {"avc1.4d401e", "vorbis"}, "mkv"},
    };
    QTemporaryDir dir;
    std::string error;
    const auto* module = media_module::load({ZENVIRA_MEDIA_MODULE_IN_BUILD}, error);
    ASSERT_NE(module, nullptr) << error;
    const auto fileOf = [&](TrackMedia media) {
        const QString path = dir.filePath(QString::number(static_cast<int>(media)) + ".track");
        if (!QFile::exists(path)) {
            EXPECT_TRUE(testmedia::makeTrackFile(path, media, 144, 2));
        }
        return path;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.container);
        EXPECT_EQ(containerForCodecs(c.codecs), c.container);
        const QString video = fileOf(c.video), audio = fileOf(c.audio);
        const QString output = dir.filePath(QString::fromStdString("joined." + c.container));
        const JoinResult joined =
            module->joinTracks({{video.toStdString()}, {audio.toStdString()}}, output.toStdString(), c.container, {});
        ASSERT_TRUE(joined.ok) << joined.error;
        EXPECT_NEAR(joined.seconds, 2, 0.2);
        EXPECT_NEAR(durationOf(output), 2, 0.5);
        const auto videoHashes = testmedia::packetHashes(output, "v");
        EXPECT_EQ(videoHashes.size(), testmedia::packetHashes(video, "v").size());
        EXPECT_EQ(videoHashes, testmedia::packetHashes(video, "v"));
        EXPECT_EQ(testmedia::packetHashes(output, "a"), testmedia::packetHashes(audio, "a"));
        EXPECT_FALSE(videoHashes.empty());
    }
    EXPECT_EQ(containerForCodecs({}), "mp4");
    EXPECT_EQ(containerForCodecs({"hvc1.1.6.L93.B0", ""}), "mp4");
    EXPECT_EQ(containerForCodecs({"vp8", "Vorbis"}), "webm");
    EXPECT_EQ(containerForCodecs({"avc1.64001f,ac-3"}), "mp4");
    EXPECT_EQ(containerForCodecs({"avc1.64001f", "dtsc"}), "mkv");

    const QString refused = dir.filePath("refused.webm");
    const JoinResult wrong =
        module->joinTracks({{fileOf(TrackMedia::H264Video).toStdString()}}, refused.toStdString(), "webm", {});
    EXPECT_FALSE(wrong.ok);
    EXPECT_NE(wrong.error.find("h264"), std::string::npos) << wrong.error;
}

}  // namespace
}  // namespace zenvira::components
