#include "components/common/feeddb/CppSQLite3Exception.h"
#include "FeedDbFixture.h"
#include "RawQuery.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

using namespace feeddb_test;

namespace {


std::string raw_text(const std::string& path, const std::string& sql)
{
    const std::vector<std::string> rows = query_column(path, sql);
    return rows.empty() ? "<none>" : rows.front();
}

}

TEST_F(FeedDb, FoldersKeepTheirParentAndType)
{
    RSSFolderRecord top;
    top.name = "top";
    top.type = 7;
    ASSERT_EQ(db.InsertFolder(&top), 0);
    RSSFolderRecord child;
    child.name = "child";
    child.type = 7;
    child.parent_folder_id = top.id;
    child.is_predefine = true;
    ASSERT_EQ(db.InsertFolder(&child), 0);
    EXPECT_EQ(db.InsertFolder(nullptr), 1);

    std::list<RSSFolderRecord> folders;
    ASSERT_EQ(db.GetFolders(0, &folders), 0);
    ASSERT_EQ(folders.size(), 3u);
    const RSSFolderRecord& read_top = *std::next(folders.begin());
    EXPECT_EQ(read_top.type, 1);   // a top-level folder is stored as kind 1
    EXPECT_EQ(read_top.parent_folder_id, 0);
    EXPECT_EQ(raw_text(path, "SELECT quote(parent_folder_id) FROM rssfolder WHERE name='top'"), "NULL");
    const RSSFolderRecord& read_child = folders.back();
    EXPECT_EQ(read_child.type, 7);
    EXPECT_EQ(read_child.parent_folder_id, top.id);
    EXPECT_TRUE(read_child.is_predefine);

    folders.clear();
    EXPECT_EQ(db.GetFolders(child.id, &folders), 0);
    EXPECT_EQ(folders.front().name, "child");
    EXPECT_EQ(db.GetFolders(999, &folders), 1);
    EXPECT_EQ(db.GetFolders(0, nullptr), 1);
    RSSFolderRecord orphan;
    orphan.parent_folder_id = 999;
    EXPECT_EQ(db.InsertFolder(&orphan), SQLITE_CONSTRAINT);
}

TEST_F(FeedDb, ChannelQueriesFilterByTheirFlags)
{
    struct Row {
        const char* title;
        const char* url;
        bool disabled, mark_delete, auto_update;
        std::int64_t updated;
    };
    const Row table[] = {
        {"plain", "http://a", false, false, true, 10},   {"disabled", "http://b", true, false, true, 10},
        {"deleted", "http://c", false, true, true, 10},  {"no url", "", false, false, true, 10},
        {"manual", "http://e", false, false, false, 10}, {"fresh", "http://f", false, false, true, 500},
        {"Plain", "http://g", false, false, true, 10},
    };
    for (const Row& row : table) {
        RSSData::tRSSChannel c;
        c.set_folder_id(folder);
        c.title = row.title;
        c.feed_url = row.url;
        c.disabled = row.disabled;
        c.mark_delete = row.mark_delete;
        c.can_auto_update = row.auto_update;
        c.last_update_time = row.updated;
        ASSERT_EQ(db.InsertChannel(&c), 0);
    }
    const std::int64_t disabled_id = channel + 2;

    std::list<RSSData::tRSSChannel> list;
    db.GetChannels(0, &list);
    EXPECT_EQ(titles(list), (std::vector<std::string>{"channel", "plain", "deleted", "no url", "manual", "fresh", "Plain"}));
    list.clear();
    ASSERT_EQ(db.GetChannels(disabled_id, &list), 0);
    EXPECT_EQ(titles(list), std::vector<std::string>{"disabled"});
    list.clear();
    db.GetStaleChannels(100, &list);
    EXPECT_EQ(titles(list), (std::vector<std::string>{"channel", "plain", "Plain"}));
    list.clear();
    db.FindChannelsByTitle("plain", &list);
    EXPECT_EQ(titles(list), std::vector<std::string>{"plain"});
    list.clear();
    EXPECT_EQ(db.FindChannelsByTitle("plain ", &list), 1);
    db.GetMarkedDeletedChannels(&list);
    EXPECT_EQ(titles(list), std::vector<std::string>{"deleted"});
    list.clear();
    db.GetFolderChannels(false, folder, &list);
    EXPECT_EQ(list.size(), 6u);
    list.clear();
    db.GetFolderChannels(true, folder, &list);
    EXPECT_EQ(list.size(), 7u);
    list.clear();
    db.GetChannelByFeedUrl("http://b", &list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list.front().disabled);
    EXPECT_EQ(list.front().folder_id(), folder);
    EXPECT_EQ(list.front().type, 2);
    EXPECT_EQ(list.front().item_capability, 200);
}

