// zenvira-cli download --serve as a user runs it, a separate process against the fixture site
// whose connections each bring a steady rate: ffprobe and ffmpeg read the served address while
// the download runs, the index at the start of the file or at its end, a seek far ahead, and
// the file saved is the one the site has. The server answers only its token, only on 127.0.0.1.
// An HLS and a DASH download are served as a playlist of their tracks' fragments.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <optional>
#include <string>

#include "tests/media/web_media.h"
#include "tests/site/fixture_site.h"
#include "tests/stream/served_cli.h"

namespace {

using namespace zenvira;

void ensureApplication() {
    static int argc = 1;
    static char name[] = "stream_process_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// A folder one test process makes for the media folder is made under a name of its own and
// then renamed into place, as served::madeOnce does for a file.
QString scratchFor(const QString& path) {
    return path + "." + QString::number(QCoreApplication::applicationPid()) + ".tmp";
}

// A clip of `seconds` at a steady 600 kb/s, its index first or last; made once, kept in the
// build folder.
QString movie(bool indexFirst, int seconds) {
    const QString path =
        QStringLiteral(STREAM_MEDIA_DIR "/clip-%1-%2.mp4").arg(indexFirst ? "first" : "last").arg(seconds);
    QStringList arguments = {"-v",
                             "error",
                             "-y",
                             "-f",
                             "lavfi",
                             "-i",
                             "testsrc2=size=320x180:rate=25,noise=alls=40:allf=t",
                             "-f",
                             "lavfi",
                             "-i",
                             "sine=frequency=440",
                             "-t",
                             QString::number(seconds),
                             "-c:v",
                             "libx264",
                             "-preset",
                             "ultrafast",
                             "-g",
                             "25",
                             "-b:v",
                             "600k",
                             "-maxrate",
                             "600k",
                             "-bufsize",
                             "600k",
                             "-c:a",
                             "aac",
                             "-b:a",
                             "64k"};
    if (indexFirst)
        arguments << "-movflags"
                  << "+faststart";
    return served::madeOnce(path, arguments);
}

QByteArray sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

struct Tool {
    int status = -1;
    QString out, err;
};

// ffprobe and ffmpeg read the served address straight, never through the site's proxy.
Tool runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(served::peerEnvironment());
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

std::string textOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

constexpr int kFragmentedSeconds = 40;

// An HLS ladder of one variant in MPEG-TS, its sound a rendition of its own, or a DASH set of
// a video and a sound representation in fMP4, both in 2-second fragments; made once. The HLS
// folder also holds copied.mp4, the source's tracks copied by ffmpeg into one MP4: MPEG-TS
// frames its packets apart from MP4 (start codes, ADTS headers), so a saved file's packets are
// compared with those.
QString fragmentedMovie(bool dash) {
    const QString folder = QStringLiteral(STREAM_MEDIA_DIR "/%1-%2").arg(dash ? "dash" : "hls").arg(kFragmentedSeconds);
    if (QFile::exists(folder + "/made")) return folder;
    const QString scratch = scratchFor(folder);
    QDir(scratch).removeRecursively();
    bool made = dash ? testmedia::makeDashSet(scratch, testmedia::DashShape::Template, {180}, kFragmentedSeconds)
                     : testmedia::makeHlsLadder(scratch, {.variants = {{320, 180, false, false}},
                                                          .seconds = kFragmentedSeconds,
                                                          .segmentSeconds = 2,
                                                          .audioApart = true});
    if (made && !dash) {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-y", "-i", scratch + "/180p/index.m3u8", "-i",
                                scratch + "/audio/index.m3u8", "-map", "0:v", "-map", "1:a", "-c", "copy",
                                scratch + "/copied.mp4"});
        made = ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
    }
    QFile marker(scratch + "/made");
    made = made && marker.open(QIODevice::WriteOnly);
    marker.close();
    // Another process may have put its own in place first: then that one is used.
    if (made && !QDir().rename(scratch, folder)) made = QFile::exists(folder + "/made");
    QDir(scratch).removeRecursively();
    return made ? folder : QString();
}

