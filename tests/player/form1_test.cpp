// The player window on the offscreen platform, with the Flash stand-in's null outputs: the
// load, play requests from the command line, the Open button and drops, the layout, unload.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <optional>

#include "components/file_dialog/file_dialog.h"
#include "ui/flash_player/flash_player_control.h"
#include "components/msg_box/msg_box.h"
#include "player/movie/custom_resource.h"
#include "player/window/Form1.h"
#include "player/window/movie_file.h"
#include "player/window/picture_box.h"
#include "player_test_support.h"

using namespace zenvira::player;
using zenvira::components::FlashPlayerControl;

namespace {

constexpr int kWaitMs = 10000;

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        folder = freshFolder("temp") + "/";
        setup.twipsPerPixel = TwipsPerPixel{15.0, 15.0};
        setup.temporaryFolder = folder.toStdString();
        setup.movieNumber = 4242;
    }
    void TearDown() override {
        zenvira::components::setOpenFileDialogHandler({});
        delete form.data();
    }

    Form1& open(const std::string& argumentText = {}) {
        form = new Form1(argumentText, setup);
        return *form;
    }
    template <typename T = PictureBox>
    T* control(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QString media() const { return form->ctrl() ? form->ctrl()->mediaFile() : QString("(no instance)"); }
    QSize pixels() const { return form->frameGeometry().size(); }

    QString folder;
    Form1Setup setup;
    QPointer<Form1> form;
};

}  // namespace

TEST_F(Form1Test, LoadWritesTheMovieCopyAndAnIdleInstance) {
    open();
    EXPECT_TRUE(form->skippedLoadSteps().empty()) << form->skippedLoadSteps().front();
    EXPECT_EQ(form->windowTitle(), "ZENVIRA FLV PLAYER");
    EXPECT_EQ(form->moviefile(), (folder + "4242").toStdString());
    EXPECT_EQ(QFile(folder + "4242").size(), static_cast<qint64>(customResource(kPlayerMovieResource).size()));

    FlashPlayerControl* idle = form->ctrl();
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(idle->objectName(), "flashplayer");
    EXPECT_TRUE(idle->movieLoaded()) << idle->movieError().toStdString();
    EXPECT_TRUE(idle->mediaFile().isEmpty());
    EXPECT_TRUE(idle->FlashVars().isEmpty());
    EXPECT_FALSE(idle->Menu());
    EXPECT_EQ(idle->BackgroundColor(), 0);

    EXPECT_EQ(form->windowSize(), (TwipsSize{7200, 6675}));
    EXPECT_EQ(pixels(), QSize(480, 445));
    EXPECT_EQ(control("dragpic")->geometry(), QRect(0, 25, 480, 315));
    EXPECT_FALSE(control("dragpic")->isHidden());
    EXPECT_TRUE(control("fullscreen")->isHidden());
    EXPECT_TRUE(control("restorepic")->isHidden());
    EXPECT_EQ(control("OpenFile")->picture().size(), QSize(84, 20));
    EXPECT_TRUE(form->acceptDrops());

    // The load made this program (here the test binary) the desktop's choice for .flv files.
    QProcess query;
    query.start("xdg-mime", {"query", "default", "video/x-flv"});
    ASSERT_TRUE(query.waitForFinished(30000));
    EXPECT_EQ(query.readAllStandardOutput().trimmed(), "player_test.desktop");
}

TEST_F(Form1Test, PlayRequestOfTheExample) {
    EXPECT_EQ(movieAddress(movieFilePath("C:\\Temp\\", 4242), "D:\\v\\clip.flv"), "C:/Temp/4242?file=D:/v/clip.flv");
    open();
    form->resize(900, 700);
    form->GotADrop("D:\\v\\clip.flv");
    FlashPlayerControl* instance = form->ctrl();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->FlashVars(), "autostart=true");
    EXPECT_EQ(instance->mediaFile(), "D:/v/clip.flv");
    EXPECT_TRUE(instance->movieLoaded()) << instance->movieError().toStdString();  // the copy, by its path
    EXPECT_EQ(instance->BackgroundColor(), 0);
    // Placed against the size the window had (900 x 700 pixels), down to the bar...
    EXPECT_EQ(instance->geometry(), QRect(0, 25, 900, 700 - 65));
    EXPECT_EQ(pixels(), QSize(480, 445));  // ...then the window is back to its default size
    EXPECT_FALSE(control("fullscreen")->isHidden());
    EXPECT_TRUE(control("dragpic")->isHidden());

    form->Timer1_Timer();
    EXPECT_EQ(instance->geometry(), QRect(0, 25, 480, 355));
}

TEST_F(Form1Test, TwoPlaysLeaveOneFlashplayer) {
    open();
    form->GotADrop("/videos/one.flv");
    QPointer<FlashPlayerControl> first = form->ctrl();
    form->GotADrop("/videos/two.flv");
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(form->findChildren<FlashPlayerControl*>("flashplayer").size(), 1);
    EXPECT_EQ(media(), "/videos/two.flv");
}

