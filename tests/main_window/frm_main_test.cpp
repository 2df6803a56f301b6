// The main window on the offscreen platform: its controls, start-up, fixed size, wiring and
// unload. Message boxes go to a recorder; the page reader and the stream server are local.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <mutex>

#include "app/window/frmMain.h"
#include "app/window/status_panels.h"
#include "components/msg_box/msg_box.h"
#include "tests/support/test_application.h"

using namespace zenvira;
using window::frmMain;
using window::FrmMainSetup;

namespace {

struct Message {
    std::string text;
    int style;
    std::string title;
};

// Records every page the workflow asks for and answers with a failure.
struct PageRecorder {
    std::mutex lock;
    std::vector<std::string> addresses;

    app::PageReader reader() {
        return [this](const std::string& address, components::CancelToken*) {
            std::lock_guard guard(lock);
            addresses.push_back(address);
            return components::FetchResult{false, "", "Could not connect to host", 0};
        };
    }
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        previousHandler = components::setMsgBoxHandler(
            [this](const std::string& text, int style, const std::string& title) {
                messages.push_back({text, style, title});
                return 1;
            });
    }
    void TearDown() override { components::setMsgBoxHandler(previousHandler); }

    FrmMainSetup setup(const QString& folder = QStringLiteral(ZENVIRA_SOURCE_DIR)) {
        FrmMainSetup s;
        s.applicationFolder = folder;
        s.locale = QLocale::c();
        s.twipsPerPixel = ui::TwipsPerPixel{15, 15};
        s.pageReader = pages.reader();
        return s;
    }
    template <typename T = QWidget>
    static T* control(frmMain& w, const char* name) {
        auto* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    components::MsgBoxHandler previousHandler;
    std::vector<Message> messages;
    PageRecorder pages;
};

}  // namespace

TEST_F(MainWindow, EveryControlHasItsNameAndCaption) {
    frmMain w(setup());
    const std::pair<const char*, const char*> buttons[] = {
        {"PushButton1_0", "1080 HD"}, {"PushButton1_1", "720 HD"},  {"PushButton1_2", "480 STD"},
        {"PushButton1_3", "360 FLV"}, {"PushButton1_4", "240 FLV"}, {"PushButton2", "Extract"},
        {"PushButton3", "Converter"}, {"PushButton4", "Batch HD Download"}, {"PushButton5", "List"},
        {"PushButton6", "Stop"},      {"PushButton7", "Update"},    {"PushButton8", "Play"},
    };
    for (const auto& [name, caption] : buttons) {
        auto* button = control<QPushButton>(w, name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), caption) << name;
        EXPECT_EQ(button->font().family(), "Tahoma") << name;
    }
    EXPECT_EQ(w.findChildren<QPushButton*>().size(), 12);
    EXPECT_EQ(control<QLineEdit>(w, "txturl")->text(), "");
    EXPECT_EQ(control<QListWidget>(w, "ListBox1")->count(), 0);
    EXPECT_EQ(control<QProgressBar>(w, "ProgressBar1")->text(), "");
    control(w, "picFind");
    auto* bar = control<window::StatusPanels>(w, "STBar");
    EXPECT_EQ(bar->panelText(1), "");
    EXPECT_TRUE(bar->panelText(2).contains("www.zenvira.net"));
    EXPECT_EQ(bar->panel(2)->toolTip(), bar->panelText(2));
}

TEST_F(MainWindow, ControlsSitAtTheirTwipsPlaces) {
    frmMain w(setup());
    EXPECT_EQ(w.size(), QSize(776, 438));  // 11640 x 6570 twips until a frame is known
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(control(w, "PushButton1_0")->geometry(), QRect(14, 8, 129, 49));
    EXPECT_EQ(control(w, "PushButton1_4")->geometry(), QRect(14, 232, 129, 49));
    EXPECT_EQ(control(w, "PushButton4")->geometry(), QRect(14, 344, 129, 49));
    EXPECT_EQ(control(w, "txturl")->geometry(), QRect(176, 8, 377, 25));
    EXPECT_EQ(control(w, "PushButton8")->geometry(), QRect(696, 8, 65, 25));
    EXPECT_EQ(control(w, "ListBox1")->geometry(), QRect(176, 40, 585, 345));
    EXPECT_EQ(control(w, "ProgressBar1")->geometry(), QRect(176, 392, 409, 17));
    EXPECT_EQ(control(w, "PushButton6")->geometry(), QRect(592, 390, 81, 20));
    EXPECT_EQ(control(w, "picFind")->geometry(), QRect(6, 8, 161, 401));
    // The status bar runs along the bottom edge of whatever client area the frame leaves.
    EXPECT_EQ(control(w, "STBar")->geometry(), QRect(0, w.height() - 21, w.width(), 21));
    EXPECT_EQ(control<window::StatusPanels>(w, "STBar")->panel(1)->width(), 536);  // 8040 twips
    EXPECT_EQ(w.frameGeometry().size(), QSize(778, 472));  // 11670 x 7080 twips, frame included

    FrmMainSetup large = setup();
    large.twipsPerPixel = ui::TwipsPerPixel{12, 12};  // a 120 DPI screen
    frmMain w120(large);
    EXPECT_EQ(control(w120, "PushButton1_0")->geometry(), QRect(18, 10, 161, 61));
    w120.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w120));
    EXPECT_EQ(w120.frameGeometry().size(), QSize(973, 590));
}

