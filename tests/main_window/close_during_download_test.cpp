// Closing the main window while a real download runs: the downloader is shut down at once,
// the job's wait ends, the other windows close and nothing lands under the final name.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/window/frmMain.h"
#include "components/msg_box/msg_box.h"
#include "tests/support/test_application.h"
#include "tests/site/fixture_site.h"

using namespace zenvira;

TEST(CloseDuringDownload, ShutsTheDownloadDownAndEndsTheWait) {
    testApplication();
    QTemporaryDir drive;
    qputenv("ZENVIRA_DRIVE_C", drive.path().toUtf8());
    int messages = 0;
    const auto previous = components::setMsgBoxHandler([&](const std::string&, int, const std::string&) {
        ++messages;
        return 1;
    });

    site::FixtureSite server;
    site::StreamShape stream;
    stream.size = 8 * 1024 * 1024;
    stream.bytesPerSecond = 256 * 1024;  // slow, so the download is surely running
    server.addStream("closing", stream);
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    const std::string page =
        site::makeWatchPage({"Closing Time", {{"34", "640x360", site::streamAddress("closing", host)}}});

    window::FrmMainSetup setup;
    setup.applicationFolder = QStringLiteral(ZENVIRA_SOURCE_DIR);
    setup.pageReader = [page](const std::string&, components::CancelToken*) {
        return components::FetchResult{true, page, "", 200};
    };
    window::frmMain w(setup);
    ASSERT_TRUE(w.Form_Load());
    w.show();
    QWidget player;
    player.show();

    w.findChild<QLineEdit*>("txturl")->setText("http://www.youtube.com/watch?v=abcdefghijk");
    w.findChild<QPushButton*>("PushButton2")->click();
    auto* lowest = w.findChild<QPushButton*>("PushButton1_4");  // the only quality offered
    ASSERT_TRUE(lowest->isEnabled());

    bool busyBeforeClose = false;
    qint64 closeMilliseconds = -1;
    QTimer poll;
    QElapsedTimer sinceStart;
    sinceStart.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const bool receiving = w.downloader().ProgressInfo().BytesDone > 0;
        if (!receiving && sinceStart.elapsed() < 10'000) return;  // give up after 10 s, never hang
        poll.stop();
        busyBeforeClose = w.downloader().Busy();
        QElapsedTimer closing;
        closing.start();
        w.close();
        closeMilliseconds = closing.elapsed();
    });
    poll.start(20);
    lowest->click();  // waits inside until the close ends the job

    EXPECT_TRUE(busyBeforeClose);
    EXPECT_LT(closeMilliseconds, 2000);
    EXPECT_FALSE(w.downloader().Busy());
    EXPECT_FALSE(player.isVisible());
    EXPECT_FALSE(QFile::exists(QDir(drive.path()).filePath("Closing Time.flv")));
    EXPECT_TRUE(QFile::exists(QDir(drive.path()).filePath("Closing Time.flv.part")));
    QTest::qWait(50);  // the stopped outcome still arrives: it must not show a message
    EXPECT_EQ(messages, 0);
    components::setMsgBoxHandler(previous);
}
