#include "core/updater/CRSSUpdater.h"
#include "feedparser/pellow/testing/FeedSite.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "outside/ostrel/IOstrel.h"
#include "outside/ostrel/testing/RefusingOstrel.h"
#include "platform/base/DebugLog.h"
#include "platform/sync/NamedMutex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using feed_testing::FeedItem;

namespace {

constexpr std::uint32_t interval_seconds = 3600;
constexpr std::int64_t base_time = 200'000'000'000'000'000;   // a FILETIME in 2234
constexpr std::int64_t stale_time = base_time - 2LL * interval_seconds * 10'000'000;
constexpr auto patience = std::chrono::seconds(60);

// Records what the updater tells; can hold the worker inside OnBeginUpdate.
class Listener final : public IRSSUpdateListener {
public:
    bool OnBeginUpdate(std::int64_t channel_id) override
    {
        std::unique_lock hold(m_lock);
        m_begun.push_back(channel_id);
        m_changed.notify_all();
        m_changed.wait(hold, [&] { return !m_hold.contains(channel_id); });
        return !m_vetoed.contains(channel_id);
    }
    void OnUpdated(std::int64_t channel_id, bool success) override
    {
        std::scoped_lock hold(m_lock);
        m_updated.emplace_back(channel_id, success);
        m_changed.notify_all();
    }

    void hold(std::int64_t id) { std::scoped_lock h(m_lock); m_hold.insert(id); }
    void release(std::int64_t id)
    {
        std::scoped_lock h(m_lock);
        m_hold.erase(id);
        m_changed.notify_all();
    }
    void veto(std::int64_t id) { std::scoped_lock h(m_lock); m_vetoed.insert(id); }
    bool wait_begun(std::size_t n)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, patience, [&] { return m_begun.size() >= n; });
    }
    bool wait_updated(std::size_t n)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, patience, [&] { return m_updated.size() >= n; });
    }
    std::vector<std::int64_t> begun() { std::scoped_lock h(m_lock); return m_begun; }
    std::vector<std::pair<std::int64_t, bool>> updated() { std::scoped_lock h(m_lock); return m_updated; }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::set<std::int64_t> m_hold, m_vetoed;                // guarded by m_lock
    std::vector<std::int64_t> m_begun;                      // guarded by m_lock
    std::vector<std::pair<std::int64_t, bool>> m_updated;   // guarded by m_lock
};

// The download manager as far as the updater uses it: the keys of removed tasks.
class OstrelDouble final : public ostrel_test::RefusingOstrel {
public:
    LONG RemoveTask(const DownloadTaskInfo* task, const char*) override
    {
        std::scoped_lock hold(lock);
        removed.push_back(task->key + "|" + task->title);
        // The task's file in the cache goes with it.
        if (!cache_folder.empty())
            std::filesystem::remove(cache_folder + "/" + task->title);
        return 1;
    }

    std::mutex lock;
    std::vector<std::string> removed;   // guarded by lock
    std::string cache_folder;           // set before the updater starts
};

class CRSSUpdaterTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(modules.registered());
        ASSERT_EQ(database.Open((modules.folder() + "/Rss.db").c_str()), 0);
        RSSFolderRecord folder;
        folder.name = "Feeds";
        ASSERT_EQ(database.InsertFolder(&folder), 0);
        folder_id = folder.id;
        std::filesystem::create_directories(download_folder);
    }
    void TearDown() override
    {
        if (updater)
            updater->Stop();
        updater.reset();
        database.Close();
    }

    void start(std::int32_t max_items = 25, std::int64_t cache_limit = -1, std::string cache_folder = {})
    {
        updater = std::make_unique<CRSSUpdater>(database, &ostrel, interval_seconds, max_items,
                                                std::move(cache_folder), cache_limit,
                                                std::vector<std::string>{download_folder},
                                                [this] { return clock++; });
        updater->AddListener(&listener);
        updater->Start();
    }
    std::int64_t add_channel(const std::string& path, std::int64_t last_update,
                             void (*adjust)(RSSData::tRSSChannel&) = nullptr)
    {
        RSSData::tRSSChannel channel;
        channel.set_folder_id(folder_id);
        channel.title = path;
        channel.feed_url = path.empty() ? "" : site.url(path);
        channel.last_update_time = last_update;
        channel.is_predefine = false;
        if (adjust)
            adjust(channel);
        EXPECT_EQ(database.InsertChannel(&channel), 0);
        return channel.id;
    }
    // The channel's rows, oldest row id first.
    std::vector<RSSData::tRSSItem> rows(std::int64_t channel_id)
    {
        std::list<RSSData::tRSSItem> list;
        database.GetChannelItems(channel_id, &list);
        std::vector<RSSData::tRSSItem> out(list.begin(), list.end());
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
        return out;
    }
    RSSData::tRSSChannel channel(std::int64_t id)
    {
        std::list<RSSData::tRSSChannel> list;
        database.GetChannels(id, &list);
        return list.empty() ? RSSData::tRSSChannel{} : list.front();
    }

    feed_testing::ParserModules modules;
    const std::string download_folder = modules.folder() + "/download";
    feed_testing::FeedSite site;
    CRSSDBMgr database;
    std::int64_t folder_id = 0;
    std::atomic<std::int64_t> clock{base_time};
    Listener listener;
    OstrelDouble ostrel;
    std::unique_ptr<CRSSUpdater> updater;   // last: stopped before the rest go
};

}

