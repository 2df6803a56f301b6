// The drop hook on any window: the first dropped file reaches the handler whole, and every
// event, the drop included, reaches the window unchanged.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "player/window/drop_hook.h"
#include "player_test_support.h"

using namespace zenvira::player;

namespace {

// Records every event it gets, answers User events as handled, and accepts a drag of files
// as the player window does. Events sent from the stack are gone once sent: their types are
// kept beside them, so only the addresses are compared after.
class RecordingWindow : public QWidget {
public:
    std::vector<QEvent*> received;
    std::vector<QEvent::Type> receivedTypes;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (acceptsDroppedFiles(e->mimeData())) e->acceptProposedAction();
    }

    bool event(QEvent* e) override {
        received.push_back(e);
        receivedTypes.push_back(e->type());
        if (e->type() == QEvent::User) return true;
        return QWidget::event(e);
    }
};

std::unique_ptr<QMimeData> filesDropped(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) urls << (path.contains("://") ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

// A drag entering the window, then the drop, as the desktop sends them.
void drop(QWidget& window, const QMimeData& data) {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &event);
}

// The events of `expected` arrived in that order (Qt may add its own in between).
bool arrivedInOrder(const std::vector<QEvent*>& received, const std::vector<QEvent*>& expected) {
    auto at = received.begin();
    for (QEvent* event : expected) {
        at = std::find(at, received.end(), event);
        if (at == received.end()) return false;
    }
    return true;
}

class DropHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        EnableFileDrop(&window, [this](const std::string& path) { played.push_back(path); });
    }
    QApplication& application = testApplication();  // before the window
    RecordingWindow window;
    std::vector<std::string> played;
};

}  // namespace

TEST_F(DropHookTest, FirstOfThreeDroppedFilesIsPlayedAndTheDropGoesOn) {
    EXPECT_TRUE(window.acceptDrops());
    EXPECT_TRUE(isHooked(&window));
    const auto data = filesDropped({"/videos/one.flv", "/videos/two.flv", "/videos/three.flv"});
    drop(window, *data);
    EXPECT_EQ(played, std::vector<std::string>{"/videos/one.flv"});
    ASSERT_FALSE(window.receivedTypes.empty());
    EXPECT_EQ(window.receivedTypes.back(), QEvent::Drop);
}

TEST_F(DropHookTest, WholeUnicodePathArrives) {
    const QString longName = QString(600, QChar('n')) + ".flv";
    const QString path = QString::fromUtf8("/home/ünï/视频/") + longName;
    drop(window, *filesDropped({path}));
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0], path.toStdString());
    EXPECT_GT(played[0].size(), 600u);
}

TEST_F(DropHookTest, DropWithoutAFileDoesNothing) {
    drop(window, *filesDropped({"https://www.example.com/a.flv"}));
    QMimeData textOnly;
    textOnly.setText("/videos/one.flv");
    drop(window, textOnly);
    EXPECT_TRUE(played.empty());
    EXPECT_FALSE(acceptsDroppedFiles(&textOnly));
    EXPECT_TRUE(acceptsDroppedFiles(filesDropped({"/a.flv"}).get()));
}

TEST_F(DropHookTest, OtherEventsReachTheWindowUnchanged) {
    QEvent user(QEvent::User);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::ShiftModifier, " ");
    QEvent polish(QEvent::PolishRequest);
    window.received.clear();
    EXPECT_TRUE(QCoreApplication::sendEvent(&window, &user));  // the window's own answer comes back
    QCoreApplication::sendEvent(&window, &key);
    QCoreApplication::sendEvent(&window, &polish);
    EXPECT_TRUE(arrivedInOrder(window.received, {&user, &key, &polish}));
    EXPECT_EQ(key.key(), Qt::Key_Space);
    EXPECT_EQ(key.modifiers(), Qt::ShiftModifier);
    EXPECT_EQ(key.text(), " ");
    EXPECT_TRUE(played.empty());
}

TEST_F(DropHookTest, EnablingTwiceKeepsOneHook) {
    EnableFileDrop(&window, [this](const std::string& path) { played.push_back("again:" + path); });
    EXPECT_EQ(window.findChildren<DropWndProc*>().size(), 1);
    drop(window, *filesDropped({"/a.flv"}));
    EXPECT_EQ(played, std::vector<std::string>{"again:/a.flv"});  // once, not through a chain

    DisableFileDrop(&window);
    EXPECT_FALSE(window.acceptDrops());
    EXPECT_FALSE(isHooked(&window));
    drop(window, *filesDropped({"/b.flv"}));
    EXPECT_EQ(played.size(), 1u);

    DisableFileDrop(&window);  // not hooked: only the flag
    EXPECT_FALSE(window.acceptDrops());

    // Enabled again after the unhook, as a later load does.
    EnableFileDrop(&window, [this](const std::string& path) { played.push_back(path); });
    drop(window, *filesDropped({"/c.flv"}));
    EXPECT_EQ(played.back(), "/c.flv");
}