class ServedDownload : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }

    // Starts zenvira-cli on a direct link to `file` served at `perConnection` bytes a second
    // a connection, with --json: the address comes as the first line that names it.
    std::optional<QString> start(const QString& file, std::uint64_t perConnection, bool sized = true) {
        stream = "served" + std::to_string(++started);
        site.addStream(stream, {.filePath = file.toStdString(),
                                .acceptRanges = sized,
                                .bytesPerSecond = perConnection,
                                .omitContentLength = !sized,
                                .contentType = "video/mp4"});
        return startAt(site::streamAddress(stream));
    }

    // zenvira-cli on `address`, saving as out/STREAM.mp4.
    std::optional<QString> startAt(const std::string& address) {
        source = address;
        served::startCli(cli, ZENVIRA_CLI, site, home.path(),
                         {"download", QString::fromStdString(address), "--serve", "--json", "-o",
                          QString::fromStdString("out/" + stream + ".mp4")});
        while (cli.waitForReadyRead(30000) || cli.canReadLine()) {
            while (cli.canReadLine()) {
                const auto object = QJsonDocument::fromJson(cli.readLine()).object();
                if (object.contains("serving")) {
                    EXPECT_EQ(object.value("address").toString().toStdString(), address);
                    return object.value("serving").toString();
                }
                if (object.value("event") == "progress") ADD_FAILURE() << "a byte came before the address";
            }
        }
        return std::nullopt;
    }

    // zenvira-cli on the HLS or DASH presentation in `folder`, each file a connection brings at
    // `perConnection` bytes a second.
    std::optional<QString> startFragments(const QString& folder, bool dash, std::uint64_t perConnection = 8 * 1024) {
        stream = "fragments" + std::to_string(++started);
        return startAt(served::serveFragments(site, folder, stream, dash, perConnection));
    }

    // Waits for the line that says the file is saved.
    bool waitForSaved() {
        while (cli.canReadLine() || cli.waitForReadyRead(60000)) {
            while (cli.canReadLine())
                if (QJsonDocument::fromJson(cli.readLine()).object().value("event") == "saved") return true;
        }
        return false;
    }

    // The share of the file the download reported last.
    double doneShare() {
        double share = -1;
        cli.waitForReadyRead(300);  // what it wrote meanwhile
        while (cli.canReadLine()) {
            const auto object = QJsonDocument::fromJson(cli.readLine()).object();
            if (object.value("event") == "progress" && object.value("total").toDouble() > 0)
                share = object.value("received").toDouble() / object.value("total").toDouble();
        }
        return share;
    }

    void finishAndCompare(const QString& file) {
        ASSERT_TRUE(cli.waitForFinished(120000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        EXPECT_EQ(sha256Of(home.filePath(QString::fromStdString("out/" + stream + ".mp4"))), sha256Of(file));
    }

    QString savedFile() const { return home.filePath(QString::fromStdString("out/" + stream + ".mp4")); }

    void TearDown() override {
        if (cli.state() != QProcess::NotRunning) {
            cli.kill();
            cli.waitForFinished();
        }
    }

    site::FixtureSite site;
    QTemporaryDir home;
    QProcess cli;
    std::string stream;  // the site's name of the file being served
    std::string source;  // the address zenvira-cli was given
    int started = 0;
};

double durationOf(const Tool& probe) { return probe.out.trimmed().toDouble(); }

// ffprobe finds the duration within 3 s of the address with the index first, and within 5 s
// with the index at the end (its tail is asked for, so it comes early). The time bounds are
// those of the feature, generous for a loaded machine: the whole download would take 15 s.
TEST_F(ServedDownload, TheDurationIsReadSoonWhereverTheIndexIs) {
    for (const bool indexFirst : {true, false}) {
        SCOPED_TRACE(indexFirst ? "index first" : "index last");
        const QString file = movie(indexFirst, 120);
        ASSERT_FALSE(file.isEmpty()) << "ffmpeg could not make the clip";
        const auto address = start(file, 48 * 1024);
        ASSERT_TRUE(address);
        QElapsedTimer clock;
        clock.start();
        const Tool probe =
            runTool("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", *address});
        const auto took = clock.elapsed();
        EXPECT_EQ(probe.status, 0) << probe.err.toStdString();
        EXPECT_NEAR(durationOf(probe), 120, 1);
        EXPECT_LT(took, indexFirst ? 3000 : 5000);
        EXPECT_LT(doneShare(), 0.5);
        TearDown();  // the saved file is compared below, once
    }
}

