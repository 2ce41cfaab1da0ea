#include "FeedDbFixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace feeddb_test;

namespace {

using Op = std::function<int(CRSSDBMgr&)>;

}

// Every write, the notices it raises (before, then after with the result), and what it returns.
TEST_F(FeedDb, EachWriteRaisesItsNotices)
{
    const std::int64_t item = add_item(channel, "a");
    const std::int64_t other = add_item(channel, "b");
    ASSERT_EQ(db.InsertItemDownloadInfo({other, 4, 1, 0, 0}), 0);
    const std::int64_t next = other + 1;   // the id the next item insert gets
    RecordingListener listener;
    db.AddListener(&listener);

    RSSData::tRSSChannel channel_record;
    channel_record.id = channel;
    channel_record.set_folder_id(folder);
    channel_record.feed_url = "http://feeds.example/one";
    const struct {
        const char* name;
        Op op;
        int action, kind;
        std::int64_t before_id, after_id;
    } cases[] = {
        {"InsertFolder", [](CRSSDBMgr& d) { RSSFolderRecord r; r.name = "n"; return d.InsertFolder(&r); }, 0, 1, 0, 2},
        {"InsertChannel", [&](CRSSDBMgr& d) { RSSData::tRSSChannel r; r.set_folder_id(folder); return d.InsertChannel(&r); },
         0, 2, 0, 2},
        {"UpdateChannel", [&](CRSSDBMgr& d) { return d.UpdateChannel(channel_record); }, 1, 2, channel, channel},
        {"SetChannelTitle", [&](CRSSDBMgr& d) { return d.SetChannelTitle(channel, "t"); }, 1, 2, channel, channel},
        {"SetChannelUpdateTime", [&](CRSSDBMgr& d) { return d.SetChannelUpdateTime(channel, 5); }, 1, 2, channel, channel},
        {"MarkChannelDeleted", [&](CRSSDBMgr& d) { return d.MarkChannelDeleted(channel); }, 3, 2, channel, channel},
        {"MarkChannelItemsDeleted", [&](CRSSDBMgr& d) { return d.MarkChannelItemsDeleted(channel); }, 3, 2, channel, channel},
        {"InsertItem", [&](CRSSDBMgr& d) { auto r = item_record(channel, "c"); return d.InsertItem(&r); }, 0, 3, 0, next},
        {"UpdateItem", [&](CRSSDBMgr& d) { auto r = item_record(channel, "a2"); r.id = item; return d.UpdateItem(r); }, 1, 3,
         item, item},
        {"SetItemTimes", [&](CRSSDBMgr& d) { return d.SetItemTimes(item, item_record(channel, "t", 9)); }, 1, 3, item, item},
        {"SetItemStatus", [&](CRSSDBMgr& d) { return d.SetItemStatus(item, 1024); }, 1, 3, item, item},
        {"SetItemMarkDelete", [&](CRSSDBMgr& d) { return d.SetItemMarkDelete(item, false); }, 3, 3, item, item},
        {"InsertItemDownloadInfo", [&](CRSSDBMgr& d) { return d.InsertItemDownloadInfo({item, 4, 1, 0, 0}); }, 0, 4, item,
         item},
        {"UpdateItemDownloadInfo", [&](CRSSDBMgr& d) { return d.UpdateItemDownloadInfo({item, 4, 2, 50, 10}); }, 1, 4, item,
         item},
        {"DeleteItemDownloadInfo", [&](CRSSDBMgr& d) { return d.DeleteItemDownloadInfo(item); }, 2, 4, item, item},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        listener.clear();
        EXPECT_EQ(c.op(db), 0);
        const std::vector<Notice> expected = {{true, c.action, c.kind, c.before_id, 0},
                                              {false, c.action, c.kind, c.after_id, 0}};
        EXPECT_EQ(listener.notices(), expected);
    }

    // Deleting an item with a download row also tells of that row, inside the item's notices.
    listener.clear();
    ASSERT_EQ(db.DeleteItem(other), 0);
    EXPECT_EQ(listener.notices(), (std::vector<Notice>{{true, 2, 3, other, 0},
                                                       {true, 2, 4, other, 0},
                                                       {false, 2, 4, other, 0},
                                                       {false, 2, 3, other, 0}}));
    db.RemoveListener(&listener);
}

TEST_F(FeedDb, BulkWritesRaiseNoNotices)
{
    add_item(channel, "a");
    RecordingListener listener;
    db.AddListener(&listener);
    for (const Op& op : std::initializer_list<Op>{
             [](CRSSDBMgr& d) { return d.ClearFavorites(); }, [](CRSSDBMgr& d) { return d.MarkPrefetchItemsDeleted(); },
             [](CRSSDBMgr& d) { return d.MarkReadItemsDeleted(); }, [](CRSSDBMgr& d) { return d.SetItemStatus(0, 3); }})
        EXPECT_EQ(op(db), 0);
    EXPECT_TRUE(listener.notices().empty());
    db.RemoveListener(&listener);
}

