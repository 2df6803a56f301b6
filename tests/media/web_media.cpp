#include "tests/media/web_media.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace zenvira::testmedia {

namespace {

constexpr int kFfmpegTimeoutMs = 180000;

bool runFfmpeg(const QStringList& args) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", QStringList{"-nostdin", "-loglevel", "error", "-y"} + args);
    return ffmpeg.waitForFinished(kFfmpegTimeoutMs) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

QStringList sources(int width, int height, double seconds) {
    return {"-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1x%2:rate=25").arg(width).arg(height),
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", QString::number(seconds)};
}

QStringList h264(double segmentSeconds) {
    const QString gop = QString::number(static_cast<int>(segmentSeconds * 25));
    return {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", gop, "-keyint_min", gop,
            "-sc_threshold", "0", "-c:a", "aac", "-b:a", "64k"};
}

bool writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QStringList hlsOutput(const QString& dir, double segmentSeconds, bool fmp4) {
    QStringList args{
        "-f", "hls", "-hls_time", QString::number(segmentSeconds), "-hls_playlist_type", "vod", "-hls_list_size", "0"};
    if (fmp4)
        args << "-hls_segment_type"
             << "fmp4"
             << "-hls_fmp4_init_filename"
             << "init.mp4"
             << "-hls_segment_filename" << dir + "/seg%03d.m4s";
    else
        args << "-hls_segment_filename" << dir + "/seg%03d.ts";
    return args;
}

// Rewrites ffmpeg's SegmentList of byte ranges as SegmentBase: the initialisation section up to
// the file's top-level sidx box, and the box itself as the index.
bool describeByIndex(const QString& folder, int representations) {
    QFile manifest(folder + "/manifest.mpd");
    if (!manifest.open(QIODevice::ReadOnly)) return false;
    QString text = QString::fromUtf8(manifest.readAll());
    manifest.close();
    for (int r = 0; r < representations; ++r) {
        QFile file(folder + QStringLiteral("/manifest-stream%1.mp4").arg(r));
        if (!file.open(QIODevice::ReadOnly)) return false;
        const QByteArray bytes = file.readAll();
        qint64 at = 0, sidxAt = -1, sidxSize = 0;
        while (at + 8 <= bytes.size()) {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
            const qint64 size = (qint64(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
            if (size < 8) return false;
            if (bytes.mid(at + 4, 4) == "sidx") {
                sidxAt = at;
                sidxSize = size;
                break;
            }
            at += size;
        }
        if (sidxAt < 0) return false;
        const auto begin = text.indexOf("<SegmentList"), end = text.indexOf("</SegmentList>");
        if (begin < 0 || end < begin) return false;
        text.replace(begin, end + 14 - begin,
                     QStringLiteral("<SegmentBase indexRange=\"%1-%2\"><Initialization range=\"0-%3\" /></SegmentBase>")
                         .arg(sidxAt)
                         .arg(sidxAt + sidxSize - 1)
                         .arg(sidxAt - 1));
    }
    return writeText(folder + "/manifest.mpd", text.toUtf8());
}

}  // namespace

bool makeWebClip(const QString& path, WebFormat format, int width, int height, double seconds) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QStringList args = sources(width, height, seconds);
    if (format == WebFormat::Mp4)
        args << h264(1) << "-movflags" << "+faststart" << "-f" << "mp4";
    else
        args << "-c:v" << "libvpx" << "-deadline" << "realtime" << "-cpu-used" << "8" << "-b:v" << "300k" << "-c:a"
             << "libopus" << "-f" << "webm";
    return runFfmpeg(args << path);
}

bool makeHlsLadder(const QString& folder, const HlsLadderShape& ladder) {
    QByteArray master = "#EXTM3U\n#EXT-X-VERSION:7\n";
    if (ladder.audioApart && !ladder.variants.empty()) {
        const QString dir = folder + "/audio";
        QDir().mkpath(dir);
        QStringList args{
            "-f",  "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", QString::number(ladder.seconds), "-c:a",
            "aac", "-b:a",  "64k"};
        if (!runFfmpeg(args << hlsOutput(dir, ladder.segmentSeconds, ladder.variants.front().fmp4)
                            << dir + "/index.m3u8"))
            return false;
        master +=
            "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"sound\",NAME=\"English\",LANGUAGE=\"en\",DEFAULT=YES,"
            "AUTOSELECT=YES,URI=\"audio/index.m3u8\"\n";
        const QString subs = folder + "/subs";
        QDir().mkpath(subs);
        const QByteArray header = "WEBVTT\nX-TIMESTAMP-MAP=MPEGTS:900000,LOCAL:00:00:00.000\n\n";
        if (!writeText(subs + "/en0.vtt", header + "00:00:00.500 --> 00:00:01.500\nFirst words\n") ||
            !writeText(subs + "/en1.vtt", header + "00:00:03.500 --> 00:00:04.500\nLast words\n") ||
            !writeText(subs + "/en.m3u8",
                       "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXT-X-PLAYLIST-TYPE:VOD\n#EXTINF:3,\nen0.vtt\n"
                       "#EXTINF:3,\nen1.vtt\n#EXT-X-ENDLIST\n"))
            return false;
        master +=
            "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"English\",LANGUAGE=\"en\",URI=\"subs/en.m3u8\"\n";
    }
    for (const auto& variant : ladder.variants) {
        const QString name = QString::number(variant.height) + "p";
        const QString dir = folder + "/" + name;
        QDir().mkpath(dir);
        QStringList args = sources(variant.width, variant.height, ladder.seconds);
        args << h264(ladder.segmentSeconds);
        if (ladder.audioApart) args << "-an";
        args << hlsOutput(dir, ladder.segmentSeconds, variant.fmp4);
        if (variant.encrypted) {
            QByteArray key(16, '\0');
            for (int i = 0; i < 16; ++i) key[i] = static_cast<char>(0x30 + i * 7);
            // The playlist names the key relatively: "key.bin" beside it.
            if (!writeText(dir + "/key.bin", key) ||
                !writeText(dir + "/keyinfo", "key.bin\n" + (dir + "/key.bin").toUtf8() + "\n"))
                return false;
            args << "-hls_key_info_file" << dir + "/keyinfo";
        }
        if (!runFfmpeg(args << dir + "/index.m3u8")) return false;
        QFile::remove(dir + "/keyinfo");
        master += "#EXT-X-STREAM-INF:BANDWIDTH=" + QByteArray::number(variant.height * 2000) +
                  ",RESOLUTION=" + QByteArray::number(variant.width) + "x" + QByteArray::number(variant.height) +
                  (ladder.audioApart ? ",AUDIO=\"sound\",SUBTITLES=\"subs\"" : "") + "\n" + name.toUtf8() +
                  "/index.m3u8\n";
    }
    return writeText(folder + "/master.m3u8", master);
}

bool makeDashSet(const QString& folder, DashShape shape, const std::vector<int>& heights, double seconds,
                 double segmentSeconds) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QStringList args{"-f", "lavfi",
                     "-i", QStringLiteral("testsrc=size=1280x720:rate=25"),
                     "-f", "lavfi",
                     "-i", "sine=frequency=440:sample_rate=48000",
                     "-t", QString::number(seconds)};
    QString videoStreams;
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const QString k = QString::number(i);
        args << "-map"
             << "0:v"
             << "-s:v:" + k << QStringLiteral("%1x%2").arg(heights[i] * 16 / 9 / 2 * 2).arg(heights[i]);
        videoStreams += (i ? "," : "") + k;
    }
    const bool single = shape == DashShape::SingleFile || shape == DashShape::IndexedFile;
    if (single) args << "-single_file" << "1";
    if (shape == DashShape::IndexedFile) args << "-global_sidx" << "1";
    args << "-map" << "1:a" << h264(segmentSeconds) << "-f" << "dash" << "-seg_duration" << QString::number(segmentSeconds);
    args << "-use_template" << (shape == DashShape::List || single ? "0" : "1");
    args << "-use_timeline" << (shape == DashShape::Timeline ? "1" : "0");
    args << "-adaptation_sets" << "id=0,streams=" + videoStreams + " id=1,streams=" + QString::number(heights.size());
    if (!runFfmpeg(args << folder + "/manifest.mpd")) return false;
    return shape != DashShape::IndexedFile || describeByIndex(folder, static_cast<int>(heights.size()) + 1);
}