TEST_F(MainWindow, LoadSkinsDisablesTheQualityButtonsAndSetsTheCaption) {
    frmMain w(setup());
    EXPECT_EQ(w.windowTitle(), "Zenvira");
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(control(w, ("PushButton1_" + std::to_string(k)).c_str())->isEnabled());
    ASSERT_TRUE(w.Form_Load());
    EXPECT_TRUE(w.skinApplied()) << w.skinError().toStdString();
    EXPECT_TRUE(w.styleSheet().contains("QProgressBar::chunk"));
    EXPECT_EQ(w.palette().color(QPalette::Highlight), QColor("#3875d7"));
    for (int k = 0; k < 5; ++k) EXPECT_FALSE(control(w, ("PushButton1_" + std::to_string(k)).c_str())->isEnabled());
    EXPECT_TRUE(control(w, "PushButton2")->isEnabled());
    EXPECT_EQ(w.windowTitle(), "Zenvira 2.5");
    EXPECT_EQ(w.decimalSeparator(), '.');
    EXPECT_EQ(control(w, "PushButton1_0")->font().family(), "Tahoma");  // the skin's font is the window's

    FrmMainSetup comma = setup();
    comma.locale = QLocale(QLocale::German, QLocale::Germany);
    frmMain german(comma);
    ASSERT_TRUE(german.Form_Load());
    EXPECT_EQ(german.windowTitle(), "Zenvira 2,5");
    EXPECT_EQ(german.decimalSeparator(), ',');
}