// A seek to 80 % decodes a second of frames while most of the file is still to come; the
// saved file is whole and the same.
TEST_F(ServedDownload, ASeekFarAheadDecodesBeforeTheDownloadGetsThere) {
    const QString file = movie(false, 120);
    ASSERT_FALSE(file.isEmpty());
    const auto address = start(file, 48 * 1024);
    ASSERT_TRUE(address);
    const Tool decode = runTool("ffmpeg", {"-v", "error", "-ss", "96", "-i", *address, "-t", "1", "-f", "null", "-"});
    EXPECT_EQ(decode.status, 0) << decode.err.toStdString();
    const double share = doneShare();
    EXPECT_GE(share, 0);
    EXPECT_LT(share, 0.5) << "the seek came after half the download";
    finishAndCompare(file);
}

// A server that says no size (and sends no parts): the file is served while it comes, from its
// start in chunks, and a closed range once its bytes are there; ffprobe reads the duration
// and ffmpeg copies every frame while the download runs, to its end.
TEST_F(ServedDownload, AFileOfUnknownSizeIsServedWhileItComes) {
    const QString file = movie(true, 20);
    ASSERT_FALSE(file.isEmpty());
    const auto address = start(file, 192 * 1024, false);
    ASSERT_TRUE(address);
    const Tool head = runTool("curl", {"-sS", "--noproxy", "*", "-D", "-", "-o", "/dev/null", "-r", "0-99", *address});
    EXPECT_TRUE(head.out.startsWith("HTTP/1.1 206")) << head.out.toStdString();
    EXPECT_TRUE(head.out.contains("Content-Range: bytes 0-99/*")) << head.out.toStdString();
    const Tool probe =
        runTool("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", *address});
    EXPECT_EQ(probe.status, 0) << probe.err.toStdString();
    EXPECT_NEAR(durationOf(probe), 20, 1);
    EXPECT_FALSE(QFile::exists(savedFile())) << "the download ended before the duration was read";
    const Tool copy = runTool("bash", {"-c",
                                       "set -o pipefail; curl -sS --noproxy '*' -D \"$2\" \"$1\" | "
                                       "ffprobe -v error -count_packets -select_streams v:0 "
                                       "-show_entries stream=nb_read_packets -of csv=p=0 -",
                                       "reader", *address, home.filePath("copy-head")});
    EXPECT_EQ(copy.status, 0) << copy.err.toStdString();
    EXPECT_EQ(copy.out.trimmed().toULongLong(), testmedia::packetHashes(file, "v").size());
    EXPECT_TRUE(QString::fromStdString(textOf(home.filePath("copy-head"))).contains("Transfer-Encoding: chunked"));
    finishAndCompare(file);
}