QString dashTrackFile(const QString& folder, int representation, int fragments) {
    // A representation in one file is its own track file.
    if (const QString single = folder + QStringLiteral("/manifest-stream%1.mp4").arg(representation); QFile::exists(single))
        return single;
    const QString path = folder + QStringLiteral("/track-%1.mp4").arg(representation);
    if (QFile::exists(path)) return path;
    const QDir dir(folder);
    QByteArray bytes;
    QStringList names{QStringLiteral("init-stream%1.m4s").arg(representation)};
    QStringList chunks = dir.entryList({QStringLiteral("chunk-stream%1-*.m4s").arg(representation)}, QDir::Files, QDir::Name);
    if (fragments > 0) chunks = chunks.mid(0, fragments);
    names += chunks;
    for (const QString& name : names) {
        QFile piece(dir.filePath(name));
        if (!piece.open(QIODevice::ReadOnly)) return {};
        bytes += piece.readAll();
    }
    return writeText(path, bytes) ? path : QString();
}

bool makeTrackFile(const QString& path, TrackMedia media, int height, double seconds) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString time = QString::number(seconds);
    const QString video = QStringLiteral("testsrc=size=%1x%2:rate=25").arg(height * 16 / 9 / 2 * 2).arg(height);
    const QString sound = "sine=frequency=440:sample_rate=48000";
    switch (media) {
    case TrackMedia::H264Video:
        return runFfmpeg(QStringList{"-f", "lavfi", "-i", video, "-t", time} + h264(1) +
                         QStringList{"-an", "-f", "mp4", path});
    case TrackMedia::AacAudio:
        return runFfmpeg({"-f", "lavfi", "-i", sound, "-t", time, "-c:a", "aac", "-b:a", "64k", "-f", "mp4", path});
    case TrackMedia::Vp9Video:
        return runFfmpeg({"-f", "lavfi", "-i", video, "-t", time, "-c:v", "libvpx-vp9", "-deadline", "realtime",
                          "-cpu-used", "8", "-b:v", "200k", "-an", "-f", "webm", path});
    case TrackMedia::OpusAudio:
        return runFfmpeg({"-f", "lavfi", "-i", sound, "-t", time, "-c:a", "libopus", "-f", "webm", path});
    }
    return false;
}

std::vector<std::string> packetHashes(const QString& path, const char* streams) {
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-select_streams", streams, "-show_entries", "packet=data_hash",
                              "-show_data_hash", "md5", "-of", "csv=p=0", path});
    std::vector<std::string> hashes;
    if (!ffprobe.waitForFinished(kFfmpegTimeoutMs) || ffprobe.exitCode() != 0) return hashes;
    // A packet with side data prints an empty field before its hash.
    for (const QByteArray& line : ffprobe.readAllStandardOutput().split('\n'))
        if (const auto at = line.indexOf("MD5:"); at >= 0) hashes.push_back(line.mid(at).trimmed().toStdString());
    return hashes;
}

}  // namespace zenvira::testmedia
