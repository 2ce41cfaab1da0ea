#include "components/common/feeddb/CppSQLite3Exception.h"
#include "platform/base/DebugLog.h"
#include "FeedDbFixture.h"
#include "TestVfs.h"
#include "RawQuery.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <fstream>
#include <sstream>

using namespace feeddb_test;

namespace {

// Every row of every table, and the schema, as text.
std::vector<std::string> snapshot(const std::string& path)
{
    std::vector<std::string> all = query_column(path, "SELECT type || ' ' || name || ' ' || coalesce(sql, '') FROM sqlite_master");
    for (const char* table : {"rssfolder", "rsschannel", "rssitem", "itemdownloadinfo", "itemsyncinfo", "sqlite_sequence"})
        for (const std::string& row : query_column(path, std::string("SELECT quote(id) FROM ") + table))
            all.push_back(std::string(table) + ":" + row);
    return all;
}

std::string file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

}

TEST_F(FeedDb, NewFileHasTheFiveTablesAndTheGeneratedTriggers)
{
    EXPECT_EQ(query_column(path, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name"),
              (std::vector<std::string>{"itemdownloadinfo", "itemsyncinfo", "rsschannel", "rssfolder", "rssitem"}));
    const auto triggers = query_column(path, "SELECT name FROM sqlite_master WHERE type='trigger'");
    EXPECT_EQ(triggers.size(), 28u);   // four for each of the seven references
    for (const std::string& name : triggers)
        EXPECT_EQ(name.rfind("genfkey", 0), 0u) << name;
    // Besides the primary keys, only the index the channel pages read through.
    EXPECT_EQ(query_column(path, "SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
              std::vector<std::string>{"rssitem_channel_page"});
}

// A file written before the index existed gains it, and every order of a
// channel's page walks it instead of sorting the channel.
TEST_F(FeedDb, OlderFileGainsThePageIndexThatPagesUse)
{
    ASSERT_EQ(db.Close(), 0);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, "DROP INDEX rssitem_channel_page;", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    ASSERT_EQ(db.Open(path.c_str()), 0);
    for (const char* order : {"ASC", "DESC"}) {
        SCOPED_TRACE(order);
        const std::string plan = "EXPLAIN QUERY PLAN SELECT * FROM rssitem WHERE channel_id = 1 and mark_delete = 0 "
                                 "ORDER BY create_time " + std::string(order) + " LIMIT 100,25;";
        std::string steps;
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(raw, plan.c_str(), -1, &statement, nullptr), SQLITE_OK);
        while (sqlite3_step(statement) == SQLITE_ROW)
            steps += reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)) + std::string("; ");
        sqlite3_finalize(statement);
        sqlite3_close(raw);
        EXPECT_NE(steps.find("USING INDEX rssitem_channel_page"), std::string::npos) << steps;
        EXPECT_EQ(steps.find("TEMP B-TREE"), std::string::npos) << steps;
    }
}