// Another path than the token's is refused, and the server listens on the loopback address
// only: the machine's other addresses do not answer on its port.
TEST_F(ServedDownload, OnlyTheTokenIsServedAndOnlyOnTheLoopbackAddress) {
    const QString file = movie(true, 120);
    ASSERT_FALSE(file.isEmpty());
    const auto address = start(file, 1024 * 1024);
    ASSERT_TRUE(address);
    const QUrl url(*address);
    EXPECT_EQ(url.host(), "127.0.0.1");
    const QString token = url.path().section('/', 1, 1);
    EXPECT_EQ(token.size(), 32) << "128 random bits";
    // The head of an answer, as curl prints it.
    const auto headOf = [&](const QString& path, const QString& range = {}) {
        QStringList arguments = {"-sS", "--noproxy", "*", "--path-as-is", "-D", "-", "-o", "/dev/null"};
        if (!range.isEmpty())
            arguments << "-H"
                      << "Range: " + range;
        return runTool("curl", arguments << "http://127.0.0.1:" + QString::number(url.port()) + path).out;
    };
    EXPECT_TRUE(headOf("/").startsWith("HTTP/1.1 404"));
    QString wrong = token;
    wrong[0] = token[0] == 'a' ? 'b' : 'a';
    EXPECT_TRUE(headOf("/" + wrong + "/clip.mp4").startsWith("HTTP/1.1 404"));
    EXPECT_TRUE(headOf("/../" + token + "/clip.mp4").startsWith("HTTP/1.1 404"));
    const QString part = headOf(url.path(), "bytes=100-199");
    EXPECT_TRUE(part.startsWith("HTTP/1.1 206")) << part.toStdString();
    EXPECT_TRUE(part.contains("Content-Range: bytes 100-199/" + QString::number(QFile(file).size())));
    EXPECT_TRUE(part.contains("Content-Length: 100"));
    EXPECT_TRUE(headOf(url.path(), "bytes=999999999-").startsWith("HTTP/1.1 416"));

    const Tool addresses = runTool("hostname", {"-I"});
    for (const QString& other : addresses.out.split(' ', Qt::SkipEmptyParts)) {
        if (other.contains(':') || other.trimmed().isEmpty()) continue;  // IPv6: the listener is IPv4 anyway
        const Tool reach =
            runTool("curl", {"-sS", "--noproxy", "*", "--connect-timeout", "2", "-o", "/dev/null",
                             "http://" + other.trimmed() + ":" + QString::number(url.port()) + url.path()});
        EXPECT_NE(reach.status, 0) << other.toStdString() << " answered";
    }
    finishAndCompare(file);
}

}  // namespace