TEST_F(FeedDb, ChannelUpdatesChangeOnlyTheirColumns)
{
    std::list<RSSData::tRSSChannel> list;
    db.GetChannels(channel, &list);
    RSSData::tRSSChannel c = list.front();
    c.disabled = true;
    c.description = "about";
    c.type = 9;
    ASSERT_EQ(db.UpdateChannel(c), 0);
    ASSERT_EQ(db.SetChannelTitle(channel, "O'Reilly"), 0);
    ASSERT_EQ(db.SetChannelUpdateTime(channel, 133000000000000000LL), 0);
    list.clear();
    db.GetChannels(channel, &list);
    const RSSData::tRSSChannel& read = list.front();
    EXPECT_TRUE(read.disabled);
    EXPECT_EQ(read.description, "about");
    EXPECT_EQ(read.type, 2);
    EXPECT_EQ(read.title, "O'Reilly");
    EXPECT_EQ(read.last_update_time, 133000000000000000LL);
}

TEST_F(FeedDb, ItemRoundTripsWithItsStoredFields)
{
    RSSData::tRSSItem item = item_record(channel, "it's \"quoted\" %d %q");
    item.display_description = "<img src=\"t.jpg\">\nTime: <span>3:07</span> caf\xC3\xA9 'x'";
    item.original_description = "memory only";
    item.author = "memory only";
    item.media_thumbnail_url = "http://i.example/t.jpg";
    item.original_media_url = "http://m.example/v.flv";
    item.set_status(1280);
    item.mark_hd = true;
    item.create_time = 133000000000000001LL;
    ASSERT_EQ(db.InsertItem(&item), 0);
    EXPECT_EQ(db.InsertItem(nullptr), 1);

    const RSSData::tRSSItem read = read_item(item.id);
    EXPECT_EQ(read.title, item.title);
    EXPECT_EQ(read.display_description, item.display_description);
    EXPECT_EQ(read.media_thumbnail_url, item.media_thumbnail_url);
    EXPECT_EQ(read.original_media_url, item.original_media_url);
    EXPECT_EQ(read.status(), 1280);
    EXPECT_TRUE(read.mark_hd);
    EXPECT_EQ(read.create_time, item.create_time);
    EXPECT_EQ(read.reference_id, 0);
    EXPECT_EQ(read.type, 3);
    EXPECT_TRUE(read.original_description.empty());
    EXPECT_TRUE(read.author.empty());

    // Stored in the codec's form, not as plain text.
    const std::string stored = raw_text(path, "SELECT display_description FROM rssitem");
    EXPECT_EQ(stored.find("img"), std::string::npos);
    EXPECT_EQ(stored.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(raw_text(path, "SELECT quote(reference_id) FROM rssitem"), "NULL");
}

TEST_F(FeedDb, UpdateItemKeepsDescriptionAndHdMark)
{
    RSSData::tRSSItem item = item_record(channel, "a");
    item.display_description = "first";
    item.mark_hd = true;
    ASSERT_EQ(db.InsertItem(&item), 0);
    const std::int64_t referred = add_item(channel, "b");

    item.display_description = "second";
    item.mark_hd = false;
    item.mark_read = true;
    item.reference_id = referred;
    item.title = "a2";
    ASSERT_EQ(db.UpdateItem(item), 0);
    RSSData::tRSSItem read = read_item(item.id);
    EXPECT_EQ(read.display_description, "first");
    EXPECT_TRUE(read.mark_hd);
    EXPECT_TRUE(read.mark_read);
    EXPECT_EQ(read.reference_id, referred);
    EXPECT_EQ(read.title, "a2");

    item.reference_id = referred + 10;
    EXPECT_EQ(db.UpdateItem(item), SQLITE_CONSTRAINT);
    item.reference_id = 0;
    ASSERT_EQ(db.UpdateItem(item), 0);
    EXPECT_EQ(read_item(item.id).reference_id, 0);
}

TEST_F(FeedDb, FoldersAreFoundByNameExactlyOrContainedInAnyCase)
{
    add_folder("My Subscriptions");
    add_folder("old my subscriptions");
    add_folder("Bob's");
    using Match = CRSSDBMgr::NameMatch;
    const struct {
        std::string name;
        Match match;
        std::vector<std::string> found;
    } cases[] = {
        {"My Subscriptions", Match::Exact, {"My Subscriptions"}},
        {"my subscriptions", Match::Exact, {}},
        {"my subscriptions", Match::ContainsAnyCase, {"My Subscriptions", "old my subscriptions"}},
        {"SUBSCRIPTIONS", Match::ContainsAnyCase, {"My Subscriptions", "old my subscriptions"}},
        {"Bob's", Match::Exact, {"Bob's"}},
        {"b's", Match::ContainsAnyCase, {"Bob's"}},
        {"x' OR '1'='1", Match::ContainsAnyCase, {}},
        {"Missing", Match::ContainsAnyCase, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::list<RSSFolderRecord> folders;
        EXPECT_EQ(db.GetFolders(c.name, &folders, c.match), c.found.empty() ? 1 : 0);
        std::vector<std::string> names;
        for (const auto& f : folders)
            names.push_back(f.name);
        EXPECT_EQ(names, c.found);
    }
    EXPECT_EQ(db.GetFolders("My Subscriptions", nullptr, Match::Exact), 1);
}

TEST_F(FeedDb, LookupsMatchExactlyAndQuoteTheirValues)
{
    add_item(channel, "Title");
    const std::int64_t other_channel = add_channel(folder, "http://feeds.example/two");
    add_item(other_channel, "Title");
    std::list<RSSData::tRSSItem> list;
    EXPECT_EQ(db.FindItem(channel, "Title", "http://videos.example/Title", &list), 0);
    EXPECT_EQ(list.size(), 1u);
    for (const auto& [title, link] : {std::pair{"Title ", "http://videos.example/Title"},
                                     std::pair{"title", "http://videos.example/Title"},
                                     std::pair{"Title", "x' OR '1'='1"}}) {
        std::list<RSSData::tRSSItem> none;
        EXPECT_EQ(db.FindItem(channel, title, link, &none), 1) << title << " " << link;
    }
    list.clear();
    EXPECT_EQ(db.GetItemByLink("http://videos.example/Title", &list), 0);
    EXPECT_EQ(list.size(), 2u);
    list.clear();
    EXPECT_EQ(db.GetItemByMediaUrl("'; DROP TABLE rssitem; --", &list), 1);
    EXPECT_EQ(rows("rssitem"), 2);
    EXPECT_EQ(db.GetChannelItems(other_channel, &list), 0);
    EXPECT_EQ(db.GetChannelItems(other_channel, nullptr), 1);
}

TEST_F(FeedDb, PagesFollowTheirOrderAndLimit)
{
    std::int64_t first = 0;
    for (int i = 1; i <= 30; ++i) {
        RSSData::tRSSItem item = item_record(channel, "i" + std::to_string(i), i);
        item.set_status(i % 3 == 0 ? 1280 : 0);
        item.mark_favorite = i <= 4;
        item.mark_read = i > 26;
        item.can_prefetch = i % 10 == 0;
        item.modify_time = 100 - i;
        ASSERT_EQ(db.InsertItem(&item), 0);
        if (i == 1)
            first = item.id;
    }
    std::list<RSSData::tRSSItem> page;
    ASSERT_EQ(db.GetChannelItemsPage(true, channel, 0, 20, false, &page), 0);
    ASSERT_EQ(page.size(), 20u);
    EXPECT_EQ(page.front().title, "i1");
    EXPECT_EQ(page.back().title, "i20");
    page.clear();
    ASSERT_EQ(db.GetChannelItemsPage(true, channel, 25, 20, false, &page), 0);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i26", "i27", "i28", "i29", "i30"}));
    page.clear();
    EXPECT_EQ(db.GetChannelItemsPage(false, channel, 40, 20, false, &page), 1);
    EXPECT_TRUE(page.empty());
    ASSERT_EQ(db.GetChannelItemsPage(false, channel, 0, 4, true, &page), 0);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i30", "i27", "i24", "i21"}));
    page.clear();
    ASSERT_EQ(db.GetChannelItemsPage(true, channel, 0, 2, true, &page), 0);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i3", "i6"}));

    page.clear();
    db.GetFavoritesPage(true, 0, 10, false, &page);   // by modify time: i4 is the oldest change
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i4", "i3", "i2", "i1"}));
    page.clear();
    db.GetFavoritesPage(false, 1, 2, true, &page);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i1", "i2"}));
    page.clear();
    db.GetPrefetchPage(0, 10, false, &page);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i30", "i20", "i10"}));
    page.clear();
    db.GetRecentPage(0, 2, false, &page);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"i27", "i28"}));

    int n = -1;
    const struct {
        const char* name;
        std::function<int(int*)> count;
        int expected;
    } counts[] = {
        {"channel", [&](int* c) { return db.CountChannelItems(channel, c); }, 30},
        {"status", [&](int* c) { return db.CountChannelItemsByStatus(channel, 1280, c); }, 10},
        {"favorites", [&](int* c) { return db.CountFavorites(c); }, 4},
        {"prefetch", [&](int* c) { return db.CountPrefetch(c); }, 3},
        {"recent", [&](int* c) { return db.CountRecent(c); }, 4},
        {"filtered all", [&](int* c) { return db.CountChannelItemsFiltered(channel, true, true, c); }, 30},
        {"filtered no favorites", [&](int* c) { return db.CountChannelItemsFiltered(channel, true, false, c); }, 26},
    };
    for (const auto& c : counts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.count(&n), 0);
        EXPECT_EQ(n, c.expected);
    }
    EXPECT_EQ(db.CountFavorites(nullptr), 1);

    // Items marked deleted drop out of pages and counts.
    ASSERT_EQ(db.SetItemMarkDelete(first, true), 0);   // i1
    db.CountChannelItems(channel, &n);
    EXPECT_EQ(n, 29);
    db.CountFavorites(&n);
    EXPECT_EQ(n, 3);
    db.CountChannelItemsFiltered(channel, false, true, &n);
    EXPECT_EQ(n, 29);
    db.CountChannelItemsFiltered(channel, true, true, &n);
    EXPECT_EQ(n, 30);
}

