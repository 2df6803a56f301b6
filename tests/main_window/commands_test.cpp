// The main window's other commands and the start-up update check, with the real page fetch
// against the fixture site (the product site's own address, through http_proxy) and a
// recording program standing in for the browser ($BROWSER).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalSocket>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/socket.h>
#include <thread>

#include "app/gui/download_tray.h"
#include "app/gui/other_windows.h"
#include "app/gui/queue_watch.h"
#include "app/gui/single_instance.h"
#include "app/window/frmMain.h"
#include "app/window/status_panels.h"
#include "base/product_site.h"
#include "components/msg_box/msg_box.h"
#include "platform/browser.h"
#include "queue/held_entries.h"
#include "queue/queue_store.h"
#include "tests/site/fixture_site.h"
#include "tests/support/test_application.h"

using namespace zenvira;
using window::frmMain;

namespace {

struct Box {
    std::string text;
    int style;
    std::string title;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        ASSERT_TRUE(home.isValid());
        browserLog = home.filePath("browser.log").toStdString();
        const std::string script = home.filePath("browser.sh").toStdString();
        // One append per start, so browsers started side by side never mix their lines.
        std::ofstream(script) << "#!/bin/sh\nline=\nfor a in \"$@\"; do line=\"$line[$a]\"; done\n"
                              << "printf '%s\\n' \"$line\" >> '" << browserLog << "'\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        setenv("BROWSER", script.c_str(), 1);
        setenv("http_proxy", site.proxyAddress().c_str(), 1);
        // The product site is HTTPS: its update page comes through the proxy's tunnel.
        setenv("https_proxy", site.proxyAddress().c_str(), 1);
        setenv("CURL_CA_BUNDLE", site.certificateAuthorityFile().c_str(), 1);
        unsetenv("ZENVIRA_SITE_HOST");
        components::setMsgBoxHandler([this](const std::string& text, int style, const std::string& title) {
            boxes.push_back({text, style, title});
            return 1;
        });
    }
    // A Zenvira started by the test: offscreen, its socket in `runtime`, its queue, settings,
    // data and drive c:\ under the test's home.
    QProcessEnvironment programEnvironment(const QTemporaryDir& runtime) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ZENVIRA_QUEUE", home.filePath("queue.sqlite"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("ZENVIRA_DRIVE_C", home.filePath("drive"));
        return env;
    }
    void TearDown() override {
        components::setMsgBoxHandler({});
        unsetenv("BROWSER");
        unsetenv("https_proxy");
        unsetenv("CURL_CA_BUNDLE");
    }

    window::FrmMainSetup setup() {
        window::FrmMainSetup s;
        s.applicationFolder = home.path();
        s.locale = QLocale::c();
        s.twipsPerPixel = ui::TwipsPerPixel{15, 15};
        return s;
    }

    // What the browser was started with, one line per start; waits a moment for the child.
    std::string browserCalls(int expectedLines) {
        for (int i = 0; i < 100; ++i) {
            std::ifstream in(browserLog);
            std::stringstream text;
            text << in.rdbuf();
            const std::string log = text.str();
            if (std::count(log.begin(), log.end(), '\n') >= expectedLines) return log;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return "";
    }

    QTemporaryDir home;
    std::string browserLog;
    site::FixtureSite site;
    std::vector<Box> boxes;
};

}  // namespace

TEST_F(Commands, ANewerPublishedVersionIsAnnouncedAndEndsStartUp) {
    site.setPublishedVersion("2.6");
    frmMain w(setup());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(w.Form_Load());
    EXPECT_GE(clock.elapsed(), 1000);  // the two-second pause on the wall clock's seconds
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Zenvira Version 2.6 is available, Recommend download and update");
    EXPECT_EQ(boxes[0].title, "New Version");
    EXPECT_EQ(boxes[0].style, 64);
    EXPECT_EQ(browserCalls(1), "[https://www.zenvira.net/]\n");
}