// An HLS download whose sound is a rendition of its own and a DASH download of video and sound
// apart, watched while they come: the Serving address is a playlist (a manifest for DASH) of both tracks;
// ffprobe reads the duration and both streams, and a seek to 80 % decodes a second of frames,
// before the download has ended; the saved file has the source's packets.
TEST_F(ServedDownload, HlsAndDashArePlayedAsPlaylistsWhileTheyCome) {
    for (const bool dash : {false, true}) {
        SCOPED_TRACE(dash ? "DASH" : "HLS");
        const QString folder = fragmentedMovie(dash);
        ASSERT_FALSE(folder.isEmpty()) << "ffmpeg could not make the fragments";
        const auto address = startFragments(folder, dash);
        ASSERT_TRUE(address);
        EXPECT_TRUE(address->endsWith(dash ? ".mpd" : ".m3u8")) << address->toStdString();

        const Tool probe = runTool("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type:format=duration",
                                               "-of", "csv=p=0", *address});
        EXPECT_EQ(probe.status, 0) << probe.err.toStdString();
        const QStringList lines = probe.out.split('\n', Qt::SkipEmptyParts);
        EXPECT_TRUE(lines.contains("video")) << probe.out.toStdString();
        EXPECT_TRUE(lines.contains("audio")) << probe.out.toStdString();
        EXPECT_NEAR(lines.isEmpty() ? 0 : lines.back().toDouble(), kFragmentedSeconds, 1);

        const Tool decode = runTool("ffmpeg", {"-v", "error", "-ss", QString::number(kFragmentedSeconds * 0.8), "-i",
                                               *address, "-t", "1", "-map", "0:v:0", "-f", "framecrc", "-"});
        EXPECT_EQ(decode.status, 0) << decode.err.toStdString();
        const QStringList frameLines = decode.out.split('\n', Qt::SkipEmptyParts);
        const auto frames = std::count_if(frameLines.begin(), frameLines.end(),
                                          [](const QString& line) { return !line.startsWith('#'); });
        EXPECT_GE(frames, 20) << "a second of frames at 25 a second" << decode.err.toStdString();
        EXPECT_FALSE(QFile::exists(savedFile())) << "the download ended before the player was done";

        ASSERT_TRUE(cli.waitForFinished(120000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        const int fragments = kFragmentedSeconds / 2;
        const QString copied = folder + "/copied.mp4";
        const QString video = dash ? testmedia::dashTrackFile(folder, 0, fragments) : copied;
        const QString sound = dash ? testmedia::dashTrackFile(folder, 1, fragments) : copied;
        EXPECT_EQ(testmedia::packetHashes(savedFile(), "v"), testmedia::packetHashes(video, "v"));
        EXPECT_EQ(testmedia::packetHashes(savedFile(), "a"), testmedia::packetHashes(sound, "a"));
        TearDown();
    }
}

// The fragments kept for players after the join stay while their process serves them, even
// when the same download runs again, and go with the next run once that process has died.
TEST_F(ServedDownload, FragmentsKeptByAProcessThatDiedGoWithTheNextRun) {
    const QString folder = fragmentedMovie(false);
    ASSERT_FALSE(folder.isEmpty());
    const auto address = startFragments(folder, false, 1024 * 1024);
    ASSERT_TRUE(address);
    ASSERT_TRUE(waitForSaved());
    const QString kept = savedFile() + ".part.segments";
    ASSERT_TRUE(QFileInfo::exists(kept));
    const QStringList again{"download", QString::fromStdString(source), "-o",
                            QString::fromStdString("out/" + stream + ".mp4")};
    const auto runAgain = [&] {
        QProcess second;
        served::startCli(second, ZENVIRA_CLI, site, home.path(), again);
        EXPECT_TRUE(second.waitForFinished(30000));
        EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    };
    runAgain();
    EXPECT_TRUE(QFileInfo::exists(kept)) << "removed while a process served them";
    cli.kill();
    cli.waitForFinished();
    ASSERT_TRUE(QFileInfo::exists(kept));
    runAgain();
    EXPECT_FALSE(QFileInfo::exists(kept)) << "left behind by the process that died";
    EXPECT_TRUE(QFileInfo::exists(savedFile()));
}

// A player in the middle of the stream when the download ends goes on to the last frame: a
// reader held back (its output not read) until the file is saved asks for the rest after the
// join, and gets the same bytes, for one file, for HLS and for DASH. The fragments kept for it
// are gone once the serving ends.
TEST_F(ServedDownload, APlayerGoesOnAcrossTheEndOfTheDownload) {
    enum class Shape { File, Hls, Dash };
    for (const Shape shape : {Shape::File, Shape::Hls, Shape::Dash}) {
        SCOPED_TRACE(shape == Shape::File ? "one file" : shape == Shape::Hls ? "HLS" : "DASH");
        QString source;
        std::optional<QString> address;
        if (shape == Shape::File) {
            source = movie(true, 20);
            ASSERT_FALSE(source.isEmpty());
            address = start(source, 64 * 1024);
        } else {
            const QString folder = fragmentedMovie(shape == Shape::Dash);
            ASSERT_FALSE(folder.isEmpty());
            source = shape == Shape::Dash ? testmedia::dashTrackFile(folder, 0, kFragmentedSeconds / 2)
                                          : folder + "/180p/index.m3u8";
            address = startFragments(folder, shape == Shape::Dash, 32 * 1024);
        }
        ASSERT_TRUE(address);
        // ffmpeg copies the picture into a pipe nobody empties before the go file is there.
        const QString go = home.filePath("go" + QString::number(started));
        const QString script =
            "set -o pipefail; ffmpeg -v error -i \"$1\" -map 0:v:0 -c copy -f nut - | "
            "{ while [ ! -e \"$2\" ]; do sleep 0.1; done; "
            "ffprobe -v error -f nut -count_packets -show_entries stream=nb_read_packets -of csv=p=0 -; }";
        QProcess reader;
        reader.setProcessEnvironment(served::peerEnvironment());
        reader.start("bash", {"-c", script, "reader", *address, go});
        ASSERT_TRUE(reader.waitForStarted());
        ASSERT_TRUE(waitForSaved());
        EXPECT_FALSE(reader.waitForFinished(0)) << "the reader was done before the download";
        QFile(go).open(QIODevice::WriteOnly);
        ASSERT_TRUE(reader.waitForFinished(60000));
        EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
        const auto packets = testmedia::packetHashes(source, "v").size();
        EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()).trimmed().toULongLong(), packets)
            << reader.readAllStandardError().toStdString();

        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0);
        EXPECT_FALSE(QFileInfo::exists(savedFile() + ".part.segments")) << "the kept fragments stayed";
        TearDown();
    }
}
