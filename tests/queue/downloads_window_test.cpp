// The Downloads window offscreen over a queue file of its own: a row per entry with what a
// person reads, selected rows paused together, links dropped on it added, a damaged queue
// said in the window instead of replaced, and Play on a running and on a saved entry.
#include <gtest/gtest.h>

#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "queue/queue_store.h"
#include "queue/window/downloads_window.h"
#include "tests/site/fixture_site.h"
#include "tests/support/test_application.h"

namespace {

using namespace zenvira;
using queue::EntryState;

TEST(DownloadRow, SaysSizeProgressSpeedAndStateAsAPersonReadsThem) {
    queue::Entry entry;
    entry.address = "http://example.com/a";
    EXPECT_EQ(queue::downloadRowOf(entry, nullptr).title, "http://example.com/a") << "the address until a title is known";
    EXPECT_EQ(queue::downloadRowOf(entry, nullptr).state, "Waiting");
    EXPECT_EQ(queue::downloadRowOf(entry, nullptr).size, "");

    entry.title = "A film";
    entry.state = EntryState::Running;
    components::DownloadProgress figures;
    figures.BytesDone = 3 * 1024 * 1024;
    figures.BytesTotal = 12 * 1024 * 1024;
    figures.BytesPerSecond = 1536 * 1024;
    figures.RemainingSeconds = 6;
    auto row = queue::downloadRowOf(entry, &figures);
    EXPECT_EQ(row.title, "A film");
    EXPECT_EQ(row.size, "12.0 MB");
    EXPECT_EQ(row.percent, 25);
    EXPECT_EQ(row.speed, "1.5 MB/s");
    EXPECT_EQ(row.remaining, "0:06");
    EXPECT_EQ(row.state, "Running");

    figures.BytesTotal = -1;  // the server has not said: a busy bar, not a full one
    EXPECT_EQ(queue::downloadRowOf(entry, &figures).percent, -1);

    entry.state = EntryState::Failed;
    entry.reason = "HTTP 404 Not Found";
    row = queue::downloadRowOf(entry, nullptr);
    EXPECT_EQ(row.state, "Failed: HTTP 404 Not Found");
    EXPECT_EQ(row.speed, "") << "no speed for an entry that does not run";
}

TEST(DownloadsWindow, ListsTheQueuePausesTheSelectedRowsAndAddsDroppedLinks) {
    zenvira::testing::widgetApplication();
    QTemporaryDir home;
    const std::string path = home.filePath("queue.sqlite").toStdString();
    {
        auto store = queue::QueueStore::open(path).store;
        ASSERT_TRUE(store);
        store->add("http://example.com/one", 0, {}, {}, "One");
        store->add("http://example.com/two", 720, {}, {}, "Two");
        store->add("http://example.com/three");
        const auto running = store->claimNext(queue::nowMs());
        ASSERT_TRUE(running);
        store->finish(running->id, EntryState::Saved, "", "/tmp/One.mp4");
    }
    queue::DownloadsWindow window({.queuePath = path, .runQueue = false});
    window.show();
    QTreeWidget* list = window.list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "One");
    EXPECT_EQ(list->topLevelItem(0)->text(5), "Saved");
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Two");
    EXPECT_EQ(list->topLevelItem(2)->text(5), "Waiting");
    auto* bar = qobject_cast<QProgressBar*>(list->itemWidget(list->topLevelItem(0), 2));
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->value(), 100);

    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    window.pauseSelected();
    auto store = queue::QueueStore::open(path).store;
    const auto entries = store->list();
    EXPECT_EQ(entries[0].state, EntryState::Saved) << "a saved entry is not paused";
    EXPECT_EQ(entries[1].state, EntryState::Paused);
    EXPECT_EQ(entries[2].state, EntryState::Paused);
    EXPECT_EQ(list->topLevelItem(2)->text(5), "Paused");
    EXPECT_EQ(window.selectedIds().size(), 2u) << "the selection stays across a redraw";

    // Another process's change shows at the next redraw.
    store->resume({entries[1].id});
    window.refresh();
    EXPECT_EQ(list->topLevelItem(1)->text(5), "Waiting");

    window.addLinks("http://example.com/dropped\nnot a link\nhttp://example.com/one\n");
    EXPECT_EQ(list->topLevelItemCount(), 4) << "a link already there is the entry already there";
    EXPECT_EQ(list->topLevelItem(3)->text(0), "http://example.com/dropped");

    // Several rows move up together, and stay selected.
    list->clearSelection();
    list->topLevelItem(2)->setSelected(true);
    list->topLevelItem(3)->setSelected(true);
    window.moveSelectedUp();
    QStringList order;
    for (int k = 0; k < list->topLevelItemCount(); ++k) order << list->topLevelItem(k)->text(0);
    EXPECT_EQ(order, (QStringList{"One", "http://example.com/three", "http://example.com/dropped", "Two"}));
    EXPECT_EQ(window.selectedIds().size(), 2u);

    // Removed with their partial files: a saved file is never one of them.
    const std::string two = home.filePath("Two.mp4").toStdString(), one = home.filePath("One.mp4").toStdString();
    store->setTitle(entries[1].id, "Two", two);
    store->setTitle(entries[0].id, "One", one);
    for (const std::string& file : {two + ".part", two + ".part.state", one, one + ".part"}) std::ofstream(file) << "x";
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(3)->setSelected(true);
    window.removeSelectedWithPartialFiles();
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_FALSE(std::filesystem::exists(two + ".part"));
    EXPECT_FALSE(std::filesystem::exists(two + ".part.state"));
    EXPECT_TRUE(std::filesystem::exists(one)) << "the saved file stays";
    EXPECT_TRUE(std::filesystem::exists(one + ".part")) << "a saved entry's files are not its parts";
    EXPECT_EQ(window.notice(), "");
}

