// The main window's batch kept in the download queue, against the fixture site: each row an
// entry that runs, is saved or fails as the batch goes; a row the queue fetches already is
// left to it; a stopped batch leaves its rows stopped, and a batch cut short by the program
// closing leaves them waiting for the runner, which takes them up from their parts.
#include <QTemporaryDir>

#include "queue/batch_entries.h"
#include "queue/queue_runner.h"
#include "queue/queue_store.h"
#include "tests/app/workflow_fixture.h"

namespace {

using namespace zenvira;
using queue::EntryState;

struct BatchQueueTest : zenvira::testing::WorkflowTest {
    void SetUp() override {
        WorkflowTest::SetUp();
        workflow.setBatchQueue(&batch);
    }
    std::vector<queue::Entry> entries() { return queue::QueueStore::open(path).store->list(); }

    QTemporaryDir home;
    std::string path = home.filePath("queue.sqlite").toStdString();
    queue::BatchEntries batch{path};
};

TEST_F(BatchQueueTest, RowsAreKeptAsTheyGoAndOneTheQueueFetchesIsLeftToIt) {
    const auto first = addPage("qBatch01", "First", {{"34", "640x360"}}, {.size = 90000});
    const auto broken = "http://www.youtube.com/watch?v=qBatchNone";
    const auto streamless = addPage("qBatch03", "Nothing here", {});
    const auto fetchedElsewhere = addPage("qBatch04", "Elsewhere", {{"34", "640x360"}});
    {
        auto store = queue::QueueStore::open(path).store;
        ASSERT_TRUE(store);
        ASSERT_TRUE(store->claim(store->add(fetchedElsewhere)));  // a runner has it under way
    }
    workflow.BatchDownload({first, broken, streamless, fetchedElsewhere});
    EXPECT_EQ(view.marks, (std::vector<std::string>{"0 saved", view.marks.at(1),
                                                    "2 skipped: No downloadable video was found on this page",
                                                    "3 skipped: Being downloaded in the Downloads window"}));
    EXPECT_FALSE(site.bytesServed("qBatch04-34")) << "not fetched twice at once";

    const auto kept = entries();
    ASSERT_EQ(kept.size(), 4u);
    struct Expected {
        std::string address;
        EntryState state;
        std::string reasonStart;
    };
    const std::vector<Expected> expected = {{first, EntryState::Saved, ""},
                                            {fetchedElsewhere, EntryState::Running, ""},
                                            {broken, EntryState::Failed, "HTTP 404"},
                                            {streamless, EntryState::Failed, "No downloadable video"}};
    for (const auto& want : expected) {
        const auto found =
            std::find_if(kept.begin(), kept.end(), [&](const auto& e) { return e.address == want.address; });
        ASSERT_NE(found, kept.end()) << want.address;
        EXPECT_EQ(found->state, want.state) << want.address;
        EXPECT_EQ(found->reason.rfind(want.reasonStart, 0), 0u) << want.address << ": " << found->reason;
        EXPECT_EQ(found->quality, 0) << "the batch takes the best";
        if (want.state == EntryState::Saved) {
            EXPECT_EQ(found->file, (drive / "First.flv").string());
        }
    }

    // The same rows again are the same entries; the failed ones are tried afresh.
    workflow.BatchDownload({first, broken});
    EXPECT_EQ(entries().size(), 4u);
}

TEST_F(BatchQueueTest, AStoppedBatchStaysStoppedAndOneCutShortGoesOnInTheRunner) {
    const site::StreamShape slow{.size = 1000000, .bytesPerSecond = 100000};
    const auto stoppedOne = addPage("qStop01", "Stopped one", {{"34", "640x360"}}, slow);
    const auto stoppedTwo = addPage("qStop02", "Stopped two", {{"34", "640x360"}}, slow);
    later(500, [&] { workflow.Stop(); });
    workflow.BatchDownload({stoppedOne, stoppedTwo});
    for (const auto& entry : entries())
        EXPECT_EQ(entry.state, EntryState::Stopped) << entry.address << " " << entry.reason;

    const auto cutOne = addPage("qCut01", "Cut one", {{"34", "640x360"}}, slow);
    const auto cutTwo = addPage("qCut02", "Cut two", {{"34", "640x360"}}, slow);
    later(800, [&] { workflow.Shutdown(); });
    workflow.BatchDownload({cutOne, cutTwo});
    EXPECT_TRUE(std::filesystem::exists(drive / "Cut one.flv.part")) << "its part kept for the runner";
    while (downloader.Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);  // as the program ends
    for (const auto& entry : entries())
        if (entry.address == cutOne || entry.address == cutTwo) {
            EXPECT_EQ(entry.state, EntryState::Waiting) << entry.address;
        }

    queue::QueueRunner runner(path, {.jobs = 2});
    const auto summary = runner.run();
    EXPECT_TRUE(summary.ran) << summary.error;
    EXPECT_EQ(summary.saved, 2);
    EXPECT_TRUE(savedWithStreamBytes("Cut one.flv", slow.size));
    EXPECT_TRUE(savedWithStreamBytes("Cut two.flv", slow.size));
    for (const auto& entry : entries())
        if (entry.address == stoppedOne || entry.address == stoppedTwo) {
            EXPECT_EQ(entry.state, EntryState::Stopped) << "the runner leaves what a person stopped";
        }
}

}  // namespace
