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
