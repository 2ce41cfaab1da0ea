#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/regutil/ProgramKey.h"
#include "core/feedcontent/CGenerateDBInfo.h"
#include "core/feedcontent/StandardFeeds.h"
#include "components/common/feeddb/tests/RawQuery.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

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

    plat::TemporaryRegistry registry;   // no FeedHost unless a test sets one
    plat::TempFolder dir;
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
    std::string path = dir / CRSSDBMgr::FileName;
};

void set_feed_host(const std::u16string& host)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, u"FeedHost", 0, REG_SZ, reinterpret_cast<const BYTE*>(host.c_str()),
                   static_cast<DWORD>((host.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

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
        channels.push_back(std::to_string(id++) + " YouTube Video | " + feed.title + " | " + standard_feed_url(feed, default_feed_host));
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
        db.GetChannelByFeedUrl(standard_feed_url(standard_feeds()[0], default_feed_host), &list);
        RSSData::tRSSChannel moved = list.front();
        moved.set_folder_id(7);
        ASSERT_EQ(db.UpdateChannel(moved), 0);
        ASSERT_EQ(db.DeleteChannel(3), 0);
        ASSERT_EQ(db.MarkChannelDeleted(4), 0);
    }
    ASSERT_EQ(generate(), 0);
    const auto channels = column(channel_rows);
    ASSERT_EQ(channels.size(), 10u);
    EXPECT_EQ(channels[1], "2 My Subscriptions | popular | " + standard_feed_url(standard_feeds()[0], default_feed_host));
    EXPECT_EQ(channels[8], "10 YouTube Video | popular | " + standard_feed_url(standard_feeds()[0], default_feed_host));
    EXPECT_EQ(channels[9], "11 YouTube Video | Most Viewed | " + standard_feed_url(standard_feeds()[1], default_feed_host));
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

// The standard channels follow the user's feed host; a host that changes
// moves them (items and all) rather than adding a second set.
TEST_F(DefaultContent, StandardChannelsFollowTheFeedHostWithoutTwins)
{
    set_feed_host(u"127.0.0.1:8080");
    ASSERT_EQ(generate(), 0);
    EXPECT_EQ(column("SELECT feed_url FROM rsschannel WHERE id = 3"),
              std::vector<std::string>{"http://127.0.0.1:8080/feeds/base/standardfeeds/most_viewed"
                                       "?client=ytapi-youtube-browse&alt=rss&time=today"});
    {
        CRSSDBMgr db;
        ASSERT_EQ(db.Open(path.c_str()), 0);
        RSSData::tRSSItem item;
        item.folder_id = 6;
        item.channel_id = 3;
        item.title = "kept";
        ASSERT_EQ(db.InsertItem(&item), 0);
    }
    const auto before = column(channel_rows);

    set_feed_host(u"feeds.example.net");
    ASSERT_EQ(generate(), 0);
    std::vector<std::string> expected = {before[0]};
    int id = 2;
    for (const StandardFeed& feed : standard_feeds())
        expected.push_back(std::to_string(id++) + " YouTube Video | " + feed.title + " | " +
                           standard_feed_url(feed, "feeds.example.net"));
    EXPECT_EQ(column(channel_rows), expected);
    EXPECT_EQ(column("SELECT channel_id FROM rssitem"), std::vector<std::string>{"3"});
    ASSERT_EQ(generate(), 0);
    EXPECT_EQ(column(channel_rows), expected);
}