TEST_F(CRSSUpdaterTest, RepeatedRequestsRunOnceAtTheEndAndBreakOffTheRunningOne)
{
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(3)));
    const auto a = add_channel("/feed", base_time), b = add_channel("/feed", base_time),
               c = add_channel("/feed", base_time);
    start(/*max_items=*/1);
    listener.hold(a);
    updater->Request(a);
    ASSERT_TRUE(listener.wait_begun(1));
    for (auto id : {b, c, b, b})
        updater->Request(id);
    listener.release(a);
    ASSERT_TRUE(listener.wait_updated(3));

    EXPECT_EQ(listener.begun(), (std::vector<std::int64_t>{a, c, b}));
    // The broken-off request still gets its answer.
    EXPECT_EQ(listener.updated(), (std::vector<std::pair<std::int64_t, bool>>{{a, false}, {c, true}, {b, true}}));
    // Fresh channels were refreshed anyway, and user requests never trim.
    const auto written = rows(b);
    EXPECT_EQ(written.size(), 3u);
    EXPECT_TRUE(std::none_of(written.begin(), written.end(), [](const auto& r) { return r.mark_delete; }));
}

TEST_F(CRSSUpdaterTest, RefreshAllQueuesOnlyStaleAutomaticChannels)
{
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(2)));
    const auto stale1 = add_channel("/feed", stale_time);
    add_channel("/feed", base_time);                                                      // fresh
    add_channel("/feed", stale_time, [](RSSData::tRSSChannel& c) { c.disabled = true; });
    add_channel("/feed", stale_time, [](RSSData::tRSSChannel& c) { c.can_auto_update = false; });
    add_channel("", stale_time);                                                          // no address
    const auto stale2 = add_channel("/feed", stale_time);
    start();
    updater->RequestAll();
    ASSERT_TRUE(listener.wait_updated(2));
    EXPECT_EQ(listener.begun(), (std::vector<std::int64_t>{stale1, stale2}));
    EXPECT_EQ(listener.updated(), (std::vector<std::pair<std::int64_t, bool>>{{stale1, true}, {stale2, true}}));
    EXPECT_GE(channel(stale1).last_update_time, base_time);
}

TEST_F(CRSSUpdaterTest, RequestBreaksOffABackgroundRefreshWhichComesBackLater)
{
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(3)));
    const auto background = add_channel("/feed", stale_time);
    const auto wanted = add_channel("/feed", base_time);
    start();
    listener.hold(background);
    updater->Request(-background);
    ASSERT_TRUE(listener.wait_begun(1));
    updater->Request(wanted);
    listener.release(background);
    ASSERT_TRUE(listener.wait_updated(3));
    EXPECT_EQ(listener.begun(), (std::vector<std::int64_t>{background, wanted, background}));
    EXPECT_EQ(listener.updated(),
              (std::vector<std::pair<std::int64_t, bool>>{{background, false}, {wanted, true}, {background, true}}));
}