TEST_F(Commands, TheSameOrNoVersionLetsStartUpGoOn) {
    frmMain w(setup());  // the site publishes 2.5
    EXPECT_TRUE(w.Form_Load());
    EXPECT_TRUE(boxes.empty());

    // A site that never answers, and one that cannot be reached: start-up goes on within 3 s.
    site.addFixed("/listurl.html", {.body = "<div id=mver>9.0</div>", .delay = std::chrono::seconds(20)});
    for (const bool reachable : {true, false}) {
        if (!reachable) setenv("https_proxy", "http://127.0.0.1:1", 1);  // nothing listens there
        frmMain slow(setup());
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(slow.Form_Load());
        EXPECT_LT(clock.elapsed(), 3000);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Commands, ListAddsWatchAddressesAndAlwaysClearsTheBox) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    auto* txturl = w.findChild<QLineEdit*>("txturl");
    auto* list = w.findChild<QListWidget*>("ListBox1");
    auto* add = w.findChild<QPushButton*>("PushButton5");
    auto* quality = w.findChild<QPushButton*>("PushButton1_4");
    quality->setEnabled(true);
    for (const char* typed : {"http://www.youtube.com/watch?v=abcdefghijk&feature=related", "http://www.YouTube.com/watch?v=x", ""}) {
        txturl->setText(QString::fromUtf8(typed));
        QTest::mouseClick(add, Qt::LeftButton);
        EXPECT_TRUE(txturl->text().isEmpty());
    }
    EXPECT_FALSE(quality->isEnabled());
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "http://www.youtube.com/watch?v=abcdefghijk");
}

// A row shows 42 characters; the batch goes by the whole address behind it. Cut, the https
// address below would name zv2DemoSea, another video, and the playlist would not be taken.
TEST_F(Commands, ListKeepsTheWholeAddressOfEveryKindForTheBatch) {
    site.addWatchPage("zv2DemoSea1", {"Sea One", {{"34", "640x360", site::streamAddress("s-sea1")}}});
    site.addStream("s-sea1", {.size = 30000});
    site.addWatchPage("zv2DemoSea", {"Sea Other", {{"34", "640x360", site::streamAddress("s-sea0")}}});
    site.addStream("s-sea0", {.size = 20000});
    const std::string playlist = "http://media.example.com/live/a-rather-long-path/master.m3u8";
    site.addFixed("/live/a-rather-long-path/master.m3u8", {.body = "not a playlist", .contentType = "text/plain"});
    const QString drive = home.filePath("drive-c");
    QDir().mkpath(drive);
    setenv("ZENVIRA_DRIVE_C", drive.toUtf8().constData(), 1);

    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    auto* txturl = w.findChild<QLineEdit*>("txturl");
    auto* list = w.findChild<QListWidget*>("ListBox1");
    for (const std::string& typed : {std::string("https://www.youtube.com/watch?v=zv2DemoSea1"), playlist}) {
        txturl->setText(QString::fromStdString(typed));
        QTest::mouseClick(w.findChild<QPushButton*>("PushButton5"), Qt::LeftButton);
    }
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "https://www.youtube.com/watch?v=zv2DemoSea");
    EXPECT_EQ(list->item(1)->text(), QString::fromStdString(playlist.substr(0, 42)));

    site.clearRequests();
    QTest::mouseClick(w.findChild<QPushButton*>("PushButton4"), Qt::LeftButton);
    bool playlistAsked = false;
    for (const auto& request : site.requests()) playlistAsked |= request.path == "/live/a-rather-long-path/master.m3u8";
    EXPECT_TRUE(playlistAsked);
    EXPECT_EQ(list->item(0)->data(window::kOutcomeRole).toString(), "Saved");
    const QString saved = list->item(0)->data(window::kSavedFileRole).toString();
    EXPECT_TRUE(saved.contains("Sea One")) << saved.toStdString();
    EXPECT_EQ(QFileInfo(saved).size(), 30000);
    EXPECT_EQ(site.bytesServed("s-sea0"), 0u) << "the cut address's video was fetched";
    unsetenv("ZENVIRA_DRIVE_C");
}