TEST_F(FeedDb, MarksAndStatusReachTheRightRows)
{
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 4; ++i) {
        RSSData::tRSSItem item = item_record(channel, "m" + std::to_string(i));
        item.mark_favorite = i == 0;
        item.can_prefetch = i == 1;
        item.mark_read = i == 2;
        ASSERT_EQ(db.InsertItem(&item), 0);
        ids.push_back(item.id);
    }
    ASSERT_EQ(db.ClearFavorites(), 0);
    EXPECT_FALSE(read_item(ids[0]).mark_favorite);
    ASSERT_EQ(db.MarkPrefetchItemsDeleted(), 0);
    ASSERT_EQ(db.MarkReadItemsDeleted(), 0);
    std::list<RSSData::tRSSItem> deleted;
    db.GetDeletedItems(channel, &deleted);
    EXPECT_EQ(titles(deleted), (std::vector<std::string>{"m1", "m2"}));

    ASSERT_EQ(db.SetItemStatus(0, 1024), 0);   // every item, marked deleted or not
    int n = 0;
    db.CountChannelItemsByStatus(channel, 1024, &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(read_item(ids[1]).status(), 1024);
    ASSERT_EQ(db.SetItemStatus(ids[3], 1280), 0);
    EXPECT_EQ(read_item(ids[3]).status(), 1280);
    EXPECT_EQ(read_item(ids[0]).status(), 1024);

    ASSERT_EQ(db.MarkChannelItemsDeleted(channel), 0);
    db.CountChannelItems(channel, &n);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(db.SetItemMarkDelete(ids[0], false), 0);
    db.CountChannelItems(channel, &n);
    EXPECT_EQ(n, 1);
}