TEST_F(CRSSUpdaterTest, CacheTrimRemovesTheOldestTasksUntilTheFolderFits)
{
    const std::string cache = modules.folder() + "/cache";
    std::filesystem::create_directories(cache);
    ostrel.cache_folder = cache;
    const auto id = add_channel("", base_time);
    const struct {
        const char* title;
        std::int64_t modify_time;
        bool favourite;
    } rows_made[] = {{"newest", 30, false}, {"oldest", 10, false}, {"middle", 20, false}, {"kept", 1, true}};
    for (const auto& r : rows_made) {
        std::ofstream(cache + "/" + r.title) << std::string(1024, 'x');
        RSSData::tRSSItem item;
        item.folder_id = folder_id;
        item.channel_id = id;
        item.title = r.title;
        item.original_media_url = std::string("http://m.com/") + r.title;
        item.mark_favorite = r.favourite;
        item.modify_time = r.modify_time;
        item.set_status(1024);
        ASSERT_EQ(database.InsertItem(&item), 0);
    }
    // 4 KB in the folder, 3 KB allowed: the two oldest go (the favourite stays).
    start(25, 3, cache);
    for (int i = 0; i < 6000 && std::filesystem::exists(cache + "/middle"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    updater->Stop();
    EXPECT_EQ(ostrel.removed, (std::vector<std::string>{"http://m.com/oldest|oldest", "http://m.com/middle|middle"}));
    for (const auto& row : rows(id))
        EXPECT_EQ(row.status(), row.title == "oldest" || row.title == "middle" ? 0 : 1024) << row.title;
}

TEST_F(CRSSUpdaterTest, CacheWithoutLimitIsLeftAlone)
{
    const std::string cache = modules.folder() + "/cache";
    std::filesystem::create_directories(cache);
    std::ofstream(cache + "/big") << std::string(4096, 'x');
    RSSData::tRSSItem item;
    item.folder_id = folder_id;
    item.channel_id = add_channel("", base_time);
    item.title = "big";
    item.original_media_url = "http://m.com/big";
    item.set_status(1024);
    ASSERT_EQ(database.InsertItem(&item), 0);
    start(25, -1, cache);
    updater->Request(999999);   // a request answered after the first maintenance pass
    ASSERT_TRUE(listener.wait_updated(1));
    updater->Stop();
    EXPECT_TRUE(ostrel.removed.empty());
}

TEST_F(CRSSUpdaterTest, ItemsAreWrittenLastFirstAndARefetchOnlyRenewsThem)
{
    site.serve("/feed", feed_testing::feed_xml({{"First", "http://e.com/1", "http://m.com/1"},
                                                {"Second", "http://e.com/2", ""},
                                                {"Third", "http://e.com/3", "http://m.com/3"}}));
    const auto id = add_channel("/feed", base_time);
    start();
    updater->Request(id);
    ASSERT_TRUE(listener.wait_updated(1));
    auto first = rows(id);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].title, "Third");
    EXPECT_EQ(first[2].title, "First");
    EXPECT_GT(first[2].modify_time, first[0].modify_time) << "the feed's first item is the newest";
    EXPECT_EQ(first[0].original_media_url, "http://m.com/3");
    EXPECT_EQ(first[1].original_media_url, "http://e.com/2") << "no media: the link";
    EXPECT_EQ(first[2].folder_id, folder_id);
    EXPECT_EQ(first[2].channel_id, id);
    database.SetItemMarkDelete(first[2].id, true);

    const std::int64_t before_refetch = clock.load();
    updater->Request(id);
    ASSERT_TRUE(listener.wait_updated(2));
    ASSERT_EQ(listener.updated(), (std::vector<std::pair<std::int64_t, bool>>{{id, true}, {id, true}}))
        << "both fetches succeeded";
    auto second = rows(id);
    ASSERT_EQ(second.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(second[i].title);
        EXPECT_EQ(second[i].id, first[i].id);
        EXPECT_GE(second[i].modify_time, before_refetch);
        EXPECT_EQ(second[i].create_time, second[i].modify_time);
        EXPECT_FALSE(second[i].mark_delete);
    }
    EXPECT_GE(channel(id).last_update_time, before_refetch);
}

TEST_F(CRSSUpdaterTest, BackgroundRefreshMarksTheOldestEligibleItemsBeyondTheLimit)
{
    const struct {
        const char* what;
        int with_downloads;   // the oldest rows that have a download record
        std::size_t marked;
    } cases[] = {{"all eligible", 0, 15}, {"too few eligible", 30, 10}};
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(40)));
    start(25);
    std::size_t answered = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto id = add_channel("/feed", base_time);
        updater->Request(id);   // a user request: no trimming yet
        ASSERT_TRUE(listener.wait_updated(++answered));
        auto before = rows(id);   // oldest first: the feed's last items
        ASSERT_EQ(before.size(), 40u);
        for (int i = 0; i < c.with_downloads; ++i) {
            ItemDownloadRecord download;
            download.id = before[static_cast<std::size_t>(i)].id;
            ASSERT_EQ(database.InsertItemDownloadInfo(download), 0);
        }
        database.SetChannelUpdateTime(id, stale_time);
        updater->Request(-id);
        ASSERT_TRUE(listener.wait_updated(++answered));

        std::vector<std::string> marked;
        for (const auto& row : rows(id))
            if (row.mark_delete)
                marked.push_back(row.title);
        ASSERT_EQ(marked.size(), c.marked);
        // The rows written first are the oldest; those with downloads are kept.
        for (std::size_t i = 0; i < c.marked; ++i)
            EXPECT_EQ(marked[i], before[static_cast<std::size_t>(c.with_downloads) + i].title);
    }
}