// A link dragged from a browser lands in the address box; what no resolver reads is refused.
TEST_F(Commands, ALinkDroppedOrPastedOnTheWindowGoesIntoTheAddressBox) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    w.show();
    auto* txturl = w.findChild<QLineEdit*>("txturl");
    const auto drop = [&w](QMimeData* data) {
        const QPoint at(w.width() / 2, w.height() - 5);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &dropped);
        return dropped.isAccepted();
    };
    QMimeData link;
    link.setUrls({QUrl("https://www.youtube.com/watch?v=zv2DemoSea1")});
    EXPECT_TRUE(drop(&link));
    EXPECT_EQ(txturl->text(), "https://www.youtube.com/watch?v=zv2DemoSea1");
    QMimeData text;
    text.setText("  http://cdn.example.com/live/master.m3u8\n");
    EXPECT_TRUE(drop(&text));
    EXPECT_EQ(txturl->text(), "http://cdn.example.com/live/master.m3u8");
    for (const char* refused : {"file:///etc/passwd", "just words"}) {
        QMimeData other;
        other.setText(refused);
        EXPECT_FALSE(drop(&other)) << refused;
    }
    EXPECT_EQ(txturl->text(), "http://cdn.example.com/live/master.m3u8");

    // Ctrl+V with the list focused pastes into the address box; Ctrl+L goes there.
    QGuiApplication::clipboard()->setText("http://media.example.com/v/sea.mp4");
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* list = w.findChild<QListWidget*>("ListBox1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(txturl->text(), "http://media.example.com/v/sea.mp4");
    QTest::keyClick(list, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(txturl->hasFocus());
    EXPECT_EQ(txturl->selectedText(), txturl->text());
    EXPECT_EQ(txturl->accessibleName(), "Address");
    EXPECT_EQ(w.findChild<QPushButton*>("PushButton5")->accessibleName(), "List");
}

// The clipboard watch, off until chosen and then remembered: a copied address a resolver
// takes is offered once a run, and only http and https; Extract and Add to queue take it.
TEST_F(Commands, TheClipboardWatchOffersEachCopiedLinkOnce) {
    const QString ini = home.filePath("settings.ini");
    std::vector<std::string> queued;
    const auto made = [&] {
        auto s = setup();
        s.settings = [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
        s.otherWindows.addToQueue = [&](const std::string& address) { queued.push_back(address); };
        return s;
    };
    auto first = std::make_unique<frmMain>(made());
    EXPECT_FALSE(first->watchesClipboard()) << "on by default";
    first->show();
    QGuiApplication::clipboard()->setText("https://www.youtube.com/watch?v=zv2DemoSea1");
    QCoreApplication::processEvents();
    auto* offer = first->findChild<QWidget*>("clipboardOffer");
    EXPECT_TRUE(!offer || !offer->isVisible()) << "offered with the watch off";
    first.reset();
    QSettings(ini, QSettings::IniFormat).setValue(window::kWatchClipboardKey, true);

    frmMain w(made());
    ASSERT_TRUE(w.Form_Load());
    EXPECT_TRUE(w.watchesClipboard()) << "the choice is not remembered";
    w.show();
    QWidget* shown = nullptr;
    auto* txturl = w.findChild<QLineEdit*>("txturl");
    const auto copied = [&](const QString& text) {
        if (shown) shown->hide();
        QGuiApplication::clipboard()->setText(text);
        QCoreApplication::processEvents();
        shown = w.findChild<QWidget*>("clipboardOffer");
        return shown && shown->isVisible();
    };
    for (const char* refused : {"file:///etc/passwd", "ftp://example.com/v.mp4", "javascript:alert(1)", "just words",
                                "file:///home/me/watch?v=zv2DemoSea1", "http://"})
        EXPECT_FALSE(copied(refused)) << refused;
    EXPECT_TRUE(copied("  https://www.youtube.com/watch?v=zv2DemoSea1\n"));
    QTest::mouseClick(shown->findChild<QPushButton*>("offerExtract"), Qt::LeftButton);
    EXPECT_EQ(txturl->text(), "https://www.youtube.com/watch?v=zv2DemoSea1");
    EXPECT_FALSE(shown->isVisible());
    EXPECT_FALSE(copied("https://www.youtube.com/watch?v=zv2DemoSea1")) << "offered twice";
    EXPECT_TRUE(copied("http://cdn.example.com/live/master.m3u8"));
    EXPECT_TRUE(shown->findChild<QPushButton*>("offerQueue")->isVisible());
    QTest::mouseClick(shown->findChild<QPushButton*>("offerQueue"), Qt::LeftButton);
    EXPECT_EQ(queued, std::vector<std::string>{"http://cdn.example.com/live/master.m3u8"});
    EXPECT_FALSE(copied("http://cdn.example.com/live/master.m3u8"));
    EXPECT_TRUE(copied("http://media.example.com/v/sea.mp4"));
    w.setWatchClipboard(false);
    EXPECT_FALSE(shown->isVisible());
}

// A second `zenvira ADDRESS` while one runs: the address reaches the running window, which
// extracts it, and the second program ends at once without a window of its own.
TEST_F(Commands, ASecondProgramHandsItsAddressToTheRunningOne) {
    site.addWatchPage("zv2DemoSea1", {"Sea One", {{"34", "640x360", site::streamAddress("s-sea1")}}});
    site.addStream("s-sea1", {.size = 1000});
    QTemporaryDir runtime;
    const QString socket = QDir(runtime.path()).filePath("zenvira.socket");
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    w.show();
    std::vector<QString> handed;
    gui::RunningInstance running(
        [&](const QString& operand) {
            handed.push_back(operand);
            w.openHandedOver(operand);
        },
        socket);
    ASSERT_TRUE(running.listening());
    EXPECT_TRUE(QFileInfo(socket).permissions() & QFile::WriteOwner);
    EXPECT_FALSE(QFileInfo(socket).permissions() & (QFile::WriteOther | QFile::WriteGroup)) << "only the user connects";

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(env);
    QElapsedTimer clock;
    second.start(ZENVIRA_GUI, {"http://www.youtube.com/watch?v=zv2DemoSea1"});
    ASSERT_TRUE(second.waitForStarted(5000));
    clock.start();
    while (second.state() != QProcess::NotRunning && clock.elapsed() < 10000) QTest::qWait(10);
    EXPECT_LT(clock.elapsed(), 1000) << "the second program waited";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    for (int i = 0; i < 200 && handed.empty(); ++i) QTest::qWait(10);
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0], "http://www.youtube.com/watch?v=zv2DemoSea1");
    EXPECT_EQ(w.findChild<QLineEdit*>("txturl")->text(), handed[0]);
    // Extract has begun on it (the page read itself is the workflow's own tests' concern).
    QTest::qWait(50);
    const QString status = w.findChild<window::StatusPanels*>("STBar")->panelText(1);
    EXPECT_TRUE(status.contains("Getting Video Information") || w.findChild<QPushButton*>("PushButton1_3")->isEnabled())
        << status.toStdString();

    // A second start with nothing to hand over shows the running window and ends.
    w.showMinimized();
    second.start(ZENVIRA_GUI, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    EXPECT_TRUE(second.waitForFinished(5000));
    for (int i = 0; i < 200 && handed.size() < 2; ++i) QTest::qWait(10);
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_TRUE(handed[1].isEmpty());
    EXPECT_FALSE(w.isMinimized());

    // Nobody listening: the program is not handed anything and starts as the only one.
    EXPECT_FALSE(gui::handToRunningInstance({"x"}, QDir(runtime.path()).filePath("none.socket")));
}

namespace {

// The framed answers of a native host, unframed.
std::vector<QByteArray> hostAnswers(const QByteArray& output) {
    std::vector<QByteArray> answers;
    for (qsizetype at = 0; at + 4 <= output.size();) {
        std::uint32_t length = 0;
        std::memcpy(&length, output.constData() + at, 4);
        answers.push_back(output.mid(at + 4, length));
        at += 4 + static_cast<qsizetype>(length);
    }
    return answers;
}

// Runs `zenvira-cli native-host` on one "add" as a browser does, its output read through a
// pipe to its end (which whatever the host started would hold open); its answer, or empty.
QByteArray hostAdds(const QString& url, const QProcessEnvironment& env, const QString& folder, qint64& elapsed) {
    const QByteArray message = R"({"action":"add","url":")" + url.toUtf8() + R"("})";
    const auto length = static_cast<std::uint32_t>(message.size());
    const QString input = QDir(folder).filePath("message");
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(reinterpret_cast<const char*>(&length), 4);
    file.write(message);
    file.close();
    QProcess host;
    host.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    host.start("/bin/sh", {"-c", "\"$0\" native-host < \"$1\" | cat", ZENVIRA_CLI, input});
    host.waitForFinished(10000);
    elapsed = clock.elapsed();
    const auto answers = hostAnswers(host.readAllStandardOutput());
    return answers.size() == 1 ? answers[0] : QByteArray();
}

}  // namespace

// The browser's host shows the Downloads window: the running program's, handed over through
// its socket, or a new program's, started detached when none runs; ZENVIRA_NO_GUI_START keeps
// it from starting anything. The answer never waits for the program.
TEST_F(Commands, TheBrowsersHostRaisesTheDownloadsWindowOrStartsTheProgram) {
    QTemporaryDir runtime;
    QProcessEnvironment env = programEnvironment(runtime);
    env.remove("ZENVIRA_NO_GUI_START");
    const QString socket = QDir(runtime.path()).filePath("zenvira.socket");
    qint64 elapsed = 0;
    {
        std::vector<QString> handed;
        gui::RunningInstance running([&](const QString& operand) { handed.push_back(operand); }, socket);
        ASSERT_TRUE(running.listening());
        EXPECT_EQ(hostAdds("http://www.youtube.com/watch?v=zv2DemoSea1", env, home.path(), elapsed),
                  R"({"id":1,"ok":true})");
        EXPECT_LT(elapsed, 3000);
        for (int i = 0; i < 500 && handed.empty(); ++i) QTest::qWait(10);
        EXPECT_EQ(handed, std::vector<QString>{"--downloads"});

        QProcessEnvironment quiet = env;
        quiet.insert("ZENVIRA_NO_GUI_START", "1");
        handed.clear();
        EXPECT_EQ(hostAdds("http://www.youtube.com/watch?v=zv2DemoSea2", quiet, home.path(), elapsed),
                  R"({"id":2,"ok":true})");
        QTest::qWait(1000);
        EXPECT_TRUE(handed.empty()) << "started with ZENVIRA_NO_GUI_START set";
    }

    // None runs: the host answers at once and a program starts, listening for the next one.
    EXPECT_EQ(hostAdds("http://www.youtube.com/watch?v=zv2DemoSea3", env, home.path(), elapsed),
              R"({"id":3,"ok":true})");
    EXPECT_LT(elapsed, 3000) << "the host waited for the program it started";
    QLocalSocket started;
    for (int i = 0; i < 1000 && started.state() != QLocalSocket::ConnectedState; ++i) {
        started.connectToServer(socket);
        if (!started.waitForConnected(100)) QTest::qWait(20);
    }
    ASSERT_EQ(started.state(), QLocalSocket::ConnectedState) << "no Zenvira started";
    ucred peer{};
    socklen_t size = sizeof peer;
    ASSERT_EQ(getsockopt(static_cast<int>(started.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size), 0);
    started.disconnectFromServer();
    ASSERT_GT(peer.pid, 0);
    EXPECT_EQ(getsid(peer.pid), peer.pid) << "the program is not in a session of its own";
    kill(peer.pid, SIGTERM);
}

// A program that starts while another is between finding none running and listening waits
// for it and hands over, instead of going on as a second one.
TEST_F(Commands, AProgramStartingBesideAnotherStartingOneHandsOver) {
    QTemporaryDir runtime;
    const QProcessEnvironment env = programEnvironment(runtime);
    const QString socket = QDir(runtime.path()).filePath("zenvira.socket");
    std::optional<gui::StartGuard> first(socket);  // this test is the first, still starting
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(ZENVIRA_GUI, {"--downloads"});
    ASSERT_TRUE(second.waitForStarted(5000));
    QTest::qWait(500);
    std::vector<QString> handed;
    gui::RunningInstance running([&](const QString& operand) { handed.push_back(operand); }, socket);
    first.reset();
    ASSERT_TRUE(running.listening()) << "the second went on as a program of its own";
    for (int i = 0; i < 500 && second.state() != QProcess::NotRunning; ++i) QTest::qWait(10);
    EXPECT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    for (int i = 0; i < 200 && handed.empty(); ++i) QTest::qWait(10);
    EXPECT_EQ(handed, std::vector<QString>{"--downloads"});
    if (second.state() != QProcess::NotRunning) second.kill();
}

// Entries another process adds open the Downloads window while it is closed; what its runner
// changes, and an address already queued, do not.
TEST_F(Commands, AnEntryAddedFromOutsideOpensTheDownloadsWindow) {
    const std::string path = home.filePath("watched.sqlite").toStdString();
    auto other = queue::QueueStore::open(path);
    ASSERT_TRUE(other.store) << other.error;
    const queue::EntryId first = other.store->add("https://www.youtube.com/watch?v=zv2DemoSea1");
    bool open = false;
    int shown = 0;
    auto watch = gui::watchQueueForDownloads(
        path, [&] { return open; }, [&] { ++shown; });
    ASSERT_TRUE(watch->watching());
    watch->look();
    EXPECT_EQ(shown, 0) << "an entry there before the program started";
    other.store->pause({first});
    other.store->resume({first});
    other.store->add("https://www.youtube.com/watch?v=zv2DemoSea1");
    watch->look();
    EXPECT_EQ(shown, 0) << "no new entry";
    other.store->add("https://www.youtube.com/watch?v=zv2DemoSea2");
    watch->look();
    watch->look();
    EXPECT_EQ(shown, 1);
    open = true;
    other.store->add("https://www.youtube.com/watch?v=zv2DemoSea3");
    watch->look();
    EXPECT_EQ(shown, 1) << "shown again while open";
    open = false;
    // The main window's batch keeps its rows in the queue, held while it runs them: its own.
    const queue::EntryId batchRow = other.store->add("https://www.youtube.com/watch?v=zv2DemoSea5");
    queue::holdEntries(path, {batchRow});
    watch->look();
    queue::releaseEntries(path, {batchRow});
    watch->look();
    EXPECT_EQ(shown, 1) << "the batch's own rows";
    other.store->add("https://www.youtube.com/watch?v=zv2DemoSea4");
    for (int i = 0; i < 300 && shown == 1; ++i) QTest::qWait(10);  // the watch's own timer
    EXPECT_EQ(shown, 2);
}

// The tray while a download runs, wired to the window as the GUI wires it: its tooltip
// follows the real download's progress, its menu reaches the window, pauses and quits, and it
// goes away when the downloads have ended.
TEST_F(Commands, TheTrayFollowsDownloadsAndItsMenuReachesTheProgram) {
    site.addWatchPage("zv2DemoSea1", {"Sea One", {{"34", "640x360", site::streamAddress("s-sea1")}}});
    site.addStream("s-sea1", {.size = 400000, .bytesPerSecond = 400000});
    const QString drive = home.filePath("drive-c");
    QDir().mkpath(drive);
    setenv("ZENVIRA_DRIVE_C", drive.toUtf8().constData(), 1);
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    std::vector<std::string> called;
    gui::DownloadTray tray({.showWindows = [&] { called.push_back("show"); },
                            .pauseAll = [&] { called.push_back("pause"); },
                            .quit = [&] { called.push_back("quit"); }});
    gui::followDownloads(tray, w);
    bool shownWhileRunning = false;
    QString tip;
    app::DownloadEnded ended;
    w.workflow().onDownloadEnded([&](const app::DownloadEnded& e) {
        shownWhileRunning = tray.wanted();
        ended = e;
        tip = tray.toolTip();
    });
    EXPECT_FALSE(tray.wanted());
    w.workflow().Extract("http://www.youtube.com/watch?v=zv2DemoSea1");
    // What the tooltip said while the download ran (the wait runs the event loop).
    QStringList tips;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (tray.wanted() && (tips.isEmpty() || tips.back() != tray.toolTip())) tips << tray.toolTip();
    });
    sampler.start(10);
    // The one quality the page offers, as a person clicks it.
    for (int k = 0; k < window::kQualityButtonCount; ++k)
        if (w.findChild<QPushButton*>(QString::fromLatin1(window::qualityButtonName(k).data()))->isEnabled())
            QTest::mouseClick(w.findChild<QPushButton*>(QString::fromLatin1(window::qualityButtonName(k).data())),
                              Qt::LeftButton);
    EXPECT_TRUE(components::fileSaved(ended.outcome)) << ended.reason;
    EXPECT_TRUE(shownWhileRunning) << "no tray while the download ran";
    sampler.stop();
    EXPECT_EQ(tip, "Zenvira: Download completed");
    EXPECT_TRUE(std::any_of(tips.begin(), tips.end(), [](const QString& t) { return t.contains(" of "); }))
        << tips.join(" | ").toStdString();
    for (int i = 0; i < 100 && tray.wanted(); ++i) QTest::qWait(10);
    EXPECT_FALSE(tray.wanted()) << "still shown after the real download ended";
    tray.downloadProgress("37.5 %  1.5 of 4 MB");
    EXPECT_TRUE(tray.wanted());
    EXPECT_EQ(tray.toolTip(), "Zenvira: 37.5 %  1.5 of 4 MB");
    tray.downloadsEnded();
    EXPECT_FALSE(tray.wanted()) << "still shown after the download ended";

    QStringList texts;
    for (QAction* action : tray.menu()->actions())
        if (!action->isSeparator()) {
            texts << action->text();
            action->trigger();
        }
    EXPECT_EQ(texts, (QStringList{"Show windows", "Pause all", "Quit"}));
    EXPECT_EQ(called, (std::vector<std::string>{"show", "pause", "quit"}));
    unsetenv("ZENVIRA_DRIVE_C");
}

