#include "browserext/SubscriptionStore.h"
#include "components/common/feeddb/FeedDatabasePath.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include "RawQuery.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <vector>

namespace {

using feeddb_test::query_column;

// A user whose data folder does not exist yet.
class FreshHome : public ::testing::Test {
protected:
    std::string database_path() const { return feeddb::feed_database_path().value_or(""); }

    plat::TempFolder dir;
    plat::ScopedEnvironment data{"XDG_DATA_HOME", (dir.path() + "/data").c_str()};
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
};

std::int64_t add_channel(CRSSDBMgr& db, std::int64_t folder, const std::string& url)
{
    RSSData::tRSSChannel record;
    record.set_folder_id(folder);
    record.feed_url = url;
    EXPECT_EQ(db.InsertChannel(&record), 0);
    return record.id;
}

TEST_F(FreshHome, FirstUseMakesFoldersTablesAndTriggersAndASecondOpenChangesNothing)
{
    const std::string path = database_path();
    ASSERT_EQ(path, dir.path() + "/data/Corvalen/Strimo/Rss.db");
    {
        SubscriptionStore store(path);
        ASSERT_NE(store.database(), nullptr);
    }
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(query_column(path, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name"),
              (std::vector<std::string>{"itemdownloadinfo", "itemsyncinfo", "rsschannel", "rssfolder", "rssitem"}));
    EXPECT_NE(query_column(path, "SELECT count(*) FROM sqlite_master WHERE type='trigger' AND name LIKE 'genfkey%'"),
              std::vector<std::string>{"0"});
    // The extension makes no folder: subscribing waits for the main program's.
    EXPECT_EQ(query_column(path, "SELECT count(*) FROM rssfolder"), std::vector<std::string>{"0"});

    const auto schema = query_column(path, "SELECT name || sql FROM sqlite_master ORDER BY name");
    SubscriptionStore again(path);
    ASSERT_NE(again.database(), nullptr);
    EXPECT_EQ(query_column(path, "SELECT name || sql FROM sqlite_master ORDER BY name"), schema);
}

TEST_F(FreshHome, ChannelsRoundTripByFeedUrlWithQuotesAndRefusalsComeBack)
{
    SubscriptionStore store(database_path());
    CRSSDBMgr& db = *store.database();
    RSSFolderRecord folder;
    folder.name = "My Subscriptions";
    ASSERT_EQ(db.InsertFolder(&folder), 0);

    const std::string quoted = "http://gdata.example/feeds/base/users/o'brien/uploads?alt=rss";
    const std::int64_t id = add_channel(db, folder.id, quoted);
    std::list<RSSData::tRSSChannel> found;
    ASSERT_EQ(db.GetChannelByFeedUrl(quoted, &found), 0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().id, id);
    EXPECT_EQ(db.GetChannelByFeedUrl("http://gdata.example/' OR '1'='1", &found), 1);
    EXPECT_EQ(db.InsertChannel(nullptr), 1);

    // The triggers refuse a channel in no folder and the delete of a channel that has items.
    RSSData::tRSSChannel orphan;
    orphan.set_folder_id(folder.id + 100);
    orphan.feed_url = "http://gdata.example/orphan";
    EXPECT_EQ(db.InsertChannel(&orphan), SQLITE_CONSTRAINT);
    RSSData::tRSSItem item;
    item.folder_id = folder.id;
    item.channel_id = id;
    item.title = "video";
    ASSERT_EQ(db.InsertItem(&item), 0);
    EXPECT_EQ(db.DeleteChannel(id), SQLITE_CONSTRAINT);
    EXPECT_EQ(db.GetChannelByFeedUrl(quoted, &found), 0);
}

TEST_F(FreshHome, AFileThatIsNoDatabaseLeavesTheStoreUnusableAndWhole)
{
    const std::string path = database_path();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string garbage(4096, 'x');
    std::ofstream(path, std::ios::binary) << garbage;

    SubscriptionStore store(path);
    EXPECT_EQ(store.database(), nullptr);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);
}

TEST(SubscriptionStore, NoDataFolderLeavesItUnusable)
{
    SubscriptionStore store(std::nullopt);
    EXPECT_EQ(store.database(), nullptr);
}

}
