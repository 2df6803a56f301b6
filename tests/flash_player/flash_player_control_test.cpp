// The Flash-control stand-in driven as the player window drives it, on a real FLV, with
// libmpv's null outputs (no display, no sound).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "ui/flash_player/flash_player_control.h"
#include "ui/flash_player/control_bar_layout.h"
#include "media_clip.h"
#include "tests/support/application.h"
#include "engine/stream/stream_server.h"

#include <thread>

using zenvira::components::FlashPlayerControl;

namespace {

QApplication& application() { return zenvira::testing::widgetApplication(); }

constexpr int kWaitMs = 10000;

class FlashPlayerControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        clip = testClip();
        if (clip.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test clip";
        movie = testMovieFile();
        control.resize(320, 260);
        control.show();
    }

    // As the window does on a play request.
    void playRequest(const QString& address, const QString& flashVars = "autostart=true") {
        control.setBackgroundColor(0);
        control.setTop(25);
        control.setFlashVars(flashVars);
        control.LoadMovie(0, address);
    }

    QStringList commands() const {
        QStringList list;
        for (const auto& call : spy) list << call.at(0).toString();
        return list;
    }

    // Waits until the nth command (1-based) has come.
    bool waitForCommands(qsizetype count) {
        return QTest::qWaitFor([&] { return spy.size() >= count; }, kWaitMs);
    }

    QApplication& app = application();  // before any widget
    QString clip;
    QString movie;
    FlashPlayerControl control;
    QSignalSpy spy{&control, &FlashPlayerControl::FSCommand};
};

}  // namespace

TEST_F(FlashPlayerControlTest, PlaysTheFileInTheAddressAndReportsPauseAndResume) {
    EXPECT_EQ(control.objectName(), "flashplayer");
    playRequest(movie + "?file=" + clip);
    ASSERT_TRUE(control.movieLoaded()) << control.movieError().toStdString();
    EXPECT_EQ(control.movie()->stageWidthPixels(), 320);
    EXPECT_EQ(control.mediaFile(), clip);  // the path with its spaces, whole

    ASSERT_TRUE(waitForCommands(1));
    EXPECT_EQ(commands(), QStringList{"play"});
    EXPECT_EQ(spy.at(0).at(1).toString(), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return control.timePosition() > 0.2; }, kWaitMs));
    EXPECT_NEAR(control.duration(), 3.0, 0.2);

    control.pause();
    ASSERT_TRUE(waitForCommands(2));
    EXPECT_TRUE(control.isPaused());
    const double pausedAt = control.timePosition();
    QTest::qWait(300);
    EXPECT_DOUBLE_EQ(control.timePosition(), pausedAt);

    control.play();
    ASSERT_TRUE(waitForCommands(3));
    EXPECT_EQ(commands(), (QStringList{"play", "pause", "play"}));
    EXPECT_TRUE(control.isPlaying());
}

TEST_F(FlashPlayerControlTest, WithoutAutostartTheVideoWaitsPaused) {
    playRequest(movie + "?file=" + clip, "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return control.duration() > 0; }, kWaitMs));
    QTest::qWait(300);
    EXPECT_TRUE(control.isPaused());
    EXPECT_FALSE(control.isPlaying());
    EXPECT_LT(control.timePosition(), 0.05);
    EXPECT_TRUE(spy.isEmpty());

    control.play();
    ASSERT_TRUE(waitForCommands(1));
    EXPECT_EQ(commands(), QStringList{"play"});
}

TEST_F(FlashPlayerControlTest, TheEndPausesAndPlayStartsOver) {
    playRequest(movie + "?file=" + clip);
    ASSERT_TRUE(waitForCommands(1));
    control.seek(2.7);
    ASSERT_TRUE(waitForCommands(2));
    EXPECT_EQ(commands(), (QStringList{"play", "pause"}));
    EXPECT_GT(control.timePosition(), 2.5);

    control.play();
    ASSERT_TRUE(waitForCommands(3));
    EXPECT_LT(control.timePosition(), 1.0);
}

TEST_F(FlashPlayerControlTest, ControlBarClicksPauseAndSeek) {
    playRequest(movie + "?file=" + clip);
    ASSERT_TRUE(waitForCommands(1));
    auto* bar = control.findChild<QWidget*>("controlBar");
    ASSERT_NE(bar, nullptr);
    const auto layout = zenvira::components::controlBarLayout(bar->width(), bar->height());

    QTest::mouseClick(bar, Qt::LeftButton, {}, layout.playButton.center());
    ASSERT_TRUE(waitForCommands(2));
    EXPECT_EQ(commands().last(), "pause");

    // Halfway along the seek bar is halfway through the video, still paused.
    QTest::mouseClick(bar, Qt::LeftButton, {}, layout.seekBar.center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(control.timePosition() - 1.5) < 0.3; }, kWaitMs))
        << control.timePosition();
    EXPECT_TRUE(control.isPaused());

    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(layout.volumeBar.left(), layout.volumeBar.center().y()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return control.volume() == 0; }, kWaitMs));
}