TEST_F(Commands, UpdateAndTheNoticeOpenTheProductSite) {
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    QTest::mouseClick(w.findChild<QPushButton*>("PushButton7"), Qt::LeftButton);
    w.STBar_PanelClick(2);
    w.setStatusText("nothing about the site here");
    w.STBar_PanelClick(1);
    EXPECT_EQ(browserCalls(2), "[https://www.zenvira.net/]\n[https://www.zenvira.net/]\n");
    EXPECT_NE(w.findChild<window::StatusPanels*>("STBar")->panelText(2).toStdString().find("www.zenvira.net"),
              std::string::npos);
}

TEST_F(Commands, TheBrowserGetsTheAddressAsOneArgumentAndAMissingOneEndsNothing) {
    EXPECT_TRUE(platform::openInBrowser("http://host/a b?c=\"d\"; rm -rf x").ok);
    EXPECT_EQ(browserCalls(1), "[http://host/a b?c=\"d\"; rm -rf x]\n");

    const std::string path = std::getenv("PATH");
    setenv("BROWSER", "/nonexistent/browser", 1);
    setenv("PATH", "/nonexistent", 1);  // and no xdg-open either
    const auto launch = platform::openInBrowser("http://www.zenvira.net/");
    EXPECT_FALSE(launch.ok);
    EXPECT_NE(launch.error.find("Cannot start a web browser"), std::string::npos);
    frmMain w(setup());
    ASSERT_TRUE(w.Form_Load());
    w.PushButton7_Click();
    EXPECT_NE(w.findChild<window::StatusPanels*>("STBar")->panelText(1).toStdString().find("Cannot start"),
              std::string::npos);
    setenv("PATH", path.c_str(), 1);
}