TEST_F(FeedDb, NoticesCarrySQLitesResultAndAFailedInsertKeepsItsId)
{
    RecordingListener listener;
    db.AddListener(&listener);
    RSSData::tRSSItem orphan = item_record(channel + 50, "orphan");
    orphan.id = 77;   // a caller's leftover id stays as it was
    EXPECT_EQ(db.InsertItem(&orphan), SQLITE_CONSTRAINT);
    EXPECT_EQ(orphan.id, 77);
    EXPECT_EQ(listener.notices(), (std::vector<Notice>{{true, 0, 3, 77, 0}, {false, 0, 3, 77, SQLITE_CONSTRAINT}}));

    listener.clear();
    EXPECT_EQ(db.DeleteChannel(channel + 1), 0);   // no such row is no error
    add_item(channel, "x");
    listener.clear();
    EXPECT_EQ(db.DeleteChannel(channel), SQLITE_CONSTRAINT);
    EXPECT_EQ(listener.notices().back(), (Notice{false, 2, 2, channel, SQLITE_CONSTRAINT}));
    db.RemoveListener(&listener);
}

TEST_F(FeedDb, VetoStopsTheFanOutAndOnlyItemDeletionObeysIt)
{
    const std::int64_t item = add_item(channel, "a");
    ASSERT_EQ(db.InsertItemDownloadInfo({item, 4, 1, 0, 0}), 0);
    RecordingListener first, refuser, last;
    refuser.veto = 5;
    for (auto* l : {&first, &refuser, &last})
        db.AddListener(l);

    EXPECT_EQ(db.NotifyBeforeDataAction(2, 3, item, 0), 5);
    EXPECT_EQ(db.DeleteItem(item), 1);
    EXPECT_EQ(rows("rssitem"), 1);
    EXPECT_EQ(rows("itemdownloadinfo"), 1);   // refused before anything went
    EXPECT_TRUE(last.notices().empty());
    EXPECT_EQ(first.notices().size(), 2u);

    // Other writes go ahead; their after-notices reach everyone.
    EXPECT_EQ(db.SetItemMarkDelete(item, true), 0);
    EXPECT_TRUE(read_item(item).mark_delete);
    EXPECT_EQ(last.notices(), (std::vector<Notice>{{false, 3, 3, item, 0}}));

    db.RemoveListener(&refuser);
    EXPECT_EQ(db.DeleteItem(item), 0);
    EXPECT_EQ(rows("rssitem"), 0);
    for (auto* l : {&first, &last})
        db.RemoveListener(l);
}

TEST_F(FeedDb, ListenerAddedTwiceHearsTwiceAndOneRemoveTakesBoth)
{
    RecordingListener listener;
    db.AddListener(&listener);
    db.AddListener(&listener);
    db.NotifyDataAction(0, 2, 4, 0);
    EXPECT_EQ(listener.notices().size(), 2u);
    db.RemoveListener(&listener);
    db.NotifyDataAction(0, 2, 4, 0);
    EXPECT_EQ(listener.notices().size(), 2u);
}

TEST_F(FeedDb, ListenersMayChangeTheListDuringANotice)
{
    RecordingListener added, removed;
    RecordingListener changer;
    changer.on_call = [&] {
        db.RemoveListener(&changer);   // itself: no wait for its own call
        db.RemoveListener(&removed);
        db.AddListener(&added);
    };
    db.AddListener(&changer);
    db.AddListener(&removed);

    db.NotifyDataAction(1, 3, 8, 0);
    EXPECT_EQ(changer.notices().size(), 1u);
    EXPECT_TRUE(removed.notices().empty());   // removed before its turn came
    EXPECT_TRUE(added.notices().empty());     // added after the notice began

    db.NotifyDataAction(1, 3, 9, 0);
    EXPECT_EQ(changer.notices().size(), 1u);
    EXPECT_EQ(added.notices(), (std::vector<Notice>{{false, 1, 3, 9, 0}}));
    db.RemoveListener(&added);
}

// A listener removed while another thread is inside one of its calls is not
// freed under that call: RemoveListener returns only when the call is over.
TEST_F(FeedDb, RemoveListenerWaitsForACallInProgress)
{
    auto listener = std::make_unique<RecordingListener>();
    std::promise<void> entered;
    std::promise<void> leave;
    std::atomic<bool> call_over{false};
    listener->on_call = [&] {
        entered.set_value();
        leave.get_future().wait();
        call_over = true;
    };
    db.AddListener(listener.get());
    std::thread writer([&] { db.NotifyDataAction(0, 1, 1, 0); });
    entered.get_future().wait();

    std::thread remover([&] {
        db.RemoveListener(listener.get());
        EXPECT_TRUE(call_over);
        listener.reset();
    });
    // Give the remover time to start waiting; the test holds either way.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    leave.set_value();
    remover.join();
    writer.join();
    EXPECT_EQ(listener, nullptr);
}
