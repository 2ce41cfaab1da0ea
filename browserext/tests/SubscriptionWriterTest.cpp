#include "browserext/SubscriptionWriter.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "core/notifier/CFeedNotifier.h"
#include "platform/com/Com.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include "FeedDbFixture.h"
#include "RunningProgram.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <list>
#include <optional>
#include <vector>

namespace {

using browserext::SubscriptionWriter;

const std::string feed = "http://feeds.example/feeds/base/users/o'neil/uploads?alt=rss&orderby=published";

class SubscriptionWriterTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(db.Open((dir / "Rss.db").c_str()), 0);
    }
    void TearDown() override { CoUninitialize(); }

    std::int64_t add_folder(const std::string& name)
    {
        RSSFolderRecord folder;
        folder.name = name;
        EXPECT_EQ(db.InsertFolder(&folder), 0);
        return folder.id;
    }

    RSSData::tRSSChannel stored(const std::string& url)
    {
        std::list<RSSData::tRSSChannel> found;
        EXPECT_EQ(db.GetChannelByFeedUrl(url, &found), 0) << url;
        return found.empty() ? RSSData::tRSSChannel() : found.front();
    }

    bool exists(const std::string& url)
    {
        std::list<RSSData::tRSSChannel> found;
        return db.GetChannelByFeedUrl(url, &found) == 0;
    }

    void add_item(std::int64_t channel, std::int64_t folder)
    {
        RSSData::tRSSItem item;
        item.folder_id = folder;
        item.channel_id = channel;
        item.title = "video";
        ASSERT_EQ(db.InsertItem(&item), 0);
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder dir;
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
    CRSSDBMgr db;
    SubscriptionWriter writer{db};
};

TEST_F(SubscriptionWriterTest, TheFolderIsFoundByNameInAnyCaseAndNeverMade)
{
    add_folder("Favourites");
    EXPECT_FALSE(writer.subscription_folder());
    const std::int64_t mine = add_folder("old MY SUBSCRIPTIONS");
    EXPECT_EQ(writer.subscription_folder(), mine);
}

TEST_F(SubscriptionWriterTest, SubscribingStoresANewChannelOrRevivesTheStoredOne)
{
    const std::int64_t folder = add_folder("My Subscriptions");
    ASSERT_TRUE(writer.subscribe(feed, folder, "o'neil"));   // no program runs: still written
    const RSSData::tRSSChannel fresh = stored(feed);
    EXPECT_EQ(fresh.type, 2);
    EXPECT_EQ(fresh.folder_id(), folder);
    EXPECT_EQ(fresh.title, "o'neil");
    EXPECT_TRUE(fresh.can_auto_update);
    EXPECT_FALSE(fresh.can_prefetch || fresh.is_predefine || fresh.disabled || fresh.mark_delete);
    EXPECT_EQ(fresh.item_capability, 200);
    EXPECT_EQ(fresh.last_update_time, 0);

    // A predefined channel, unsubscribed and so disabled, comes back as it was.
    const std::int64_t other = add_folder("Standard");
    RSSData::tRSSChannel predefined;
    predefined.set_folder_id(other);
    predefined.feed_url = "http://feeds.example/standard";
    predefined.title = "Most Viewed";
    predefined.disabled = true;
    predefined.mark_delete = true;
    ASSERT_EQ(db.InsertChannel(&predefined), 0);
    ASSERT_TRUE(writer.subscribe(predefined.feed_url, folder, "page title"));
    const RSSData::tRSSChannel revived = stored(predefined.feed_url);
    EXPECT_EQ(revived.id, predefined.id);
    EXPECT_EQ(revived.folder_id(), other);
    EXPECT_EQ(revived.title, "Most Viewed");
    EXPECT_TRUE(revived.is_predefine);
    EXPECT_FALSE(revived.disabled || revived.mark_delete);
}

TEST_F(SubscriptionWriterTest, FailedOrRefusedWritesAreReported)
{
    const std::int64_t folder = add_folder("My Subscriptions");
    for (const std::string url : {"javascript:alert(1)", "file:///etc/passwd", "/feeds/a", ""}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(writer.subscribe(url, folder, "t"));
        EXPECT_FALSE(exists(url));
    }
    EXPECT_FALSE(writer.subscribe(feed, folder + 100, "no such folder"));   // the triggers refuse it
    EXPECT_FALSE(writer.unsubscribe("http://feeds.example/never-stored"));
}

TEST_F(SubscriptionWriterTest, UnsubscribingDisablesDeletesOrMarksWhatCannotGo)
{
    const std::int64_t folder = add_folder("My Subscriptions");
    RSSData::tRSSChannel predefined;
    predefined.set_folder_id(folder);
    predefined.feed_url = "http://feeds.example/predefined";
    ASSERT_EQ(db.InsertChannel(&predefined), 0);
    ASSERT_TRUE(writer.subscribe("http://feeds.example/plain", folder, "plain"));
    ASSERT_TRUE(writer.subscribe("http://feeds.example/watched", folder, "watched"));
    add_item(stored("http://feeds.example/watched").id, folder);

    ASSERT_TRUE(writer.unsubscribe("http://feeds.example/predefined"));
    EXPECT_TRUE(stored("http://feeds.example/predefined").disabled);
    ASSERT_TRUE(writer.unsubscribe("http://feeds.example/plain"));
    EXPECT_FALSE(exists("http://feeds.example/plain"));
    // Its items keep the row: it is marked for the updater to purge instead.
    ASSERT_TRUE(writer.unsubscribe("http://feeds.example/watched"));
    const RSSData::tRSSChannel marked = stored("http://feeds.example/watched");
    EXPECT_TRUE(marked.mark_delete);
    EXPECT_FALSE(marked.disabled);
}

// The running program: a notifier server thread whose database hears the notices.
using WithRunningProgram = WithRunningProgramOf<SubscriptionWriterTest>;

TEST_F(WithRunningProgram, HearsEachChangeAndThePauseBeforeARemoval)
{
    const std::int64_t folder = add_folder("My Subscriptions");
    ASSERT_TRUE(writer.subscribe(feed, folder, "o'neil"));
    const std::int64_t id = stored(feed).id;
    ASSERT_TRUE(writer.unsubscribe(feed));
    ASSERT_FALSE(writer.unsubscribe(feed));   // nothing left: no notice

    program->expect_subscribed_then_removed(id);
}

}