TEST_F(CRSSUpdaterTest, PurgeRemovesItemsTasksAndFilesAndDisablesPredefinedChannels)
{
    const std::string file = download_folder + "/video.flv";
    std::ofstream(file) << "bytes";
    const auto mark = [](RSSData::tRSSChannel& c) { c.mark_delete = true; };
    const auto predefined = add_channel("/feed", base_time, [](RSSData::tRSSChannel& c) {
        c.mark_delete = true;
        c.is_predefine = true;
    });
    const auto own = add_channel("/feed", base_time, mark);
    const auto kept = add_channel("/feed", base_time);
    for (auto id : {predefined, own, kept}) {
        RSSData::tRSSItem item;
        item.folder_id = folder_id;
        item.channel_id = id;
        item.title = "clip " + std::to_string(id);
        item.link = "http://e.com/" + std::to_string(id);
        item.media_content_url = "http://changed.example.com/" + std::to_string(id);
        item.original_media_url = "http://m.com/" + std::to_string(id);
        if (id == predefined)
            item.local_media_file_path = file;
        ASSERT_EQ(database.InsertItem(&item), 0);
    }
    start();   // the first pass of the worker purges
    for (int i = 0; i < 6000 && !(channel(predefined).disabled && channel(own).id == 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    updater->Stop();

    EXPECT_TRUE(channel(predefined).disabled);
    EXPECT_EQ(channel(own).id, 0) << "a channel of the user's is deleted";
    EXPECT_TRUE(rows(predefined).empty());
    EXPECT_EQ(rows(kept).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(file));
    std::vector<std::string> removed = ostrel.removed;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::string>{"http://m.com/" + std::to_string(predefined) + "|clip " +
                                                     std::to_string(predefined),
                                                 "http://m.com/" + std::to_string(own) + "|clip " +
                                                     std::to_string(own)}));
}

TEST_F(CRSSUpdaterTest, EveryRequestIsAnsweredWithOnUpdated)
{
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(1)));
    const auto missing_feed = add_channel("/gone", base_time);
    const auto no_address = add_channel("", base_time);
    const auto vetoed = add_channel("/feed", base_time);
    const auto good = add_channel("/feed", base_time);
    listener.veto(vetoed);
    start();
    const std::pair<std::int64_t, bool> expected[] = {
        {missing_feed, false}, {no_address, false}, {vetoed, false}, {999999, false}, {good, true}};
    for (const auto& [id, success] : expected) {
        updater->Request(id);
        ASSERT_TRUE(listener.wait_updated(listener.updated().size() + 1));
    }
    const std::vector<std::pair<std::int64_t, bool>> answers(std::begin(expected), std::end(expected));
    EXPECT_EQ(listener.updated(), answers);
    EXPECT_TRUE(rows(vetoed).empty());
}

namespace {

// Asks for another channel while the fifth item of a refresh is being written.
class InterruptAtFifth final : public IDataActionListener {
public:
    InterruptAtFifth(CRSSUpdater*& updater, std::int64_t other) : m_updater(updater), m_other(other) {}
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int action, int kind, std::int64_t, int value) override
    {
        if (action == DataAction::Insert && kind == DataKind::Item && value == 0 && ++m_inserts == 5)
            m_updater->Request(m_other);
    }

private:
    CRSSUpdater*& m_updater;
    const std::int64_t m_other;
    int m_inserts = 0;   // the worker's thread only
};

}

TEST_F(CRSSUpdaterTest, BrokenOffRefreshKeepsWhatItWroteAndFreesTheDatabase)
{
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(40)));
    site.serve("/small", feed_testing::feed_xml(feed_testing::numbered_items(1)));
    const auto big = add_channel("/feed", base_time);
    const auto other = add_channel("/small", base_time);
    CRSSUpdater* target = nullptr;
    InterruptAtFifth interrupter(target, other);
    database.AddListener(&interrupter);
    start();
    target = updater.get();
    updater->Request(big);
    ASSERT_TRUE(listener.wait_updated(2));
    database.RemoveListener(&interrupter);

    EXPECT_EQ(listener.updated(), (std::vector<std::pair<std::int64_t, bool>>{{big, false}, {other, true}}));
    EXPECT_EQ(rows(big).size(), 5u) << "what was written before the break is committed";
    EXPECT_EQ(channel(big).last_update_time, base_time) << "an unfinished refresh is not a refresh";
    auto shared = plat::NamedMutex::open(CRSSDBMgr::MutexName);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->wait(10000), WAIT_OBJECT_0);
    shared->release();
}