TEST_F(Form1Test, CommandLineTextPlaysAsOnePath) {
    open("D:\\My Videos\\a b.flv");
    EXPECT_EQ(media(), "D:/My Videos/a b.flv");
    EXPECT_TRUE(control("dragpic")->isHidden());
    delete form.data();

    open("\"/v/clip.flv\"");
    EXPECT_EQ(media(), "\"/v/clip.flv\"");  // quotes stay part of the path
    delete form.data();

    open("");
    EXPECT_TRUE(media().isEmpty());
    EXPECT_FALSE(control("dragpic")->isHidden());
}

TEST_F(Form1Test, FirstOfThreeDroppedFilesPlays) {
    open();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/v/one ü.flv"), QUrl::fromLocalFile("/v/two.flv"),
                  QUrl::fromLocalFile("/v/three.flv")});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
    EXPECT_EQ(media(), QString::fromUtf8("/v/one ü.flv"));

    QMimeData text;
    text.setText("/v/one.flv");
    QDragEnterEvent refused(QPoint(100, 100), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(Form1Test, OpenButtonAsksForAnFlvAndPlaysTheChoice) {
    open();
    std::vector<zenvira::components::OpenFileDialogRequest> asked;
    std::string answer = "/v/chosen.flv";
    zenvira::components::setOpenFileDialogHandler([&](const zenvira::components::OpenFileDialogRequest& request) {
        asked.push_back(request);
        return answer;
    });
    form->show();
    QTest::mouseClick(control("OpenFile"), Qt::LeftButton);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].defaultExtension, "flv");
    EXPECT_EQ(asked[0].filter, "Flash video file (*.flv)|*.flv");
    for (const char* container : {"*.mp4", "*.webm", "*.mkv", "*.m4v", "*.m4a"})
        EXPECT_NE(asked[0].moreFilter.find(container), std::string::npos) << container;
    EXPECT_TRUE(asked[0].fileName.empty());
    EXPECT_EQ(media(), "/v/chosen.flv");

    // Cancelled: no change.
    answer.clear();
    FlashPlayerControl* before = form->ctrl();
    form->OpenFile_Click();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(form->ctrl(), before);
    EXPECT_EQ(media(), "/v/chosen.flv");
}

TEST_F(Form1Test, FullScreenAndRestore) {
    open();
    form->show();
    form->GotADrop("/v/clip.flv");
    const QRect screen = form->screen()->geometry();

    form->fullscreen_Click();
    EXPECT_TRUE(form->inFullScreenLayout());
    EXPECT_EQ(form->frameGeometry(), screen);
    EXPECT_TRUE(control("Picture3")->isHidden());
    EXPECT_FALSE(control("restorepic")->isHidden());
    EXPECT_EQ(control("restorepic")->x(), screen.width() - 120);  // 1800 twips from the right
    EXPECT_EQ(form->ctrl()->geometry(), QRect(0, 0, screen.width(), screen.height()));
    form->Timer1_Timer();  // the video then fills the window inside its frame
    EXPECT_EQ(form->ctrl()->geometry(), QRect(0, 0, screen.width(), form->height()));

    QTest::mouseClick(control("restorepic"), Qt::LeftButton);
    EXPECT_FALSE(form->inFullScreenLayout());
    EXPECT_EQ(pixels(), QSize(480, 445));
    EXPECT_EQ(form->frameGeometry().topLeft(), screen.topLeft());  // stays at the corner
    EXPECT_FALSE(control("Picture3")->isHidden());
    EXPECT_TRUE(control("restorepic")->isHidden());
    EXPECT_EQ(form->ctrl()->geometry(), QRect(0, 25, 480, 380));
    form->Timer1_Timer();  // down to the bottom bar, inside the frame
    EXPECT_EQ(form->ctrl()->geometry(), QRect(0, 25, 480, form->height() - 65 - 25));
    EXPECT_EQ(control("Picture3")->geometry().bottom(), form->height() - 1);  // wholly in view

    // Esc leaves full screen too, wherever the focus is; outside full screen it does nothing.
    form->fullscreen_Click();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form->ctrl(), Qt::Key_Escape);
    EXPECT_FALSE(form->inFullScreenLayout());
    EXPECT_EQ(pixels(), QSize(480, 445));
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(pixels(), QSize(480, 445));
    // F11 goes in and out.
    QTest::keyClick(form->ctrl(), Qt::Key_F11);
    EXPECT_TRUE(form->inFullScreenLayout());
    QTest::keyClick(form->ctrl(), Qt::Key_F11);
    EXPECT_FALSE(form->inFullScreenLayout());
    EXPECT_EQ(pixels(), QSize(480, 445));
}

