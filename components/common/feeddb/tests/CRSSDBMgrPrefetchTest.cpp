// The prefetch passes' reads and their one write, on a real file.

#include "FeedDbFixture.h"
#include "RawQuery.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace feeddb_test;

namespace {

void run_sql(const std::string& path, const char* sql)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
}

}

TEST_F(FeedDb, PrefetchPagesAreTenNewestOfAStatusFromTheOffset)
{
    for (int i = 0; i < 12; ++i)
        add_item(channel, "n" + std::to_string(i), 100 + i);
    const std::int64_t other_status = add_item(channel, "other", 500);
    db.SetItemStatus(other_status, 81);
    const std::int64_t deleted = add_item(channel, "deleted", 600);
    db.SetItemMarkDelete(deleted, true);

    std::list<RSSData::tRSSItem> page;
    ASSERT_EQ(db.GetChannelItemsPageByStatus(channel, 0, 0, &page), 0);
    ASSERT_EQ(page.size(), 10u);
    EXPECT_EQ(page.front().title, "n11");
    page.clear();
    ASSERT_EQ(db.GetChannelItemsPageByStatus(channel, 0, 5, &page), 0);
    EXPECT_EQ(titles(page), (std::vector<std::string>{"n6", "n5", "n4", "n3", "n2", "n1", "n0"}));
    page.clear();
    EXPECT_EQ(db.GetChannelItemsPageByStatus(channel, 0, 12, &page), 1);   // past the end
    EXPECT_TRUE(page.empty());
    ASSERT_EQ(db.GetChannelItemsPageByStatus(channel, 81, 0, &page), 0);
    EXPECT_EQ(titles(page), std::vector<std::string>{"other"});
    EXPECT_EQ(db.GetChannelItemsPageByStatus(channel, 0, 0, nullptr), 1);
}

TEST_F(FeedDb, PrefetchSelectsRewrittenAndFavouriteItems)
{
    const std::int64_t hd = add_item(channel, "hd", 1);
    const std::int64_t hd_done = add_item(channel, "hd-done", 2);
    const std::int64_t favourite_old = add_item(channel, "fav-old", 3);
    const std::int64_t favourite_new = add_item(channel, "fav-new", 4);
    const std::int64_t favourite_hd = add_item(channel, "fav-hd", 5);
    for (std::int64_t id : {hd, hd_done, favourite_hd})
        db.SetItemStatus(id, 1280);
    db.SetItemLocalImages(nullptr, nullptr, hd_done);
    for (std::int64_t id : {favourite_old, favourite_new, favourite_hd})
        run_sql(path, ("UPDATE rssitem SET mark_favorite=1 WHERE id=" + std::to_string(id)).c_str());

    std::list<RSSData::tRSSItem> found;
    ASSERT_EQ(db.GetItemsByStatusNotHd(1280, &found), 0);
    EXPECT_EQ(titles(found), (std::vector<std::string>{"hd", "fav-hd"}));
    found.clear();
    ASSERT_EQ(db.GetFavouriteItems(1280, &found), 0);
    EXPECT_EQ(titles(found), (std::vector<std::string>{"fav-new", "fav-old"}));
}

TEST_F(FeedDb, LocalImagesWriteOnlyWhatIsGiven)
{
    RSSData::tRSSItem record = item_record(channel, "pictures", 7);
    record.display_description = "kept";
    record.local_thumb_file_path = "/old/thumb.jpg";
    ASSERT_EQ(db.InsertItem(&record), 0);

    const std::string text = "<img src=\"/img/1.jpg\" alt='it''s'> caf\xC3\xA9 \xE6\x97\xA5";
    const std::string empty;
    const struct {
        const char* name;
        const std::string* description;
        const std::string* thumb;
        std::string want_description;
        std::string want_thumb;
    } cases[] = {
        {"neither", nullptr, nullptr, "kept", "/old/thumb.jpg"},
        {"thumbnail only", nullptr, &empty, "kept", ""},
        {"description only", &text, nullptr, text, ""},
        {"both", &text, &text, text, text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(db.SetItemLocalImages(c.description, c.thumb, record.id), 0);
        const RSSData::tRSSItem read = read_item(record.id);
        EXPECT_TRUE(read.mark_hd);
        EXPECT_EQ(read.display_description, c.want_description);
        EXPECT_EQ(read.local_thumb_file_path, c.want_thumb);
        EXPECT_EQ(read.title, "pictures");
    }
}

TEST_F(FeedDb, LocalImagesAfterNoticeCarriesAFailure)
{
    const std::int64_t id = add_item(channel, "refused", 1);
    RecordingListener listener;
    db.AddListener(&listener);
    run_sql(path, "CREATE TRIGGER refuse BEFORE UPDATE ON rssitem BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    const std::string description = "d";
    EXPECT_EQ(db.SetItemLocalImages(&description, &description, id), SQLITE_CONSTRAINT);
    EXPECT_EQ(listener.notices(), (std::vector<Notice>{{true, DataAction::Update, DataKind::Item, id, 0},
                                                       {false, DataAction::Update, DataKind::Item, id, SQLITE_CONSTRAINT}}));
    db.RemoveListener(&listener);
    EXPECT_FALSE(read_item(id).mark_hd);
}
