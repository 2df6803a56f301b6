// The player window on a running download's local stream, offscreen: zenvira-cli serves a
// download that takes several seconds, the window plays the served address, and the playing
// position advances while the download is still under way.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "player/window/Form1.h"
#include "tests/player/player_test_support.h"
#include "tests/site/fixture_site.h"
#include "tests/stream/served_cli.h"
#include "ui/flash_player/flash_player_control.h"

namespace {

using namespace zenvira;

// 30 s of 320x180 at about 400 kb/s, its index first; made once in the build folder.
QString clip() {
    return served::madeOnce(
        STREAM_MEDIA_DIR "/window-clip.mp4",
        {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25", "-t", "30", "-c:v", "libx264",
         "-preset", "ultrafast", "-g", "25", "-b:v", "400k", "-movflags", "+faststart"});
}

TEST(PlayerWindowOnAStream, ThePositionAdvancesWhileTheDownloadRuns) {
    testApplication();
    const QString movie = clip();
    ASSERT_FALSE(movie.isEmpty()) << "ffmpeg could not make the clip";
    site::FixtureSite site;
    // About 1.5 MB at 48 KiB a second a connection: the download takes several seconds.
    site.addStream("watched",
                   {.filePath = movie.toStdString(), .bytesPerSecond = 48 * 1024, .contentType = "video/mp4"});
    QTemporaryDir home;
    QProcess cli;
    served::startCli(cli, ZENVIRA_CLI, site, home.path(),
                     {"download", QString::fromStdString(site::streamAddress("watched")), "--serve", "--json", "-o",
                      "out/watched.mp4"});
    QString address;
    while (address.isEmpty() && (cli.canReadLine() || cli.waitForReadyRead(30000)))
        while (cli.canReadLine())
            if (const auto object = QJsonDocument::fromJson(cli.readLine()).object(); object.contains("serving"))
                address = object.value("serving").toString();
    ASSERT_FALSE(address.isEmpty());

    player::Form1Setup setup;
    setup.temporaryFolder = (freshFolder("stream-temp") + "/").toStdString();
    QPointer<player::Form1> form = new player::Form1(std::string(), setup);
    form->show();
    form->GotADrop(address.toStdString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ctrl() && form->ctrl()->timePosition() > 2; }, 20000))
        << "position " << (form->ctrl() ? form->ctrl()->timePosition() : -1);
    EXPECT_FALSE(QFile::exists(home.filePath("out/watched.mp4"))) << "the download ended before the player got there";
    delete form.data();
    EXPECT_TRUE(cli.waitForFinished(60000));
}

}  // namespace