TEST_F(Form1Test, MaximisedWindowTakesTheFullScreenLayout) {
    open();
    form->show();
    form->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->inFullScreenLayout(); }, kWaitMs));
    EXPECT_TRUE(form->isMaximized());  // the window system keeps its size
    EXPECT_TRUE(control("Picture3")->isHidden());
    EXPECT_FALSE(control("restorepic")->isHidden());
    EXPECT_EQ(control("restorepic")->x(), form->frameGeometry().width() - 120);
    form->Timer1_Timer();
    EXPECT_EQ(form->ctrl()->geometry().size(), QSize(form->frameGeometry().width(), form->height()));

    // Leaving the maximised state (the caption's button) leaves the full-screen layout.
    form->showNormal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->inFullScreenLayout(); }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pixels() == QSize(480, 445); }, kWaitMs)) << pixels().width();
    EXPECT_FALSE(control("Picture3")->isHidden());
    EXPECT_TRUE(control("restorepic")->isHidden());
}

TEST_F(Form1Test, TimerKeepsTheMinimumSize) {
    open();
    form->show();
    form->Timer1_Timer();  // framed now: the default outer size again
    EXPECT_EQ(pixels(), QSize(480, 445));
    const QSize frame = form->frameGeometry().size() - form->size();
    EXPECT_EQ(form->frameWidth(), frame.width() * 15);
    form->resize(100, 500);
    form->Timer1_Timer();
    // 320 pixels plus the frame, by 260 + 25 + 65 pixels.
    const QSize outer(320 + frame.width(), 500 + frame.height());
    EXPECT_EQ(pixels(), outer);
    // The bar and the idle instance are placed inside the frame: the bar is wholly in view.
    EXPECT_EQ(control("Picture3")->y(), form->height() - 65);
    EXPECT_EQ(form->ctrl()->geometry(), QRect(0, 0, outer.width(), form->height() - 65 - 25));

    form->resize(320, 350 - frame.height());  // exactly the minimum height: kept
    form->Timer1_Timer();
    EXPECT_EQ(pixels(), QSize(320 + frame.width(), 350));

    form->resize(200, 200);
    form->setWindowState(Qt::WindowMinimized);
    if (form->isMinimized()) {
        form->Timer1_Timer();
        EXPECT_EQ(form->size(), QSize(200, 200));  // minimised: nothing happens
    }
}

TEST_F(Form1Test, UnloadRemovesTheCopyAndTheDrop) {
    open();
    form->show();
    const QString copy = QString::fromStdString(form->moviefile());
    ASSERT_TRUE(QFile::exists(copy));
    form->close();
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_FALSE(form->acceptDrops());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());  // the window deletes itself when closed

    // A later load writes a copy again and accepts drops again.
    open();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(form->moviefile())));
    EXPECT_TRUE(form->acceptDrops());
}

TEST_F(Form1Test, FailingLoadStepIsSkipped) {
    setup.temporaryFolder = "/nonexistent-folder/";
    open("/v/clip.flv");
    ASSERT_EQ(form->skippedLoadSteps(), std::vector<std::string>{"extractress"});
    // The later steps ran: the command line's play request too, on a movie that is not there.
    ASSERT_NE(form->ctrl(), nullptr);
    EXPECT_EQ(form->ctrl()->FlashVars(), "autostart=true");
    EXPECT_FALSE(form->ctrl()->movieLoaded());
    EXPECT_TRUE(control("dragpic")->isHidden());
    EXPECT_EQ(pixels(), QSize(480, 445));
}

TEST_F(Form1Test, RealClipPlaysAndTheMovieReportsPlay) {
    const QString clip = testClip();
    if (clip.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test clip";
    open();
    form->show();
    form->GotADrop(clip.toStdString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->lastFSCommand() == "play"; }, kWaitMs));
    EXPECT_TRUE(form->ctrl()->isPlaying());
}

// A path with "&", "#", "%" plays whole; a file that is not there says so in the video area,
// with no message box.
TEST_F(Form1Test, AnyPathPlaysAndAMissingFileIsSaidInTheVideoArea) {
    const QString clip = testClip();
    if (clip.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test clip";
    const QString awkward = QFileInfo(clip).absolutePath() + "/Tom & Jerry #1 100%.flv";
    QFile::remove(awkward);
    ASSERT_TRUE(QFile::copy(clip, awkward));
    int boxes = 0;
    const auto previous = zenvira::components::setMsgBoxHandler([&](const std::string&, int, const std::string&) {
        ++boxes;
        return 1;
    });
    open();
    form->show();
    form->GotADrop(awkward.toStdString());
    EXPECT_EQ(form->ctrl()->mediaFile(), awkward);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->lastFSCommand() == "play"; }, kWaitMs));

    form->GotADrop("/nonexistent/Tom & Jerry.flv");
    EXPECT_EQ(form->ctrl()->problemText(), "Cannot play Tom & Jerry.flv: there is no such file");
    EXPECT_EQ(boxes, 0);
    zenvira::components::setMsgBoxHandler(previous);
}