// Two programs opening a new file at once: the second finds the triggers the
// first is writing only once that is committed, and must then leave them be
// instead of failing to create them again.
TEST_F(FeedDb, SecondOpenerWaitsForTheTriggersTheFirstIsWriting)
{
    ASSERT_EQ(db.Close(), 0);
    const std::vector<std::string> scripts = query_column(path, "SELECT sql FROM sqlite_master WHERE type='trigger'");
    sqlite3* first = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &first), SQLITE_OK);
    for (const std::string& name : query_column(path, "SELECT name FROM sqlite_master WHERE type='trigger'"))
        ASSERT_EQ(sqlite3_exec(first, ("DROP TRIGGER " + name).c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(query_column(path, "SELECT count(*) FROM sqlite_master WHERE type='trigger'"), std::vector<std::string>{"0"});

    TestVfs layer;   // lets the test see the second opener wait
    // As the program's own connections do, the first waits out a reader's
    // passing lock instead of failing its commit at once.
    sqlite3_busy_timeout(first, 30000);
    // The first opener is halfway: its triggers are written, not committed.
    ASSERT_EQ(sqlite3_exec(first, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
    for (const std::string& script : scripts)
        ASSERT_EQ(sqlite3_exec(first, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    auto second = std::async(std::launch::async, [&] {
        CRSSDBMgr opener;
        plat::DebugCapture capture;
        const int rc = opener.Open(path.c_str());
        return rc == 0 && !capture.contains("triggers not made");
    });
    ASSERT_TRUE(layer.wait_for_busy_wait(std::chrono::seconds(30)));
    ASSERT_EQ(sqlite3_exec(first, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(first);
    EXPECT_TRUE(second.get());
    EXPECT_EQ(query_column(path, "SELECT count(*) FROM sqlite_master WHERE type='trigger'"), std::vector<std::string>{"28"});
}

TEST_F(FeedDb, SecondOpenCreatesNothingAndChangesNoRow)
{
    add_item(channel, "kept");
    ASSERT_EQ(db.Close(), 0);
    const auto before = snapshot(path);
    CRSSDBMgr again;
    EXPECT_EQ(again.Open(path.c_str()), 0);
    EXPECT_EQ(snapshot(path), before);
    EXPECT_EQ(db.Close(), 1);   // nothing open any more
}

TEST_F(FeedDb, DroppedTableComesBackAndTheOthersKeepTheirRows)
{
    const std::int64_t item = add_item(channel, "kept");
    ASSERT_EQ(db.InsertItemDownloadInfo({item, 4, 1, 50, 1000}), 0);
    ASSERT_EQ(db.Close(), 0);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE itemdownloadinfo;", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    ASSERT_EQ(db.Open(path.c_str()), 0);
    EXPECT_EQ(rows("itemdownloadinfo"), 0);
    EXPECT_EQ(rows("rssitem"), 1);
    EXPECT_EQ(rows("rsschannel"), 1);
    EXPECT_EQ(rows("rssfolder"), 1);
    // The table that came back is guarded again.
    EXPECT_EQ(db.InsertItemDownloadInfo({item + 100, 4, 1, 0, 0}), SQLITE_CONSTRAINT);
    EXPECT_EQ(db.InsertItemDownloadInfo({item, 4, 1, 0, 0}), 0);
    EXPECT_EQ(query_column(path, "SELECT count(*) FROM sqlite_master WHERE type='trigger'"), std::vector<std::string>{"28"});
}

TEST_F(FeedDb, TriggersRefuseBrokenReferences)
{
    const std::int64_t item = add_item(channel, "a");

    RSSData::tRSSItem orphan = item_record(0, "no channel");
    EXPECT_EQ(db.InsertItem(&orphan), SQLITE_CONSTRAINT);
    orphan.channel_id = channel + 100;
    EXPECT_EQ(db.InsertItem(&orphan), SQLITE_CONSTRAINT);
    EXPECT_EQ(rows("rssitem"), 1);

    {
        plat::DebugCapture capture;
        EXPECT_EQ(db.DeleteChannel(channel), SQLITE_CONSTRAINT);
        EXPECT_TRUE(capture.contains("constraint failed"));
    }
    EXPECT_EQ(rows("rsschannel"), 1);

    // An item with a download row goes only after that row.
    ASSERT_EQ(db.InsertItemDownloadInfo({item, 4, 1, 10, 100}), 0);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        sqlite3_busy_timeout(raw, 60000);
        EXPECT_EQ(sqlite3_exec(raw, "DELETE FROM rssitem;", nullptr, nullptr, nullptr), SQLITE_CONSTRAINT);
        EXPECT_STREQ(sqlite3_errmsg(raw), "constraint failed");
        sqlite3_close(raw);
    }
    EXPECT_EQ(db.DeleteItem(item), 0);
    EXPECT_EQ(rows("rssitem"), 0);
    EXPECT_EQ(rows("itemdownloadinfo"), 0);
    EXPECT_EQ(db.DeleteChannel(channel), 0);
}

TEST(FeedDbFile, FileThatIsNotADatabaseIsRefusedAndLeftAlone)
{
    plat::TempFolder dir;
    const std::string path = dir / "Rss.db";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 200; ++i)
            out << "these are the user's notes, not a database\n";
    }
    const std::string before = file_bytes(path);
    CRSSDBMgr db;
    try {
        db.Open(path.c_str());
        FAIL() << "no exception";
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.errorCode(), SQLITE_NOTADB);
        EXPECT_NE(std::string(e.errorMessage()).find("file is not a database"), std::string::npos) << e.errorMessage();
    }
    EXPECT_EQ(db.Close(), 1);
    EXPECT_EQ(file_bytes(path), before);
}

// A read-only file is read, and every write is refused with SQLITE_READONLY.
// Root writes whatever the mode says, so the check runs as nobody in a child.
TEST_F(FeedDb, ReadOnlyFileIsReadAndEveryWriteIsRefused)
{
    add_item(channel, "kept");
    ASSERT_EQ(db.Close(), 0);
    const auto before = snapshot(path);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        CRSSDBMgr reader;
        RecordingListener listener;
        reader.AddListener(&listener);
        if (reader.Open(path.c_str()) != 0)
            _exit(11);
        std::list<RSSData::tRSSItem> items;
        if (reader.GetItems(0, &items) != 0 || items.size() != 1)
            _exit(12);
        RSSFolderRecord folder_record;
        folder_record.name = "new";
        if (reader.InsertFolder(&folder_record) != SQLITE_READONLY || folder_record.id != 0)
            _exit(13);
        if (listener.notices().back() != Notice{false, 0, 1, 0, SQLITE_READONLY})
            _exit(14);
        if (reader.DeleteItem(items.front().id) != SQLITE_READONLY)
            _exit(15);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(snapshot(path), before);
}

TEST_F(FeedDb, FullDiskGivesSQLiteFullAndLosesNothingStored)
{
    using Full = TestVfs::Full;
    add_item(channel, "stored");
    RecordingListener listener;
    db.AddListener(&listener);
    {
        TestVfs disk;   // the default file layer of every connection opened from here on
        ASSERT_EQ(db.Close(), 0);
        ASSERT_EQ(db.Open(path.c_str()), 0);

        disk.set_full(Full::Everything);
        RSSData::tRSSItem lost = item_record(channel, "lost");
        EXPECT_EQ(db.InsertItem(&lost), SQLITE_FULL);
        EXPECT_EQ(lost.id, 0);
        EXPECT_EQ(listener.notices().back(), (Notice{false, 0, 3, 0, SQLITE_FULL}));

        // The journal takes the batch; writing the database file at commit fails.
        disk.set_full(Full::DatabaseFileOnly);
        ASSERT_EQ(db.BeginTransaction(), 0);
        for (int i = 0; i < 50; ++i) {
            RSSData::tRSSItem batch = item_record(channel, "batch" + std::to_string(i));
            EXPECT_EQ(db.InsertItem(&batch), 0);
        }
        listener.clear();
        EXPECT_EQ(db.CommitTransaction(), SQLITE_FULL);
        // Each insert was told it was made; now each is told it was not.
        const std::vector<Notice> told = listener.notices();
        ASSERT_EQ(told.size(), 50u);
        for (const Notice& notice : told) {
            EXPECT_EQ(notice.action, 0);
            EXPECT_EQ(notice.kind, 3);
            EXPECT_GT(notice.id, 0);
            EXPECT_EQ(notice.value, SQLITE_FULL);
        }

        disk.set_full(Full::No);
        // The connection is usable again, outside any transaction.
        EXPECT_GT(add_item(channel, "after"), 0);
        ASSERT_EQ(db.Close(), 0);
    }
    ASSERT_EQ(db.Open(path.c_str()), 0);
    std::list<RSSData::tRSSItem> items;
    ASSERT_EQ(db.GetChannelItems(channel, &items), 0);
    std::vector<std::string> titles;
    for (const auto& item : items)
        titles.push_back(item.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"stored", "after"}));
    db.RemoveListener(&listener);
}

TEST(FeedDbFile, MissingFolderFailsToOpenWithAClearError)
{
    plat::TempFolder dir;
    CRSSDBMgr db;
    EXPECT_THROW(db.Open((dir / "no/such/folder/Rss.db").c_str()), CppSQLite3Exception);
    EXPECT_EQ(db.Close(), 1);
    RSSFolderRecord record;
    EXPECT_EQ(db.InsertFolder(&record), CppSQLite3Exception::CPPSQLITE_ERROR);
}
