#include "platform/base/DebugLog.h"
#include "platform/sync/NamedMutex.h"
#include "FeedDbFixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

using namespace feeddb_test;

// Threads insert on the one shared connection; each id read back must be the
// row that thread wrote.
TEST_F(FeedDb, ConcurrentInsertsNeverSwapRowIds)
{
    constexpr int threads = 8;
    constexpr int per_thread = 40;
    std::atomic<int> wrong{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) {
                RSSData::tRSSItem item = item_record(channel, std::to_string(t) + "/" + std::to_string(i));
                if (db.InsertItem(&item) != 0) {
                    ++wrong;
                    continue;
                }
                if (read_item(item.id).title != item.title)
                    ++wrong;
            }
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(rows("rssitem"), threads * per_thread);
}

TEST_F(FeedDb, TwoProcessesWritingInTransactionsLoseNothing)
{
    ASSERT_EQ(db.Close(), 0);
    constexpr int batches = 20;
    constexpr int batch_size = 50;
    const auto write_batches = [&](const std::string& who) {
        CRSSDBMgr writer;
        int failures = 0;
        if (writer.Open(path.c_str()) != 0)
            return 1;
        for (int b = 0; b < batches; ++b) {
            failures += writer.BeginTransaction() != 0;
            for (int i = 0; i < batch_size; ++i) {
                RSSData::tRSSItem item = item_record(channel, who + std::to_string(b * batch_size + i));
                failures += writer.InsertItem(&item) != 0;
            }
            failures += writer.CommitTransaction() != 0;
        }
        return failures;
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(write_batches("child") == 0 ? 0 : 1);
    EXPECT_EQ(write_batches("parent"), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(rows("rssitem"), 2 * batches * batch_size);
}

// Whoever takes the named mutex next must find the transaction written: the
// journal of an unfinished commit is gone by then.
TEST_F(FeedDb, NamedMutexIsReleasedOnlyAfterTheCommit)
{
    // A reader holds its lock for a while, so the commit has to wait for it.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM rssitem;", nullptr, nullptr, nullptr), SQLITE_OK);

    ASSERT_EQ(db.BeginTransaction(), 0);
    add_item(channel, "in transaction");
    std::promise<bool> journal_left;
    std::thread next_owner([&] {
        auto mutex = plat::NamedMutex::open(CRSSDBMgr::MutexName);
        mutex->wait();
        journal_left.set_value(std::filesystem::exists(path + "-journal"));
        mutex->release();
    });
    std::thread release_reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(reader, "COMMIT;", nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(db.CommitTransaction(), 0);
    EXPECT_FALSE(journal_left.get_future().get());
    next_owner.join();
    release_reader.join();
    sqlite3_close(reader);
    EXPECT_EQ(rows("rssitem"), 1);
}

TEST_F(FeedDb, TransactionsNestAndBelongToTheirThread)
{
    EXPECT_EQ(db.CommitTransaction(), SQLITE_MISUSE);
    ASSERT_EQ(db.BeginTransaction(), 0);
    add_item(channel, "outer");
    ASSERT_EQ(db.SetItemStatus(0, 5), 0);   // takes a transaction of its own inside ours
    std::async(std::launch::async, [&] { EXPECT_EQ(db.CommitTransaction(), SQLITE_MISUSE); }).get();
    EXPECT_EQ(rows("rssitem"), 0);   // nothing written before the outer commit
    ASSERT_EQ(db.CommitTransaction(), 0);
    EXPECT_EQ(rows("rssitem"), 1);
    EXPECT_EQ(read_item(1).status(), 5);
}

// Another process reads while a transaction commits: the commit waits for it,
// however long, as long as tries remain, and nothing written is thrown away.
TEST_F(FeedDb, CommitOutlastsAReaderInAnotherProcess)
{
    int to_child[2], to_parent[2];
    ASSERT_EQ(pipe(to_child), 0);
    ASSERT_EQ(pipe(to_parent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds a read transaction until the parent says when to end it.
        sqlite3* reader = nullptr;
        char go = 0;
        const bool reading = sqlite3_open(path.c_str(), &reader) == SQLITE_OK &&
                             sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM rssitem;", nullptr, nullptr, nullptr) ==
                                 SQLITE_OK;
        const char state = reading ? 'r' : 'x';
        const bool told = write(to_parent[1], &state, 1) == 1 && read(to_child[0], &go, 1) == 1;
        const bool ended = sqlite3_exec(reader, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(reader);
        _exit(reading && told && ended ? 0 : 1);
    }
    char state = 0;
    ASSERT_EQ(read(to_parent[0], &state, 1), 1);
    ASSERT_EQ(state, 'r');

    plat::DebugCapture log;
    db.SetBusyTimeout(100);   // one try gives up quickly
    auto commit = std::async(std::launch::async, [&] {
        const int begun = db.BeginTransaction();
        for (int i = 0; i < 20; ++i)
            add_item(channel, "kept" + std::to_string(i));
        return begun != 0 ? begun : db.CommitTransaction();
    });
    // The first try has met the reader's lock; the reader goes while the next waits.
    EXPECT_TRUE(log.wait_for("commit busy", std::chrono::seconds(30)));
    const char go = 'g';
    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    EXPECT_EQ(commit.get(), 0);

    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {to_child[0], to_child[1], to_parent[0], to_parent[1]})
        close(fd);
    EXPECT_EQ(rows("rssitem"), 20);
}