TEST_F(FlashPlayerControlTest, NoMovieNoPlayback) {
    const QString garbage = testFileWith("garbage", QByteArray("CWS\x08garbage that zlib cannot read", 34));
    const QString text = testFileWith("text", "not a movie at all");
    for (const QString& moviePath : {QString("/nonexistent/4242"), garbage, text}) {
        playRequest(moviePath + "?file=" + clip);
        EXPECT_FALSE(control.movieLoaded()) << moviePath.toStdString();
        EXPECT_FALSE(control.movieError().isEmpty());
        EXPECT_TRUE(control.mediaFile().isEmpty());
        EXPECT_TRUE(control.isPaused());
    }
    QTest::qWait(500);
    EXPECT_TRUE(spy.isEmpty());
    EXPECT_EQ(control.timePosition(), 0);
}

TEST_F(FlashPlayerControlTest, IdleMovieAndOtherLayersPlayNothing) {
    control.LoadMovie(0, movie);  // the window's idle instance: the bare movie path
    EXPECT_TRUE(control.movieLoaded());
    EXPECT_TRUE(control.mediaFile().isEmpty());

    control.setFlashVars("autostart=true");
    control.LoadMovie(1, movie + "?file=" + clip);
    EXPECT_TRUE(control.mediaFile().isEmpty());
    QTest::qWait(500);
    EXPECT_TRUE(spy.isEmpty());
}

// A file that is missing or is no video: one line in the video area says which file and
// why, and the next play request on the same control plays.
TEST_F(FlashPlayerControlTest, AVideoThatCannotBeOpenedIsSaidInTheVideoArea) {
    QSignalSpy errors(&control, &FlashPlayerControl::mediaError);
    playRequest(movie + "?file=" + clip + ".missing");
    EXPECT_TRUE(control.movieLoaded());
    EXPECT_TRUE(!errors.isEmpty() || errors.wait(kWaitMs));
    EXPECT_EQ(control.problemText(), "Cannot play a b.flv.missing: there is no such file");

    const QString noise = testFileWith("noise.flv", QByteArray(64 * 1024, '\x5a'));
    errors.clear();
    playRequest(movie + "?file=" + noise);
    EXPECT_TRUE(!errors.isEmpty() || errors.wait(kWaitMs));
    EXPECT_TRUE(control.problemText().startsWith("Cannot play noise.flv: ")) << control.problemText().toStdString();
    EXPECT_GT(control.problemText().size(), QString("Cannot play noise.flv: ").size());
    EXPECT_TRUE(spy.isEmpty());

    playRequest(movie + "?file=" + clip);
    EXPECT_TRUE(control.problemText().isEmpty());
    ASSERT_TRUE(waitForCommands(1));
    EXPECT_EQ(commands(), QStringList{"play"});
}

// The window puts the path into the address unescaped: "&", "#", "%", "=" and "?" in it play.
TEST_F(FlashPlayerControlTest, PathsWithAddressCharactersPlay) {
    QFile source(clip);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QString awkward = testFileWith("Tom & Jerry #2 100% a=b?.flv", source.readAll());
    playRequest(movie + "?file=" + awkward);
    EXPECT_EQ(control.mediaFile(), awkward);
    ASSERT_TRUE(waitForCommands(1)) << control.problemText().toStdString();
    EXPECT_EQ(commands(), QStringList{"play"});
    EXPECT_TRUE(control.problemText().isEmpty());
}

// A download still coming, served on its local stream: the control plays it from the address
// while its second half has yet to arrive, and goes on once the file is whole.
TEST_F(FlashPlayerControlTest, ARunningDownloadPlaysFromItsLocalStream) {
    using zenvira::components::ByteRanges;
    using zenvira::components::StreamLink;
    zenvira::components::StreamServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    auto link = std::make_shared<StreamLink>();
    const std::int64_t size = QFile(clip).size();
    ByteRanges firstHalf;
    firstHalf.add({0, size / 2});
    link->setFile(clip.toStdString());
    link->begin(size, firstHalf);
    const std::string address = server.add(link, "a b.flv");
    std::thread rest([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        link->arrived({size / 2, size});
        link->end(true, clip.toStdString());
    });
    playRequest(movie + "?file=" + QString::fromStdString(address));
    EXPECT_EQ(control.mediaFile().toStdString(), address);
    EXPECT_TRUE(QTest::qWaitFor([&] { return control.timePosition() > 0.2; }, kWaitMs));
    EXPECT_NEAR(control.duration(), 3.0, 0.3);
    rest.join();
}
