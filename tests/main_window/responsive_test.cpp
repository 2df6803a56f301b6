// The main window while pages are read and batches run, through the real page fetch and
// downloader against the fixture site: input is taken as it comes (never held and replayed),
// Stop ends a read, batch rows keep their marks, and the extras around them.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/window/frmMain.h"
#include "app/window/status_panels.h"
#include "components/file_dialog/file_dialog.h"
#include "components/msg_box/msg_box.h"
#include "tests/support/test_application.h"
#include "tests/site/fixture_site.h"

using namespace zenvira;
using window::frmMain;

namespace {

class ResponsiveWindow : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        qputenv("ZENVIRA_DRIVE_C", drive.path().toUtf8());
        qputenv("http_proxy", QByteArray::fromStdString(site.proxyAddress()));
        previous = components::setMsgBoxHandler([this](const std::string& text, int, const std::string&) {
            boxes.push_back(text);
            return 1;
        });
    }
    void TearDown() override {
        components::setMsgBoxHandler(previous);
        qunsetenv("http_proxy");
    }

    std::unique_ptr<frmMain> makeWindow() {
        window::FrmMainSetup setup;
        setup.applicationFolder = QStringLiteral(ZENVIRA_SOURCE_DIR);
        setup.locale = QLocale::c();
        setup.twipsPerPixel = ui::TwipsPerPixel{15, 15};
        const QString ini = drive.filePath("settings.ini");
        setup.settings = [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
        setup.notify = [this](const QString&, const QString& body) { notices << body; };
        auto w = std::make_unique<frmMain>(std::move(setup));
        EXPECT_TRUE(w->Form_Load());
        w->show();
        return w;
    }
    // A watch page that the site answers only after `delay`.
    void addSlowPage(const std::string& id, const std::string& title, std::chrono::milliseconds delay) {
        site::FixedResponse slow;
        slow.body = site::makeWatchPage({title, {{"22", "1280x720", site::streamAddress(id + "-22")}}});
        slow.delay = delay;
        site.addFixed("/watch?v=" + id, slow);
        site.addStream(id + "-22", {.size = 50000});
    }
    template <typename T = QWidget>
    static T* control(frmMain& w, const char* name) {
        return w.findChild<T*>(QString::fromLatin1(name));
    }
    static QString status(frmMain& w) { return control<window::StatusPanels>(w, "STBar")->panelText(1); }

    site::FixtureSite site;
    QTemporaryDir drive;
    components::MsgBoxHandler previous;
    std::vector<std::string> boxes;
    QStringList notices;
};

}  // namespace

// While a slow page is read the window keeps running; a click on a quality button is
// dropped, not replayed once the page has enabled it; Stop ends the read at once.
TEST_F(ResponsiveWindow, ClicksDuringASlowReadAreDroppedAndStopEndsIt) {
    addSlowPage("slowWindow1", "Slow One", std::chrono::milliseconds(1500));
    auto w = makeWindow();
    auto* quality = control<QPushButton>(*w, "PushButton1_4");
    control<QLineEdit>(*w, "txturl")->setText("http://www.youtube.com/watch?v=slowWindow1");

    int ticks = 0;
    bool disabledWhileReading = false;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
    ticking.start(20);
    QTimer::singleShot(300, [&] {
        disabledWhileReading = !quality->isEnabled();
        QTest::mouseClick(quality, Qt::LeftButton);
    });
    QTest::mouseClick(control(*w, "PushButton2"), Qt::LeftButton);
    EXPECT_TRUE(disabledWhileReading);
    EXPECT_GE(ticks, 20);  // the window ran while the page was awaited
    EXPECT_TRUE(quality->isEnabled());  // the page arrived and offers 720
    QTest::qWait(300);
    EXPECT_FALSE(w->downloader().Busy());  // the click during the read started nothing
    EXPECT_TRUE(w->workflow().jobs().empty());

    // Stop during a read ends it at once; Enter in the address box does what Extract does.
    addSlowPage("slowWindow2", "Slow Two", std::chrono::milliseconds(8000));
    control<QLineEdit>(*w, "txturl")->setText("http://www.youtube.com/watch?v=slowWindow2");
    QTimer::singleShot(300, [&] { QTest::mouseClick(control(*w, "PushButton6"), Qt::LeftButton); });
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(control(*w, "txturl"), Qt::Key_Return);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(status(*w), "Stopped before the page arrived");
    EXPECT_FALSE(quality->isEnabled());
    EXPECT_TRUE(boxes.empty());
}