TEST(DownloadsWindow, ADamagedQueueIsSaidInTheWindowAndLeftAsItIs) {
    zenvira::testing::widgetApplication();
    QTemporaryDir home;
    const std::string path = home.filePath("queue.sqlite").toStdString();
    std::ofstream(path, std::ios::binary) << std::string(2048, 'x');
    queue::DownloadsWindow window({.queuePath = path});
    EXPECT_NE(window.problem().indexOf("is damaged"), -1) << window.problem().toStdString();
    EXPECT_EQ(window.list()->topLevelItemCount(), 0);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string(2048, 'x'));
}

}  // namespace

namespace {

// Play, when the front offers it: a running entry plays from its local stream (the address
// answers with the download's bytes while it comes), a saved one from its file.
TEST(DownloadsWindow, PlayTakesARunningEntryFromItsStreamAndASavedOneFromItsFile) {
    zenvira::testing::widgetApplication();
    QTemporaryDir home;
    site::FixtureSite site;
    site::StreamShape slow;
    slow.size = 8 * 1024 * 1024;
    slow.bytesPerSecond = 64 * 1024;
    site.addStream("slow", slow);
    qputenv("http_proxy", QByteArray::fromStdString(site.proxyAddress()));
    const std::string path = home.filePath("queue.sqlite").toStdString();
    {
        auto store = queue::QueueStore::open(path).store;
        ASSERT_TRUE(store);
        store->add("http://example.com/saved", 0, {}, {}, "Saved");
        const auto saved = store->claimNext(queue::nowMs());
        ASSERT_TRUE(saved);
        store->finish(saved->id, EntryState::Saved, "", "/tmp/Saved.mp4");
        store->add(site::streamAddress("slow"), 0, home.filePath("out").toStdString());
    }
    std::vector<std::string> played;
    queue::DownloadsWindowSetup setup;
    setup.queuePath = path;
    setup.play = [&](const std::string& what) { played.push_back(what); };
    auto* window = new queue::DownloadsWindow(setup);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    QTreeWidget* list = window->list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    list->topLevelItem(0)->setSelected(true);
    window->playSelected();
    EXPECT_EQ(played, std::vector<std::string>{"/tmp/Saved.mp4"});

    list->topLevelItem(0)->setSelected(false);
    list->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            window->refresh();
            window->playSelected();
            return played.size() == 2;
        },
        20000))
        << "no stream for the running entry";
    if (played.size() == 2) {
        const QString address = QString::fromStdString(played[1]);
        EXPECT_TRUE(address.startsWith("http://127.0.0.1:")) << address.toStdString();
        QProcess curl;
        curl.start("curl", {"-sS", "--noproxy", "*", "-r", "0-99", address});
        ASSERT_TRUE(curl.waitForFinished(30000));
        std::vector<std::uint8_t> expected(100);
        site::fillStreamBytes(0, expected.data(), expected.size());
        const QByteArray got = curl.readAllStandardOutput();
        EXPECT_EQ(std::vector<std::uint8_t>(got.begin(), got.end()), expected);
    }
    delete window;
    qunsetenv("http_proxy");
}

}  // namespace