TEST_F(FeedDb, DownloadRowsBelongToExistingItems)
{
    const std::int64_t item = add_item(channel, "d");
    ASSERT_EQ(db.SetItemMarkDelete(item, true), 0);
    EXPECT_EQ(db.InsertItemDownloadInfo({item + 9, 4, 1, 0, 0}), SQLITE_CONSTRAINT);
    ASSERT_EQ(db.InsertItemDownloadInfo({item, 0, 3, 40, 5000000000LL}), 0);
    EXPECT_EQ(db.InsertItemDownloadInfo({item, 4, 3, 40, 0}), SQLITE_CONSTRAINT);
    ASSERT_EQ(db.UpdateItemDownloadInfo({item, 4, 5, 100, 6000000000LL}), 0);

    std::list<ItemDownloadRecord> rows_read;
    ASSERT_EQ(db.GetItemDownloadInfos(&rows_read), 0);
    ASSERT_EQ(rows_read.size(), 1u);
    EXPECT_EQ(rows_read.front().type, 4);
    EXPECT_EQ(rows_read.front().status, 5);
    EXPECT_EQ(rows_read.front().percent, 100);
    EXPECT_EQ(rows_read.front().total_size, 6000000000LL);

    std::list<RSSData::tRSSItem> items;
    ASSERT_EQ(db.GetDownloadItems(&items), 0);   // whatever its mark_delete
    EXPECT_EQ(titles(items), std::vector<std::string>{"d"});

    ASSERT_EQ(db.DeleteItemDownloadInfo(item), 0);
    EXPECT_EQ(db.DeleteItemDownloadInfo(item), 0);
    std::list<ItemDownloadRecord> none;
    EXPECT_EQ(db.GetItemDownloadInfos(&none), 1);
    EXPECT_TRUE(none.empty());
}