// Saved, failed (404) and stream-less rows: each keeps its text and gets a mark with the
// reason as tool tip; the batch ends with a count, and the desktop is told once.
TEST_F(ResponsiveWindow, BatchRowsKeepTheirMarksAndTheBatchEndsWithACount) {
    site.addWatchPage("goodBatch01", {"Good", {{"34", "640x360", site::streamAddress("goodBatch01-34")}}});
    site.addStream("goodBatch01-34", {.size = 40000});
    site.addWatchPage("emptyBatch1", {"Nothing", {}});
    auto w = makeWindow();
    auto* list = control<QListWidget>(*w, "ListBox1");
    const QStringList rows{"http://www.youtube.com/watch?v=goodBatch01", "http://www.youtube.com/watch?v=missingPage",
                           "http://www.youtube.com/watch?v=emptyBatch1"};
    list->addItems(rows);
    QWidget elsewhere;  // the user has gone to another window meanwhile
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    QTest::mouseClick(control(*w, "PushButton4"), Qt::LeftButton);

    for (int i = 0; i < rows.size(); ++i) EXPECT_EQ(list->item(i)->text(), rows[i]);
    EXPECT_FALSE(list->item(0)->icon().isNull());
    EXPECT_EQ(list->item(0)->toolTip(), "Saved");
    EXPECT_EQ(list->item(0)->data(window::kSavedFileRole).toString(), drive.filePath("Good.flv"));
    EXPECT_TRUE(list->item(1)->toolTip().startsWith("Failed: HTTP 404")) << list->item(1)->toolTip().toStdString();
    EXPECT_EQ(list->item(2)->toolTip(), "Skipped: No downloadable video was found on this page");
    EXPECT_EQ(status(*w), "Batch done: 1 saved, 1 failed, 1 skipped");
    // The window was not in front: the desktop hears of it, once for the batch.
    EXPECT_EQ(notices, QStringList{"Batch done: 1 saved, 1 failed, 1 skipped"});
}

// While the size is unknown the bar is busy with no text; a known size brings it back.
TEST_F(ResponsiveWindow, AnUnknownSizeShowsABusyBar) {
    auto w = makeWindow();
    auto* bar = control<QProgressBar>(*w, "ProgressBar1");
    w->showProgressView({"1.00 of 2.00 Kb", 2048, 1024, std::string("50 %")});
    EXPECT_EQ(bar->text(), "50 %");
    w->showProgressView({"2.00 of ? Kb", 0, 0, std::string(), false});
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 0);  // Qt's busy indicator
    EXPECT_EQ(bar->text(), "");
    w->showProgressView({"Download completed", 4096, 4096, std::nullopt});
    EXPECT_EQ(bar->maximum(), 4096);
    EXPECT_EQ(bar->value(), 4096);
}

// The folder chosen from the status bar is remembered; ZENVIRA_DRIVE_C still wins.
TEST_F(ResponsiveWindow, TheChosenDownloadFolderIsRemembered) {
    QTemporaryDir chosen;
    const auto previousDialog = components::setOpenFileDialogHandler(
        [&](const components::OpenFileDialogRequest& request) {
            EXPECT_TRUE(request.chooseFolder);
            return chosen.path().toStdString();
        });
    qunsetenv("ZENVIRA_DRIVE_C");
    {
        auto w = makeWindow();
        w->chooseDownloadFolder();
        EXPECT_EQ(w->workflow().localFolder(), chosen.path().toStdString());
    }
    auto again = makeWindow();
    EXPECT_EQ(again->downloadFolder(), chosen.path());
    components::setOpenFileDialogHandler(previousDialog);

    qputenv("ZENVIRA_DRIVE_C", drive.path().toUtf8());
    auto overridden = makeWindow();
    EXPECT_EQ(overridden->downloadFolder(), drive.path());
}