TEST_F(MainWindow, WithoutAUsableSkinTheLookStaysPlain) {
    QTemporaryDir empty;
    frmMain missing(setup(empty.path()));
    ASSERT_TRUE(missing.Form_Load());
    EXPECT_FALSE(missing.skinApplied());
    EXPECT_TRUE(missing.skinError().contains("Normalitunes.ini"));
    EXPECT_TRUE(missing.styleSheet().isEmpty());
    EXPECT_EQ(missing.windowTitle(), "Zenvira 2.5");  // start-up goes on

    ASSERT_TRUE(QDir(empty.path()).mkpath("Styles/iTunes"));
    QFile garbage(empty.filePath("Styles/iTunes/Normalitunes.ini"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("\x89PNG\r\n\x1a\n this is no skin at all {{{");
    garbage.close();
    frmMain broken(setup(empty.path()));
    ASSERT_TRUE(broken.Form_Load());
    EXPECT_FALSE(broken.skinApplied());
    EXPECT_TRUE(broken.styleSheet().isEmpty());
    EXPECT_FALSE(control(broken, "PushButton1_0")->isEnabled());
    broken.show();
    EXPECT_FALSE(broken.grab().isNull());  // it paints
}

TEST_F(MainWindow, ItsSizeSnapsBackButMinimizeIsKept) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QSize fixed = w.size();
    const QSize outer(778, 472);
    EXPECT_EQ(w.frameGeometry().size(), outer);

    w.windowHandle()->resize(1000, 700);  // as a window manager would after a border drag
    QTest::qWait(20);
    EXPECT_EQ(w.size(), fixed);

    w.setWindowState(Qt::WindowMaximized);
    QTest::qWait(20);
    EXPECT_FALSE(w.isMaximized());
    EXPECT_EQ(w.size(), fixed);

    w.showMinimized();
    QTest::qWait(20);
    EXPECT_TRUE(w.isMinimized());
    w.showNormal();
    QTest::qWait(20);
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(w.size(), fixed);
    EXPECT_EQ(w.frameGeometry().size(), outer);
}

TEST_F(MainWindow, ButtonsReachTheWorkflow) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    pages.addresses.clear();  // the update page read at load
    w.show();
    const QString typed = QStringLiteral("  http://www.youtube.com/watch?v=abcdefghijk&feature=x ");
    control<QLineEdit>(w, "txturl")->setText(typed);
    QTest::mouseClick(control(w, "PushButton2"), Qt::LeftButton);
    ASSERT_EQ(pages.addresses.size(), 1u);
    EXPECT_EQ(pages.addresses[0], typed.toStdString());  // exactly as typed
    EXPECT_TRUE(control<window::StatusPanels>(w, "STBar")->panelText(1).contains("Could not connect to host"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");

    auto* list = control<QListWidget>(w, "ListBox1");
    list->addItems({"http://www.youtube.com/watch?v=aaaaaaaaaaa", "http://www.youtube.com/watch?v=bbbbbbbbbbb"});
    QTest::mouseClick(control(w, "PushButton4"), Qt::LeftButton);
    ASSERT_EQ(pages.addresses.size(), 3u);
    EXPECT_EQ(pages.addresses[1], "http://www.youtube.com/watch?v=aaaaaaaaaaa");
    EXPECT_EQ(pages.addresses[2], "http://www.youtube.com/watch?v=bbbbbbbbbbb");

    QTest::mouseClick(control(w, "PushButton6"), Qt::LeftButton);  // Stop with nothing running
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MainWindow, TheViewShowsWhatTheWorkflowReports) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    auto* bar = control<QProgressBar>(w, "ProgressBar1");
    auto* status = control<window::StatusPanels>(w, "STBar");

    w.showProgressView({"1500.00 of 4000.00 Kb", 4096000, 1536000, std::string("37.5 %")});
    EXPECT_EQ(bar->maximum(), 4096000);
    EXPECT_EQ(bar->value(), 1536000);
    EXPECT_EQ(bar->text(), "37.5 %");
    EXPECT_EQ(status->panelText(1), "1500.00 of 4000.00 Kb");

    w.showProgressView({"Download completed", 4096000, 4096000, std::nullopt});
    EXPECT_EQ(bar->value(), 4096000);
    EXPECT_EQ(bar->text(), "37.5 %");  // the percentage keeps its last value
    EXPECT_EQ(status->panelText(1), "Download completed");

    w.showProgressView({"Download completed", 0, 0, std::nullopt});  // an empty resource
    EXPECT_GT(bar->maximum(), bar->minimum());  // never the busy indicator
    EXPECT_EQ(bar->value(), bar->maximum());

    w.setQualityButtonEnabled(3, true);
    EXPECT_TRUE(control(w, "PushButton1_3")->isEnabled());
    w.setQualityButtonEnabled(5, true);  // no sixth button: nothing happens
    w.setQualityButtonEnabled(-1, true);
    w.setCaption("Zenvira : Harbour Lights");
    EXPECT_EQ(w.windowTitle(), "Zenvira : Harbour Lights");
}

TEST_F(MainWindow, StatusBarPanelsReportClicks) {
    frmMain w(setup());
    w.show();
    auto* status = control<window::StatusPanels>(w, "STBar");
    QSignalSpy clicks(status, &window::StatusPanels::PanelClick);
    QTest::mouseClick(status->panel(2), Qt::LeftButton);
    QTest::mouseClick(status->panel(1), Qt::LeftButton);
    // Pressed on one panel and released on the other is no click.
    QTest::mousePress(status, Qt::LeftButton, {}, status->panel(1)->geometry().center());
    QTest::mouseRelease(status, Qt::LeftButton, {}, status->panel(2)->geometry().center());
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks[0][0].toInt(), 2);
    EXPECT_EQ(clicks[1][0].toInt(), 1);
}

TEST_F(MainWindow, ClosingShutsDownAndClosesEveryOtherWindow) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    pages.addresses.clear();  // the update page read at load
    w.show();
    QWidget converter;
    converter.show();
    ASSERT_TRUE(converter.isVisible());

    EXPECT_TRUE(w.close());
    EXPECT_FALSE(converter.isVisible());
    EXPECT_FALSE(w.downloader().Busy());
    // The workflow has been shut down: a batch started now reads no page.
    w.workflow().BatchDownload({"http://www.youtube.com/watch?v=aaaaaaaaaaa"});
    EXPECT_TRUE(pages.addresses.empty());
    EXPECT_TRUE(messages.empty());
}