TEST_F(FeedDb, TrimCandidatesSpareFavoritesDownloadsAndPrefetched)
{
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 5; ++i) {
        RSSData::tRSSItem item = item_record(channel, "t" + std::to_string(i));
        item.modify_time = 10 - i;
        item.mark_favorite = i == 0;
        item.can_prefetch = i == 1;
        ASSERT_EQ(db.InsertItem(&item), 0);
        ids.push_back(item.id);
    }
    ASSERT_EQ(db.InsertItemDownloadInfo({ids[2], 4, 0, 0, 0}), 0);
    std::list<RSSData::tRSSItem> list;
    db.GetTrimCandidates(channel, true, 10, &list);
    EXPECT_EQ(titles(list), (std::vector<std::string>{"t4", "t3", "t1"}));
    list.clear();
    db.GetTrimCandidates(channel, false, 1, &list);
    EXPECT_EQ(titles(list), std::vector<std::string>{"t4"});
}

// An item another item refers to cannot go (the triggers refuse it): its
// download row must not go either, whether or not a transaction is open.
TEST_F(FeedDb, ItemThatCannotBeDeletedKeepsItsDownloadRow)
{
    const std::int64_t item = add_item(channel, "referenced");
    RSSData::tRSSItem referring = item_record(channel, "referring");
    referring.reference_id = item;
    ASSERT_EQ(db.InsertItem(&referring), 0);
    ASSERT_EQ(db.InsertItemDownloadInfo({item, 4, 1, 0, 0}), 0);
    RecordingListener listener;
    db.AddListener(&listener);

    for (const bool in_transaction : {false, true}) {
        SCOPED_TRACE(in_transaction ? "inside a transaction" : "on its own");
        listener.clear();
        if (in_transaction) {
            ASSERT_EQ(db.BeginTransaction(), 0);
        }
        EXPECT_EQ(db.DeleteItem(item), SQLITE_CONSTRAINT);
        if (in_transaction) {
            ASSERT_EQ(db.CommitTransaction(), 0);
        }
        EXPECT_EQ(rows("itemdownloadinfo"), 1);
        EXPECT_EQ(rows("rssitem"), 2);
        EXPECT_EQ(listener.notices().back(), (Notice{false, 2, 3, item, SQLITE_CONSTRAINT}));
    }
    ASSERT_EQ(db.DeleteItem(referring.id), 0);
    EXPECT_EQ(db.DeleteItem(item), 0);
    EXPECT_EQ(rows("itemdownloadinfo"), 0);
    EXPECT_EQ(rows("rssitem"), 0);
    db.RemoveListener(&listener);
}

// Writes never raise, the status of every item included (it reads the items first).
TEST_F(FeedDb, StatusOfEveryItemReportsAFailureInsteadOfRaising)
{
    add_item(channel, "a");
    ASSERT_EQ(db.Close(), 0);
    int rc = 0;
    EXPECT_NO_THROW(rc = db.SetItemStatus(0, 7));
    EXPECT_EQ(rc, CppSQLite3Exception::CPPSQLITE_ERROR);
}