TEST_F(CRSSUpdaterTest, RefreshSkipsTheTemporaryChannelQuietly)
{
    site.serve("/feed", feed_testing::feed_xml(feed_testing::numbered_items(1)));
    add_channel("/feed", stale_time, [](RSSData::tRSSChannel& c) {
        c.title = "Default";
        c.feed_url = "TempChannel";
        c.is_predefine = true;
    });
    const auto real = add_channel("/feed", stale_time);
    plat::DebugCapture capture;
    start();
    updater->RequestAll();
    ASSERT_TRUE(listener.wait_updated(1));
    EXPECT_EQ(listener.begun(), (std::vector<std::int64_t>{real}));
    EXPECT_EQ(listener.updated(), (std::vector<std::pair<std::int64_t, bool>>{{real, true}}));
    EXPECT_FALSE(capture.contains("Script Error")) << "no script ran for the temporary channel";
}

TEST_F(CRSSUpdaterTest, DeletedItemsTakeAlongOnlyFilesOfTheProgramsFolders)
{
    namespace fs = std::filesystem;
    const std::string cache = modules.folder() + "/cache", outside = modules.folder() + "/elsewhere";
    fs::create_directories(cache);
    fs::create_directories(outside);
    fs::create_directories(download_folder + "/sub");
    fs::create_symlink(outside, download_folder + "/linked");
    fs::create_symlink(outside + "/target.flv", download_folder + "/link.flv");
    const struct {
        const char* name;
        std::string path;       // the row's local media file
        std::string file;       // the file that path reaches, made before the purge
        bool removed;
    } cases[] = {
        {"in the download folder", download_folder + "/a.flv", download_folder + "/a.flv", true},
        {"in a folder below it", download_folder + "/sub/b.flv", download_folder + "/sub/b.flv", true},
        {"in the cache folder", cache + "/c.flv", cache + "/c.flv", true},
        {"elsewhere", outside + "/d.flv", outside + "/d.flv", false},
        {"out through ..", download_folder + "/../elsewhere/e.flv", outside + "/e.flv", false},
        {"out through a linked folder", download_folder + "/linked/f.flv", outside + "/f.flv", false},
        {"a link to a file elsewhere", download_folder + "/link.flv", outside + "/target.flv", false},
        {"a relative path", "elsewhere/g.flv", outside + "/g.flv", false},
    };
    const auto id = add_channel("", base_time, [](RSSData::tRSSChannel& c) { c.mark_delete = true; });
    for (const auto& c : cases) {
        std::ofstream(c.file) << "bytes";
        RSSData::tRSSItem item;
        item.folder_id = folder_id;
        item.channel_id = id;
        item.title = c.name;
        item.local_media_file_path = c.path;
        ASSERT_EQ(database.InsertItem(&item), 0);
    }
    plat::DebugCapture capture;
    start(25, -1, cache);   // the first pass of the worker purges the channel
    for (int i = 0; i < 6000 && channel(id).id != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    updater->Stop();
    ASSERT_EQ(channel(id).id, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fs::exists(c.file), !c.removed);
        if (!c.removed) {
            EXPECT_TRUE(capture.contains("left alone: " + c.path));
        }
    }
    EXPECT_TRUE(fs::is_symlink(download_folder + "/link.flv")) << "a link is never followed or taken";
}

TEST_F(CRSSUpdaterTest, StopEndsAStalledTransferWithoutWaitingForItsTimeOut)
{
    ASSERT_TRUE(feed_testing::set_feed_settings(std::nullopt, 600000));   // ten minutes
    site.stall("/stalled");
    const auto id = add_channel("/stalled", base_time);
    start();
    updater->Request(id);
    ASSERT_TRUE(site.wait_for_request("/stalled"));
    auto stopped = std::async(std::launch::async, [this] { updater->Stop(); });
    // Far below the time-out: the transfer was given up, not waited out.
    const bool ended = stopped.wait_for(patience) == std::future_status::ready;
    site.release();
    stopped.wait();
    EXPECT_TRUE(ended);
    EXPECT_EQ(listener.updated(), (std::vector<std::pair<std::int64_t, bool>>{{id, false}}));
}
