#include "components/common/feeddb/CppSQLite3Exception.h"
#include "core/feedcontent/CGenerateDBInfo.h"
#include "core/feedcontent/StandardFeeds.h"
#include "components/common/feeddb/tests/RawQuery.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class DefaultContent : public ::testing::Test {
protected:
    int generate()
    {
        CGenerateDBInfo info;
        return info.Generate(path.c_str());
    }

    std::vector<std::string> column(const std::string& sql) const { return feeddb_test::query_column(path, sql); }

    plat::TempFolder dir;
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
    std::string path = dir / CRSSDBMgr::FileName;
};

const char* folder_rows = "SELECT id || ' ' || type || ' ' || quote(parent_folder_id) || ' ' || is_predefine || ' ' || name "
                          "FROM rssfolder ORDER BY id";
const char* channel_rows =
    "SELECT c.id || ' ' || f.name || ' | ' || c.rss_channel_title || ' | ' || c.feed_url FROM rsschannel c "
    "JOIN rssfolder f ON f.id = c.folder_id ORDER BY c.id";

}

TEST_F(DefaultContent, EmptyFileGetsTheSevenFoldersAndNineChannels)
{
    ASSERT_EQ(generate(), 0);
    EXPECT_EQ(column(folder_rows), (std::vector<std::string>{
                                       "1 1 NULL 1 TEMP FOLDER",
                                       "2 1 NULL 1 Recent Viewed",
                                       "3 1 NULL 1 Downloaded Video",
                                       "4 1 NULL 1 My Favorites",
                                       "5 1 NULL 1 Search Result",
                                       "6 1 NULL 1 YouTube Video",
                                       "7 1 NULL 1 My Subscriptions",
                                   }));
    std::vector<std::string> channels = {"1 TEMP FOLDER | Default | TempChannel"};
    int id = 2;
    for (const StandardFeed& feed : standard_feeds())
        channels.push_back(std::to_string(id++) + " YouTube Video | " + feed.title + " | " + standard_feed_url(feed));
    EXPECT_EQ(column(channel_rows), channels);
    EXPECT_EQ(channels[2], "3 YouTube Video | Most Viewed | http://feeds.vazirezo.invalid/feeds/base/standardfeeds/most_viewed"
                           "?client=ytapi-youtube-browse&alt=rss&time=today");
    // The values every predefined channel is stored with.
    EXPECT_EQ(column("SELECT DISTINCT type || last_update_time || can_auto_update || can_prefetch || is_predefine || "
                     "disabled || mark_delete || ' ' || item_capability || '[' || rss_channel_link || "
                     "rss_channel_description || ']' FROM rsschannel"),
              std::vector<std::string>{"2010100 200[]"});
}

TEST_F(DefaultContent, SecondRunInsertsNothing)
{
    ASSERT_EQ(generate(), 0);
    const auto folders = column(folder_rows);
    const auto channels = column(channel_rows);
    ASSERT_EQ(generate(), 0);
    EXPECT_EQ(column(folder_rows), folders);
    EXPECT_EQ(column(channel_rows), channels);
}

TEST_F(DefaultContent, UserChangesAreRespectedAndMissingDefaultsReturn)
{
    ASSERT_EQ(generate(), 0);
    {
        CRSSDBMgr db;
        ASSERT_EQ(db.Open(path.c_str()), 0);
        // A standard feed moved to the user's own folder, one deleted, one marked deleted.
        std::list<RSSData::tRSSChannel> list;
        db.GetChannelByFeedUrl(standard_feed_url(standard_feeds()[0]), &list);
        RSSData::tRSSChannel moved = list.front();
        moved.set_folder_id(7);
        ASSERT_EQ(db.UpdateChannel(moved), 0);
        ASSERT_EQ(db.DeleteChannel(3), 0);
        ASSERT_EQ(db.MarkChannelDeleted(4), 0);
    }
    ASSERT_EQ(generate(), 0);
    const auto channels = column(channel_rows);
    ASSERT_EQ(channels.size(), 10u);
    EXPECT_EQ(channels[1], "2 My Subscriptions | popular | " + standard_feed_url(standard_feeds()[0]));
    EXPECT_EQ(channels[8], "10 YouTube Video | popular | " + standard_feed_url(standard_feeds()[0]));
    EXPECT_EQ(channels[9], "11 YouTube Video | Most Viewed | " + standard_feed_url(standard_feeds()[1]));
    EXPECT_EQ(column("SELECT mark_delete FROM rsschannel WHERE id = 4"), std::vector<std::string>{"1"});
    EXPECT_EQ(column("SELECT count(*) FROM rssfolder"), std::vector<std::string>{"7"});
}

TEST_F(DefaultContent, UserFolderWithAPredefinedNameDoesNotCount)
{
    {
        CRSSDBMgr db;
        ASSERT_EQ(db.Open(path.c_str()), 0);
        RSSFolderRecord mine;
        mine.name = "My Favorites";
        ASSERT_EQ(db.InsertFolder(&mine), 0);
    }
    ASSERT_EQ(generate(), 0);
    EXPECT_EQ(column("SELECT id || ' ' || is_predefine FROM rssfolder WHERE name = 'My Favorites' ORDER BY id"),
              (std::vector<std::string>{"1 0", "5 1"}));
}

TEST_F(DefaultContent, FileThatIsNotADatabaseRaisesAndStaysAsItWas)
{
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(3000, 'z');
    }
    EXPECT_THROW(generate(), CppSQLite3Exception);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), std::string(3000, 'z'));
}