TEST_F(Commands, ConverterAndPlayPressedTwiceOpenOneWindowEach) {
    // The player registers the .flv association and plays through libmpv: keep both local.
    setenv("XDG_DATA_HOME", home.filePath("data").toUtf8().constData(), 1);
    setenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8().constData(), 1);
    setenv("ZENVIRA_MPV_NULL", "1", 1);
    components::setMsgBoxHandler([this](const std::string& text, int style, const std::string& title) {
        boxes.push_back({text, style, title});
        return 7;  // No to the encoder download: the converter opens without it
    });
    auto withOthers = setup();
    withOthers.otherWindows = gui::otherWindows({});  // as the GUI front joins them
    frmMain w(withOthers);
    ASSERT_TRUE(w.Form_Load());
    for (int press = 0; press < 2; ++press) {
        QTest::mouseClick(w.findChild<QPushButton*>("PushButton3"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QPushButton*>("PushButton8"), Qt::LeftButton);
    }
    int converters = 0, players = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        converters += top->objectName() == "frmConv";
        players += top->objectName() == "Form1";
        if (top->objectName() == "frmConv" || top->objectName() == "Form1") {
            EXPECT_TRUE(top->isVisible());
        }
    }
    EXPECT_EQ(converters, 1);
    EXPECT_EQ(players, 1);
    w.close();  // closes both with it
    QCoreApplication::processEvents();
    for (QWidget* top : QApplication::topLevelWidgets()) EXPECT_FALSE(top->isVisible()) << top->objectName().toStdString();
}
