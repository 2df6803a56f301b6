// The queue's store and the runner's judgement of failures, without a server: which state a
// change may leave, order and due times, a finish that never overrides a person's pause, a
// queue of a newer version refused, and which failure sentences are worth another try.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>

#include "queue/entry_job.h"
#include "queue/held_entries.h"
#include "queue/queue_path.h"
#include "queue/queue_runner.h"
#include "queue/queue_store.h"

namespace {

using namespace zenvira::queue;

struct StoreFixture : ::testing::Test {
    QTemporaryDir home;
    std::string path = home.filePath("q/queue.sqlite").toStdString();
    std::unique_ptr<QueueStore> store = QueueStore::open(path).store;
};

TEST_F(StoreFixture, ChangesMoveOnlyFromTheStatesTheyAreFor) {
    ASSERT_TRUE(store);
    const EntryId a = store->add("http://x/a"), b = store->add("http://x/b"), c = store->add("http://x/c");
    const auto claimed = store->claimNext(nowMs());
    ASSERT_TRUE(claimed);
    EXPECT_EQ(claimed->id, a) << "the first in order runs first";
    ASSERT_TRUE(store->finish(a, EntryState::Failed, "HTTP 404 Not Found"));

    struct Case {
        const char* what;
        int (QueueStore::*change)(const std::vector<EntryId>&);
        std::vector<EntryId> ids;
        int changed;
        std::vector<EntryState> after;  // a, b, c
    };
    const std::vector<Case> cases = {
        {"pause leaves a failed one", &QueueStore::pause, {a, b}, 1, {EntryState::Failed, EntryState::Paused, EntryState::Waiting}},
        {"resume leaves a failed one", &QueueStore::resume, {a, b}, 1, {EntryState::Failed, EntryState::Waiting, EntryState::Waiting}},
        {"retry takes only the failed", &QueueStore::retry, {a, b, c}, 1, {EntryState::Waiting, EntryState::Waiting, EntryState::Waiting}},
        {"an unknown id changes nothing", &QueueStore::pause, {999}, 0, {EntryState::Waiting, EntryState::Waiting, EntryState::Waiting}},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(((*store).*test.change)(test.ids), test.changed) << test.what;
        const auto entries = store->list();
        ASSERT_EQ(entries.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(entries[k].state, test.after[k]) << test.what << " entry " << k;
    }

    // A paused running entry stays paused when its job ends, as failed or stopped.
    const auto running = store->claimNext(nowMs());
    ASSERT_TRUE(running);
    store->pause({running->id});
    store->finish(running->id, EntryState::Failed, "Stopped");
    store->requeue(running->id, "");
    EXPECT_EQ(store->entry(running->id)->state, EntryState::Paused);
    // ... but a file that was saved meanwhile is saved.
    store->finish(running->id, EntryState::Saved, "", "/tmp/x.mp4");
    EXPECT_EQ(store->entry(running->id)->state, EntryState::Saved);

    // Moving changes the order the runner takes them in.
    ASSERT_TRUE(store->move(c, -5));
    EXPECT_EQ(store->list().front().id, c);
    EXPECT_EQ(store->claimNext(nowMs())->id, c);
}

TEST_F(StoreFixture, ARetryWaitsForItsTimeAndARunnerThatDiedLeavesItsEntriesWaiting) {
    ASSERT_TRUE(store);
    const EntryId a = store->add("http://x/a");
    store->add("http://x/b");
    ASSERT_EQ(store->claimNext(nowMs())->id, a);
    ASSERT_TRUE(store->requeue(a, "HTTP 503", nowMs() + 60'000));
    EXPECT_EQ(store->entry(a)->attempts, 1);
    const auto next = store->claimNext(nowMs());
    ASSERT_TRUE(next);
    EXPECT_NE(next->id, a) << "an entry waiting for its retry is passed over";
    EXPECT_FALSE(store->claimNext(nowMs())) << "nothing else is due";
    EXPECT_TRUE(store->nextDue()) << "but something still waits";

    EXPECT_EQ(store->requeueRunning(), 1);
    EXPECT_EQ(store->entry(next->id)->state, EntryState::Waiting);
}

TEST_F(StoreFixture, SelectedEntriesMoveTogetherAndKeepTheirOrder) {
    ASSERT_TRUE(store);
    std::vector<EntryId> id;  // a b c d e
    for (const char* name : {"a", "b", "c", "d", "e"}) id.push_back(store->add(std::string("http://x/") + name));
    struct Case {
        std::vector<std::size_t> moved;
        int steps;
        std::string after;
    };
    const std::vector<Case> cases = {
        {{1, 3}, -1, "badce"},  // each one place up
        {{0, 1}, -1, "abcde"},  // at the top already: they stay
        {{0, 2}, -1, "acbde"},  // the top one stays, the other goes past its neighbour
        {{3, 4}, 1, "abcde"},  // at the bottom already
        {{1, 2}, 2, "adebc"},  // two places down, together
        {{4}, -9, "eabcd"},  // far past the top stops there
    };
    for (const auto& test : cases) {
        // From a b c d e each time.
        for (std::size_t k = 0; k < id.size(); ++k) ASSERT_TRUE(store->move(id[k], 99));
        std::vector<EntryId> moved;
        for (const auto k : test.moved) moved.push_back(id[k]);
        ASSERT_TRUE(store->move(moved, test.steps));
        std::string order;
        for (const auto& entry : store->list()) order += entry.address.back();
        EXPECT_EQ(order, test.after) << "steps " << test.steps;
    }
    EXPECT_FALSE(store->move(std::vector<EntryId>{999}, 1));
}

TEST_F(StoreFixture, EntriesHeldElsewhereInTheProcessArePassedOverByTheRunner) {
    ASSERT_TRUE(store);
    const EntryId held = store->add("http://x/held"), free = store->add("http://x/free");
    ASSERT_TRUE(store->claim(held));
    EXPECT_FALSE(store->claim(held)) << "a running entry is fetched by someone already";
    EXPECT_EQ(store->requeueRunning({held}), 0) << "a batch's running row is no runner's leftover";
    EXPECT_EQ(store->claimNext(nowMs(), {free}), std::nullopt);
    EXPECT_EQ(store->nextDue({free}), std::nullopt) << "nothing the runner may take waits";
    EXPECT_EQ(store->claimNext(nowMs(), {held})->id, free);

    // The runner of the same queue leaves a held entry waiting, and ends when only that is left.
    store->finish(free, EntryState::Saved, "", "/tmp/free.mp4");
    store->requeue(held, "");
    holdEntries(path, {held});
    const auto summary = QueueRunner(path, {}).run();
    releaseEntries(path, {held});
    EXPECT_TRUE(summary.ran) << summary.error;
    EXPECT_EQ(store->entry(held)->state, EntryState::Waiting);
    EXPECT_TRUE(heldEntries(path).empty());
}

TEST_F(StoreFixture, AQueueOfANewerVersionIsRefusedUntouched) {
    ASSERT_TRUE(store);
    store->add("http://x/a");
    store.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=7", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const auto opened = QueueStore::open(path);
    EXPECT_FALSE(opened.store);
    EXPECT_NE(opened.error.find("newer Zenvira"), std::string::npos) << opened.error;
}

TEST(QueuePath, TheOptionThenTheEnvironmentThenTheUsersDataFolder) {
    EXPECT_EQ(defaultQueuePath("/tmp/mine.sqlite"), "/tmp/mine.sqlite");
    setenv("ZENVIRA_QUEUE", "/tmp/env.sqlite", 1);
    EXPECT_EQ(defaultQueuePath(), "/tmp/env.sqlite");
    unsetenv("ZENVIRA_QUEUE");
    setenv("XDG_DATA_HOME", "/tmp/data", 1);
    EXPECT_EQ(defaultQueuePath(), "/tmp/data/zenvira/queue.sqlite");
    setenv("XDG_DATA_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(defaultQueuePath(), "/home/someone/.local/share/zenvira/queue.sqlite") << "a relative one is ignored";
}

TEST(FailureWorthRetrying, NetworkAndBusyServersYesMissingAndLocalNo) {
    using zenvira::components::FailureCause;
    using zenvira::components::FailureKind;
    const FailureCause network{FailureKind::Network}, disk{FailureKind::Disk};
    struct Case {
        const char* sentence;  // what a person reads beside the kind
        FailureCause cause;
        bool retry;
    };
    const std::vector<Case> cases = {
        {"HTTP 404 Not Found", FailureCause::ofStatus(404), false},
        {"HTTP 403 Forbidden", FailureCause::ofStatus(403), false},
        {"HTTP 503 Service Unavailable", FailureCause::ofStatus(503), true},
        {"The server is busy: HTTP 429 Too Many Requests (gave up after 5 retries)", FailureCause::ofStatus(429), true},
        {"HTTP 408 Request Timeout", FailureCause::ofStatus(408), true},
        {"The connection to v1.example.com timed out", network, true},
        {"The server closed the connection before the whole file came", network, true},
        {"Could not connect to 127.0.0.1: connection refused", network, true},
        {"The connection to example.com broke off: reset", network, true},
        {"Cannot create the file /x/y.mp4: No such file or directory", disk, false},
        {"No space left on the disk", disk, false},
        {"The file is a web page, not the video", {FailureKind::Content}, false},
        {"A certificate that is not trusted", {FailureKind::Unknown}, false},
        {"The file /x/y.mp4 is already being downloaded", {FailureKind::TargetBusy}, true},
        {"A sentence that says HTTP 503 but is of no known kind", {}, false},
    };
    for (const auto& test : cases) EXPECT_EQ(worthRetrying(test.cause), test.retry) << test.sentence;
}

}  // namespace
