// Manifests written by ffmpeg's own dash muxer, read back: every address the reader makes
// must name a file the muxer wrote, and a single file's index must tile it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <string>

#include "media/dash/mpd_manifest.h"

using namespace zenvira::components::dash;

namespace {

const QString kMedia = QStringLiteral(ZENVIRA_DASH_MEDIA);
const std::string kOrigin = "http://media.example.com/dash/";

// A 4-second clip (320x180 at 25 frames, a tone) cut by the dash muxer in 1-second
// segments into `name`/manifest.mpd; kept in the build folder for the next run.
QString muxed(const QString& name, const QStringList& options) {
    const QString folder = kMedia + "/" + name;
    if (QFile::exists(folder + "/manifest.mpd")) return folder;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(folder);
    ffmpeg.start("ffmpeg", QStringList{"-nostdin",
                                       "-loglevel",
                                       "error",
                                       "-y",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "testsrc=size=320x180:rate=25",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=440:sample_rate=48000",
                                       "-t",
                                       "4",
                                       "-c:v",
                                       "libx264",
                                       "-preset",
                                       "ultrafast",
                                       "-pix_fmt",
                                       "yuv420p",
                                       "-g",
                                       "25",
                                       "-keyint_min",
                                       "25",
                                       "-sc_threshold",
                                       "0",
                                       "-c:a",
                                       "aac",
                                       "-b:a",
                                       "64k",
                                       "-f",
                                       "dash",
                                       "-seg_duration",
                                       "1"} +
                               options + QStringList{"part.mpd"});
    if (!ffmpeg.waitForFinished(180000) || ffmpeg.exitCode() != 0) return {};
    QFile::rename(folder + "/part.mpd", folder + "/manifest.mpd");
    return folder;
}

std::string readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

QString localPath(const QString& folder, const std::string& address) {
    if (!address.starts_with(kOrigin)) return {};
    return folder + "/" + QString::fromStdString(address.substr(kOrigin.size()));
}

}  // namespace

TEST(MpdFromFfmpeg, TemplatesWithAndWithoutTimelineNameTheWrittenFiles) {
    for (const bool timeline : {false, true}) {
        SCOPED_TRACE(timeline);
        const QString folder =
            muxed(timeline ? "timeline" : "numbered", {"-use_template", "1", "-use_timeline", timeline ? "1" : "0"});
        ASSERT_FALSE(folder.isEmpty()) << "ffmpeg could not write the DASH clip";
        const auto read = readManifest(readAll(folder + "/manifest.mpd"), kOrigin + "manifest.mpd");
        ASSERT_TRUE(read.manifest) << read.error;
        ASSERT_EQ(read.manifest->representations.size(), 2u);
        const auto& video = read.manifest->representations[0];
        EXPECT_EQ(video.type, TrackType::Video);
        EXPECT_EQ(video.height, 180);
        EXPECT_EQ(video.fragments.size(), 4u);
        EXPECT_EQ(read.manifest->representations[1].type, TrackType::Audio);
        EXPECT_NEAR(read.manifest->seconds, 4, 0.1);
        for (const auto& r : read.manifest->representations) {
            ASSERT_EQ(r.initialisations.size(), 1u);
            EXPECT_TRUE(QFile::exists(localPath(folder, r.initialisations[0].addresses.front())));
            double seconds = 0;
            for (const auto& fragment : r.fragments) {
                EXPECT_TRUE(QFile::exists(localPath(folder, fragment.piece.addresses.front())))
                    << fragment.piece.addresses.front();
                seconds += fragment.seconds;
            }
            EXPECT_NEAR(seconds, 4, 0.1);
        }
    }
}

TEST(MpdFromFfmpeg, SingleFileRangesAndItsIndexTileTheFile) {
    const QString folder = muxed("single", {"-single_file", "1", "-global_sidx", "1", "-use_template", "0",
                                            "-use_timeline", "0", "-single_file_name", "video-$RepresentationID$.mp4"});
    ASSERT_FALSE(folder.isEmpty()) << "ffmpeg could not write the DASH clip";
    const auto listed = readManifest(readAll(folder + "/manifest.mpd"), kOrigin + "manifest.mpd");
    ASSERT_TRUE(listed.manifest) << listed.error;
    const auto& video = listed.manifest->representations.at(0);
    const std::string file = readAll(localPath(folder, video.fragments.at(0).piece.addresses.front()));
    ASSERT_FALSE(file.empty());

    // The same file described by its index: where the sidx box sits among the top-level boxes.
    std::uint64_t at = 0, sidxAt = 0, sidxSize = 0;
    while (at + 8 <= file.size()) {
        std::uint64_t size = 0;
        for (int i = 0; i < 4; ++i) size = (size << 8) | static_cast<unsigned char>(file[at + i]);
        if (file.compare(at + 4, 4, "sidx") == 0) sidxAt = at, sidxSize = size;
        if (size < 8) break;
        at += size;
    }
    ASSERT_GT(sidxSize, 0u) << "ffmpeg wrote no sidx";
    const std::string indexed =
        "<MPD type=\"static\" mediaPresentationDuration=\"PT4S\"><Period><AdaptationSet mimeType=\"video/mp4\">"
        "<Representation id=\"v\" bandwidth=\"1\"><BaseURL>" +
        video.fragments[0].piece.addresses.front() + "</BaseURL><SegmentBase indexRange=\"" + std::to_string(sidxAt) +
        "-" + std::to_string(sidxAt + sidxSize - 1) + "\"/></Representation></AdaptationSet></Period></MPD>";
    const auto based = readManifest(indexed, kOrigin + "indexed.mpd");
    ASSERT_TRUE(based.manifest) << based.error;
    const auto& r = based.manifest->representations.at(0);
    ASSERT_TRUE(r.indexToRead && r.indexToRead->range);
    EXPECT_EQ(r.initialisations.at(0).range, (ByteSpan{0, sidxAt - 1}));
    const auto cut = fragmentsFromIndex(r, std::string_view(file).substr(sidxAt, sidxSize));
    ASSERT_TRUE(cut.error.empty()) << cut.error;
    ASSERT_EQ(cut.fragments.size(), video.fragments.size());
    std::uint64_t next = sidxAt + sidxSize;
    double seconds = 0;
    for (std::size_t i = 0; i < cut.fragments.size(); ++i) {
        ASSERT_TRUE(cut.fragments[i].piece.range);
        EXPECT_EQ(cut.fragments[i].piece.range->first, next) << i;
        EXPECT_EQ(cut.fragments[i].piece.range, video.fragments[i].piece.range) << i;
        next = cut.fragments[i].piece.range->last + 1;
        seconds += cut.fragments[i].seconds;
    }
    EXPECT_EQ(next, file.size());
    EXPECT_NEAR(seconds, 4, 0.1);
}
