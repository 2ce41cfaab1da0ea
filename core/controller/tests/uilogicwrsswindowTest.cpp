// The feed window's logic inside a started controller, over the headless
// main window and a fresh Rss.db: the tree it fills, the pages it shows,
// the prefetch texts, the network state and the finished downloads.

#include "core/controller/uilogicwrsswindow.h"

#include "core/controller/uiLogic.h"

#include "core/controller/LogicCommand.h"
#include "core/controller/tests/FeedWorld.h"
#include "core/updater/CRSSUpdater.h"
#include "core/updater/IRSSUpdateListener.h"
#include "playback/devicesync/uiLogicsyncdevice.h"
#include "playback/downloads/uiLogicdownload.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/search/CSearchLauncher.h"
#include "outside/ostrel/testing/RefusingOstrel.h"
#include "platform/window/Window.h"
#include "prefetch/IPrefechManager.h"
#include "screens/builder/UIIds.h"
#include "screens/builder/tests/MainWindowRig.h"
#include "platform/base/Utf.h"
#include "platform/d3d9/ImageFile.h"
#include "screens/feedlist/wie.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/tests/FakeFeedLogic.h"
#include "screens/feedlist/tests/FeedListRig.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/tree/wrsstree.h"
#include "screens/video/wdownloadlist.h"
#include "screens/video/wdownloadlistitem.h"
#include "screens/warning/warningpageMgr.h"
#include "screens/widgets/wsearcheditbox.h"
#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/render/render.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace std::chrono_literals;

class OstrelDouble final : public ostrel_test::RefusingOstrel {
public:
    void SetOnline(BOOL online) override
    {
        std::scoped_lock hold(lock);
        online_calls.push_back(online != FALSE);
    }
    void AddListener(IBaseEventHandler* l) override { listener = l; }
    void RemoveListener(IBaseEventHandler* l) override
    {
        if (listener == l) listener = nullptr;
    }
    LONG AddTask(const DownloadTaskInfo* task, LONG kind) override
    {
        {
            std::scoped_lock hold(lock);
            added_files.push_back(task->local_path);
        }
        return RefusingOstrel::AddTask(task, kind);
    }
    // The file of the first task added whose name ends in `extension`.
    std::u16string added_file(std::u16string_view extension)
    {
        std::scoped_lock hold(lock);
        for (const std::u16string& file : added_files)
            if (file.ends_with(extension)) return file;
        return {};
    }

    std::vector<bool> calls()
    {
        std::scoped_lock hold(lock);
        return online_calls;
    }

    std::mutex lock;
    std::vector<bool> online_calls;   // guarded by lock
    std::vector<std::u16string> added_files;   // guarded by lock
    IBaseEventHandler* listener = nullptr;
};

class PrefetchDouble final : public IPrefechManager {
public:
    bool Init(IOstrel*, CRSSDBMgr*, const char*) override { return true; }
    bool Uninit() override { return true; }
    LONG Resume() override { return 0; }
    LONG Pause() override { return 0; }
    LONG Wake(LONG, LONG) override { return 0; }
    LONG Wake() override
    {
        ++wakes;
        if (on_wake) on_wake();
        return 0;
    }
    LONG IsRunning() override { return 0; }
    void SetFavouritesFlag(bool) override {}
    DWORD WorkerThread() override { return 0; }

    std::atomic<int> wakes{0};
    std::function<void()> on_wake;   // set before the controller calls, on the caller's thread
};

// A started controller over the built main window and a fresh feed database.
struct FeedWindow {
    test::MainWindowRig window;
    OstrelDouble downloader;
    PrefetchDouble prefetch;
    std::atomic<bool> network{true};
    std::unique_ptr<FeedWorld> world;          // the feed site, when a feed updater runs
    std::unique_ptr<UI::uiLogic> controller;   // last: goes before the window and the doubles

    // site: when given, a feed updater runs on a loopback feed site, which site prepares first.
    explicit FeedWindow(const std::function<void(FeedWorld&)>& site = {})
    {
        EXPECT_TRUE(window.builder.BuildUI());
        const std::string folder = window.home / "db/";
        std::filesystem::create_directories(folder);
        UI::uiLogicParts parts;
        if (site) {
            world = start_feed_world();
            EXPECT_TRUE(world);
            if (world) site(*world);
            parts.create_updater = [](CRSSDBMgr& db, IOstrel* ostrel, std::uint32_t seconds, std::int32_t items) {
                return std::make_unique<CRSSUpdater>(db, ostrel, seconds, items, std::string(), -1,
                                                     std::vector<std::string>{});
            };
        }
        parts.create_downloader = [this] { return &downloader; };
        parts.release_downloader = [](IOstrel*) {};
        parts.create_prefetch = [this] { return &prefetch; };
        parts.release_prefetch = [](IPrefechManager*) {};
        parts.database_folder = folder;
        parts.image_folder = window.home / "Image/";
        std::filesystem::create_directories(parts.image_folder);
        parts.network_test = [this] { return network.load(); };
        controller = std::make_unique<UI::uiLogic>(std::move(parts));
        controller->Init();
    }

    uilogicwrsswindow& feed() { return controller->GetFeedWindow(); }
    CRSSDBMgr& db() { return CRSSDBMgr::Instance(); }
    UI::wrsstree& tree() { return static_cast<UI::wrsstree&>(*UI::GetWidgetById(UI::ids::RssTree)); }
    UI::wrsslist& list() { return static_cast<UI::wrsslist&>(*UI::GetWidgetById(UI::ids::RssList)); }

    std::int64_t channel_titled(const std::string& title)
    {
        std::list<RSSData::tRSSChannel> found;
        db().FindChannelsByTitle(title, &found);
        return found.empty() ? -1 : found.front().id;
    }

    // n items of the channel, the first `deleted` marked deleted, every `hd`-th one marked 1280.
    void add_items(std::int64_t channel, int n, int deleted = 0, int hd = 0)
    {
        std::list<RSSData::tRSSChannel> found;
        db().GetChannels(channel, &found);
        ASSERT_EQ(found.size(), 1u);
        for (int i = 0; i < n; ++i) {
            RSSData::tRSSItem item;
            item.channel_id = channel;
            item.folder_id = found.front().folder_id();
            item.title = "clip " + std::to_string(i);
            item.link = "http://127.0.0.1/clip/" + std::to_string(i);
            item.display_description = "A clip, number " + std::to_string(i) + ".";
            item.original_media_url = "http://127.0.0.1/media/" + std::to_string(channel) + "/" + std::to_string(i);
            item.create_time = 1000 + i;
            item.mark_delete = i < deleted;
            if (hd && i % hd == 0) item.set_status(1280);
            ASSERT_EQ(db().InsertItem(&item), 0);
        }
    }

    int item_status(const std::string& media_url)
    {
        std::list<RSSData::tRSSItem> found;
        db().GetItemByMediaUrl(media_url, &found);
        return found.empty() ? -1 : found.front().status();
    }
};

std::vector<std::string> node_texts(const UI::wtreenode& node)
{
    std::vector<std::string> texts;
    for (const UI::wtreenode* child : node.GetNodes())
        texts.push_back(plat::utf16_to_utf8(static_cast<const UI::wrsstreenode*>(child)->GetNodeText()));
    return texts;
}

}  // namespace

TEST(FeedWindow, TheTreeShowsTheStandardFoldersAndTheirChannelsButNotTheTempFolder)
{
    FeedWindow w;
    EXPECT_EQ(node_texts(w.tree()), (std::vector<std::string>{"My Favorites", "Recent Viewed", "Search Result",
                                                                "My Subscriptions", "YouTube Video"}));
    const struct { const char* folder; int kind; } kinds[] = {
        {"My Favorites", 9}, {"Recent Viewed", 10}, {"Search Result", 3}, {"My Subscriptions", 7}, {"YouTube Video", 8},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.folder);
        const UI::wrsstreenode* node = w.tree().FindChild(k.folder, nullptr);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetNodeValue(), k.kind);
    }
    const UI::wrsstreenode* site = w.tree().FindChild("YouTube Video", nullptr);
    const std::vector<std::string> categories = node_texts(*site);
    EXPECT_NE(std::find(categories.begin(), categories.end(), "Most Popular"), categories.end());
    EXPECT_EQ(std::find(categories.begin(), categories.end(), "popular"), categories.end());
    EXPECT_GE(w.feed().TempFolderId(), 0);
    EXPECT_GE(w.feed().TempChannelId(), 0);
    EXPECT_EQ(w.feed().FindFolderNode(w.feed().TempFolderId()), nullptr);
    // The start page is the site's "popular" channel.
    EXPECT_EQ(w.feed().GetChannel(), w.channel_titled("popular"));
    EXPECT_EQ(w.feed().GetListKind(), FeedListKind::VideoSite);
}

TEST(FeedWindow, TitlesLoseTheSitePrefixesOnlyAtTheirStart)
{
    FeedWindow w;
    const struct { const char* title; const char16_t* shown; } cases[] = {
        {"popular", u"Most Popular"},
        {"Top Rated", u"Top Rated"},
        {"YouTube Videos matching query: red kites", u"red kites"},
        {"YouTube::Cooking", u"Cooking"},
        {"Weekly YouTube::Cooking", u"Weekly YouTube::Cooking"},
        {"Best of YouTube Videos matching query: cats", u"Best of YouTube Videos matching query: cats"},
        {"popular music", u"popular music"},
        {"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(uilogicwrsswindow::CleanTitle(c.title), c.shown);
    }
}

TEST(FeedWindow, AChannelShowsPagesOf25ItemsNotMarkedDeleted)
{
    FeedWindow w;
    const std::int64_t channel = w.channel_titled("Top Rated");
    ASSERT_GT(channel, 0);
    w.add_items(channel, 64, 4);   // 60 shown: pages of 25, 25 and 10
    const struct { int page; int rows; } cases[] = {{0, 25}, {1, 25}, {2, 10}, {3, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        ASSERT_TRUE(w.feed().ShowChannelPage(channel, c.page));
        EXPECT_EQ(w.feed().GetPageCount(), 3);
        EXPECT_EQ(w.feed().GetPage(), c.page);
        EXPECT_EQ(w.feed().GetChannel(), channel);
        EXPECT_EQ(int(w.feed().GetPageItems().size()), c.rows);
        EXPECT_EQ(w.list().GetItemCount(), c.rows);
    }
    ASSERT_TRUE(w.feed().ShowChannelPage(channel, 1));
    EXPECT_EQ(UI::GetWidgetById(UI::ids::PageText)->GetText(), u"Page 2 of 3");
    EXPECT_TRUE(static_cast<UI::wselectbtn*>(UI::GetWidgetById(UI::ids::FirstPageSelect + 1))->IsSelected());
    EXPECT_FALSE(static_cast<UI::wselectbtn*>(UI::GetWidgetById(UI::ids::FirstPageSelect))->IsSelected());
    EXPECT_FALSE(UI::GetWidgetById(UI::ids::FirstPageSelect + 3)->GetShowState());

    EXPECT_FALSE(w.feed().ShowChannelPage(987654, 0)) << "an unknown channel shows nothing";
    EXPECT_EQ(w.feed().GetChannel(), channel);

    // An empty channel: no page, no rows, no paging bar.
    const std::int64_t empty = w.channel_titled("Most Discussed");
    ASSERT_TRUE(w.feed().ShowChannelPage(empty, 0));
    EXPECT_EQ(w.feed().GetPageCount(), 0);
    EXPECT_EQ(w.list().GetItemCount(), 0);
    EXPECT_FALSE(UI::GetWidgetById(UI::ids::PageButtons)->GetShowState());
}

TEST(FeedWindow, OfflinePagesPutPrefetchedItemsFirst)
{
    FeedWindow w;
    const std::int64_t channel = w.channel_titled("Top Rated");
    w.add_items(channel, 30, 0, 10);   // items 0, 10, 20 prefetched, the oldest ones
    ASSERT_TRUE(w.feed().ShowChannelPage(channel, 0));
    EXPECT_NE(w.feed().GetPageItems().front().status(), 1280) << "online: newest first";

    w.network = false;
    for (int i = 0; i < 70 && w.feed().IsOnline(); ++i) std::this_thread::sleep_for(100ms);
    ASSERT_FALSE(w.feed().IsOnline());
    ASSERT_TRUE(w.feed().ShowChannelPage(channel, 0));
    const auto items = w.feed().GetPageItems();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(items[std::size_t(i)].status(), 1280) << i;
}

TEST(FeedWindow, FoldersPageTheirOwnLists)
{
    FeedWindow w;
    const std::int64_t channel = w.channel_titled("Top Rated");
    w.add_items(channel, 27);
    std::list<RSSData::tRSSItem> items;
    w.db().GetChannelItems(channel, &items);
    for (RSSData::tRSSItem& item : items) {
        item.mark_favorite = true;
        w.db().UpdateItem(item);
    }
    ASSERT_TRUE(w.feed().ShowFolderPage(FeedListKind::Favorites, 1, false));
    EXPECT_EQ(w.feed().GetListKind(), FeedListKind::Favorites);
    EXPECT_EQ(w.feed().GetPageCount(), 2);
    EXPECT_EQ(w.list().GetItemCount(), 2);
    EXPECT_EQ(w.feed().GetChannel(), -1);

    EXPECT_TRUE(w.feed().ShowFolderPage(FeedListKind::VideoSite, 0, false));
    EXPECT_EQ(w.list().GetItemCount(), 0);
    EXPECT_EQ(w.feed().GetPageCount(), 0);
    EXPECT_FALSE(w.feed().ShowFolderPage(FeedListKind::RecentViewed, 0, false)) << "nothing viewed yet";
}

TEST(FeedWindow, SearchResultsArePagedAsTheSearchFolder)
{
    FeedWindow w;
    auto result = std::make_unique<SearchRequest>();
    for (int i = 0; i < 30; ++i) {
        RSSData::tRSSItem item;
        item.display_description = "found " + std::to_string(i);
        item.original_media_url = "http://127.0.0.1/found/" + std::to_string(i);
        result->items.push_back(item);
    }
    ASSERT_TRUE(w.feed().ShowSearchResult(std::move(result), FeedListKind::Search, 1));
    EXPECT_EQ(w.feed().GetListKind(), FeedListKind::Search);
    EXPECT_EQ(w.feed().GetPageCount(), 2);
    EXPECT_EQ(w.list().GetItemCount(), 25);
    EXPECT_EQ(w.feed().GetSearchItems().size(), 30u);
    ASSERT_TRUE(w.feed().ShowFolderPage(FeedListKind::Search, 1, false));
    EXPECT_EQ(w.list().GetItemCount(), 5);

    // Nothing found: no rows, and the search hint while it is wanted.
    EXPECT_FALSE(w.feed().ShowSearchResult(std::make_unique<SearchRequest>(), FeedListKind::Search, 1));
    EXPECT_EQ(w.list().GetItemCount(), 0);
    EXPECT_TRUE(UI::GetWidgetById(UI::ids::SearchPrompt)->GetShowState());
}

TEST(FeedWindow, PrefetchStatusTextsFollowTheChannel)
{
    FeedWindow w;
    const std::int64_t channel = w.channel_titled("Top Rated");
    w.add_items(channel, 6, 0, 2);   // 3 of 6 prefetched
    EXPECT_EQ(w.feed().PrefetchStatusText(channel), u"") << "prefetching is off";
    EXPECT_EQ(w.feed().PrefetchStatusText(987654), u"");

    // The icon's click turns prefetching on, stores it and wakes the prefetch manager.
    UI::wrsstreenode* node = w.tree().FindChild("YouTube Video", nullptr)->FindChild(nullptr, &channel);
    ASSERT_NE(node, nullptr);
    UI::ValueEventArgs click;
    click.sender = node;
    EXPECT_TRUE(w.feed().OnPrefetchClicked(click));
    EXPECT_EQ(w.prefetch.wakes.load(), 1);
    EXPECT_EQ(w.feed().PrefetchStatusText(channel), u"Prefetching: 3 of 6 videos.");
    EXPECT_FALSE(w.feed().IsChannelPrefetched(channel));

    std::list<RSSData::tRSSItem> items;
    w.db().GetChannelItems(channel, &items);
    for (const RSSData::tRSSItem& item : items) w.db().SetItemStatus(item.id, 1280);
    EXPECT_EQ(w.feed().PrefetchStatusText(channel), u"Prefetched: 6 videos.");
    EXPECT_TRUE(w.feed().IsChannelPrefetched(channel));

    EXPECT_TRUE(w.feed().OnPrefetchClicked(click));
    EXPECT_EQ(w.feed().PrefetchStatusText(channel), u"") << "off again";
}

TEST(FeedWindow, GoingOfflineReachesTheDownloaderAndTheSearchBoxWithinATick)
{
    FeedWindow w;
    ASSERT_FALSE(w.downloader.calls().empty());
    EXPECT_TRUE(w.downloader.calls().back());
    auto& search = static_cast<wsearcheditbox&>(*UI::GetWidgetById(UI::ids::SearchBox));
    EXPECT_TRUE(search.IsOnline());

    w.network = false;
    w.feed().OnTimer();
    EXPECT_TRUE(w.downloader.calls().back()) << "the thread has not tested again yet";
    for (int i = 0; i < 70 && w.feed().IsOnline(); ++i) std::this_thread::sleep_for(100ms);
    ASSERT_FALSE(w.feed().IsOnline()) << "the next network test comes within 5 s";
    w.feed().OnTimer();
    EXPECT_FALSE(w.downloader.calls().back());
    EXPECT_FALSE(search.IsOnline());
    EXPECT_EQ(w.feed().LastOnlineState(), false);

    // The network thread is joined at exit without waiting out its 5 s.
    const auto start = std::chrono::steady_clock::now();
    w.controller.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(FeedWindow, AFinishedDownloadMarksItsItemsByQuality)
{
    const struct { const char* name; LONG quality; LONG state; int before; int after; } cases[] = {
        {"high quality", 2, 4, 0, 1280},
        {"standard", 1, 4, 0, 1024},
        {"standard keeps high", 1, 4, 1280, 1280},
        {"high over standard", 2, 4, 1024, 1280},
        {"failed", 2, 6, 0, 0},
    };
    FeedWindow w;
    const std::int64_t channel = w.channel_titled("Top Rated");
    w.add_items(channel, int(std::size(cases)));
    ASSERT_NE(w.downloader.listener, nullptr) << "the feed window hears the downloads";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string url = "http://127.0.0.1/media/" + std::to_string(channel) + "/" + std::to_string(i);
        std::list<RSSData::tRSSItem> found;
        w.db().GetItemByMediaUrl(url, &found);
        ASSERT_EQ(found.size(), 1u);
        w.db().SetItemStatus(found.front().id, c.before);
        DownloadTaskInfo task;
        task.key = url;
        task.quality = c.quality;
        w.downloader.listener->OnEvent(&task, EVT_DOWNLOAD_STATE, c.state, 0);
        EXPECT_EQ(w.item_status(url), c.after);
    }
}

TEST(FeedWindow, AFinishedDownloadOutsideTheDatabaseMarksTheSearchResult)
{
    FeedWindow w;
    auto result = std::make_unique<SearchRequest>();
    for (const char* url : {"http://127.0.0.1/found/a", "http://127.0.0.1/found/b"}) {
        RSSData::tRSSItem item;
        item.display_description = url;
        item.original_media_url = url;
        result->items.push_back(item);
    }
    ASSERT_TRUE(w.feed().ShowSearchResult(std::move(result), FeedListKind::Search, 1));
    DownloadTaskInfo task;
    task.key = "http://127.0.0.1/found/b";
    task.quality = 1;
    w.feed().OnEvent(&task, EVT_DOWNLOAD_STATE, 4, 0);
    const auto found = w.feed().GetSearchItems();
    EXPECT_EQ(found.front().status(), 0);
    EXPECT_EQ(found.back().status(), 1024);
    EXPECT_EQ(w.list().GetItem(1)->GetItem().status(), 1024) << "its row shows the mark";
}

TEST(FeedWindow, ThePromptBoxesStoreWhetherToAskAgain)
{
    FeedWindow w;
    const struct { int box; int setting; int prompt; int kind; } boxes[] = {
        {89, 18, UI::ids::MyChannelPrompt, FeedListKind::MyChannels},
        {88, 17, UI::ids::SearchPrompt, FeedListKind::Search},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.box);
        auto* box = static_cast<UI::wselectbtn*>(UI::GetWidgetById(b.box));
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->IsSelected());
        EXPECT_EQ(w.window.settings.GetMetric(b.setting), 1);
        w.feed().ShowFolderPage(b.kind, 0, false);
        EXPECT_TRUE(UI::GetWidgetById(b.prompt)->GetShowState()) << "asked while the flag is on";

        UI::MouseEventArgs press;
        box->OnMouseUp(press);   // ticked: don't ask
        ASSERT_TRUE(box->IsSelected());
        EXPECT_EQ(w.window.settings.GetMetric(b.setting), 0);
        w.feed().HidePrompts(false);
        EXPECT_FALSE(UI::GetWidgetById(b.prompt)->GetShowState());
        w.feed().ShowFolderPage(b.kind, 0, false);
        EXPECT_FALSE(UI::GetWidgetById(b.prompt)->GetShowState());

        box->OnMouseUp(press);
        EXPECT_EQ(w.window.settings.GetMetric(b.setting), 1);
    }
}

namespace {

// A widget whose end on the logic thread says every command posted before it has run.
class CommandsRun final : public UI::widget {
public:
    explicit CommandsRun(std::promise<void>& done) : UI::widget("commands-run"), m_done(done) {}
    ~CommandsRun() override { m_done.set_value(); }

private:
    std::promise<void>& m_done;
};

void settle(UI::uiLogic& controller)
{
    std::promise<void> done;
    auto run = done.get_future();
    ASSERT_TRUE(controller.PostLogicCommand(LogicCommand::DeleteWidget, WPARAM(new CommandsRun(done)), 0));
    ASSERT_EQ(run.wait_for(30s), std::future_status::ready);
}

// A tree node's click ("treenode_clicked", which the node fires once its
// fold has run) as the controller's subscriber hands it on. Called directly:
// the global subscription would outlive the test in this process.
void node_clicked(UI::uiLogic& controller, UI::wrsstreenode& node)
{
    UI::ValueEventArgs clicked;
    clicked.sender = &node;
    clicked.value = static_cast<intptr_t>(node.GetId());
    controller.OnTreeNodeClicked(clicked);
}

// Counts the database's notices of updated download rows of one item.
class DownloadRowUpdates final : public IDataActionListener {
public:
    explicit DownloadRowUpdates(std::int64_t item) : m_item(item) { CRSSDBMgr::Instance().AddListener(this); }
    ~DownloadRowUpdates() { CRSSDBMgr::Instance().RemoveListener(this); }
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int action, int kind, std::int64_t id, int) override
    {
        if (action == DataAction::Update && kind == DataKind::ItemDownloadInfo && id == m_item) ++count;
    }

    std::atomic<int> count{0};

private:
    std::int64_t m_item;
};

}  // namespace

// The network timer reads the shown page again, on the UI thread, while a
// row's part action runs on the logic thread between its holds of the widget
// lock (the favourite part wakes the prefetch manager there): every row is
// freed and made anew, one place lower under a newer item. The action finds
// its row again by its item and marks that one.
TEST(FeedWindow, ARowPartFindsItsRowAgainWhenThePageIsReadAgainMeanwhile)
{
    FeedWindow w;
    const std::int64_t channel = w.channel_titled("Top Rated");
    w.add_items(channel, 10);
    ASSERT_TRUE(w.feed().ShowChannelPage(channel, 0));
    RSSData::tRSSItem clicked;
    {
        CMutexGuard hold(UIRenderMutex());
        clicked = w.list().GetItem(4)->GetItem();
    }
    ASSERT_FALSE(clicked.mark_favorite);

    std::promise<void> read_again, woken;
    auto reading = read_again.get_future();
    w.prefetch.on_wake = [&] {
        woken.set_value();
        reading.wait();   // the logic thread holds no widget lock here
    };
    auto wake = woken.get_future();
    ASSERT_TRUE(w.controller->PostLogicCommand(LogicCommand::ListClick, UI::ids::RssList, 4 * 256 + 111));
    ASSERT_EQ(wake.wait_for(30s), std::future_status::ready);
    RSSData::tRSSItem newer;
    newer.channel_id = channel;
    newer.folder_id = clicked.folder_id;
    newer.title = "newer";
    newer.link = "http://127.0.0.1/clip/newer";
    newer.display_description = "A newer clip.";
    newer.original_media_url = "http://127.0.0.1/media/newer";
    newer.create_time = 5000;
    ASSERT_EQ(w.db().InsertItem(&newer), 0);
    ASSERT_TRUE(w.feed().ShowChannelPage(channel, 0));   // what the timer does on a network change
    read_again.set_value();
    settle(*w.controller);

    CMutexGuard hold(UIRenderMutex());
    ASSERT_EQ(w.list().GetItemCount(), 11);
    for (int i = 0; i < w.list().GetItemCount(); ++i) {
        const RSSData::tRSSItem& shown = w.list().GetItem(i)->GetItem();
        SCOPED_TRACE(shown.title);
        EXPECT_EQ(shown.mark_favorite, shown.id == clicked.id);
    }
    EXPECT_EQ(w.list().GetItem(5)->GetItem().id, clicked.id);
}

// The tree opens a channel through the logic thread; the back buttons (74,
// 86) return through the lists opened before, then stay.
TEST(FeedWindow, ATreeClickOpensAChannelAndTheBackStepsReturn)
{
    FeedWindow w;
    const std::int64_t popular = w.channel_titled("popular"), rated = w.channel_titled("Top Rated"),
                       discussed = w.channel_titled("Most Discussed");
    w.add_items(rated, 3);
    ASSERT_EQ(w.feed().GetChannel(), popular);
    UI::wrsstreenode& site = *w.tree().FindChild("YouTube Video", nullptr);
    const struct {
        const char* what;
        std::int64_t click;   // a channel's node, or 0: the command
        int command;
        std::int64_t shown;
    } steps[] = {
        {"open Top Rated", rated, 0, rated},
        {"open Most Discussed", discussed, 0, discussed},
        {"back (74)", 0, 74, rated},
        {"back (86)", 0, 86, popular},
        {"nothing before the start page", 0, 74, popular},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.click) {
            UI::wrsstreenode* node = site.FindChild(nullptr, &s.click);
            ASSERT_NE(node, nullptr);
            node_clicked(*w.controller, *node);
        } else {
            w.controller->PostUICommand(s.command);
        }
        settle(*w.controller);
        EXPECT_EQ(w.feed().GetChannel(), s.shown);
    }
    EXPECT_EQ(w.list().GetItemCount(), 0) << "the start page has no items yet";
}

// The feed window is the download manager's one listener: each event reaches
// the downloads page and the device page once, through it.
TEST(FeedWindow, ADownloadEventReachesEachPageOnce)
{
    FeedWindow w;
    ASSERT_NE(w.controller->GetDownloadLogic(), nullptr);
    ASSERT_NE(w.controller->GetSyncLogic(), nullptr);
    ASSERT_EQ(w.downloader.listener, &w.feed());
    const std::int64_t channel = w.channel_titled("Top Rated");
    // Two items of one address: a failed download takes one off the device queue per delivery.
    std::list<RSSData::tRSSChannel> found;
    w.db().GetChannels(channel, &found);
    ASSERT_EQ(found.size(), 1u);
    std::vector<RSSData::tRSSItem> twins(2);
    for (std::size_t i = 0; i < twins.size(); ++i) {
        twins[i].channel_id = channel;
        twins[i].folder_id = found.front().folder_id();
        twins[i].title = "twin " + std::to_string(i);
        twins[i].link = "http://127.0.0.1/twin/" + std::to_string(i);
        twins[i].original_media_url = "http://127.0.0.1/media/twin";
        ASSERT_EQ(w.db().InsertItem(&twins[i]), 0);
    }
    w.controller->GetDownloadLogic()->FocusCurrentItem(&twins[0]);
    for (const auto& twin : twins) w.controller->GetSyncLogic()->AddVideo(twin);
    ASSERT_EQ(w.controller->GetSyncLogic()->QueuedIds(), (std::vector<std::int64_t>{twins[0].id, twins[1].id}));

    // The device page's own download: the same address fetched into another
    // file (the player's, the prefetch's) does not move its queue.
    DownloadTaskInfo task;
    task.key = "http://127.0.0.1/media/twin";
    task.local_path = w.downloader.added_file(u".flv");
    ASSERT_FALSE(task.local_path.empty());
    const struct {
        const char* what;
        LONG code, state;
        INT_PTR percent;
        int row_updates;
        std::vector<std::int64_t> queued;
    } events[] = {
        {"progress: the download row stores it", EVT_DOWNLOAD_PROGRESS, 0, 40, 1, {twins[0].id, twins[1].id}},
        {"failed: the device queue moves on", EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0, 0, {twins[1].id}},
    };
    for (const auto& e : events) {
        SCOPED_TRACE(e.what);
        DownloadRowUpdates updates(twins[0].id);
        w.downloader.listener->OnEvent(&task, e.code, e.state, e.percent);
        EXPECT_EQ(updates.count.load(), e.row_updates);
        EXPECT_EQ(w.controller->GetSyncLogic()->QueuedIds(), e.queued);
    }
}

namespace {

// The feed updater's notices, for a test to wait on.
class UpdateNotices final : public IRSSUpdateListener {
public:
    explicit UpdateNotices(CRSSUpdater& updater) : m_updater(updater) { m_updater.AddListener(this); }
    ~UpdateNotices() { m_updater.RemoveListener(this); }
    bool OnBeginUpdate(std::int64_t) override { return true; }
    void OnUpdated(std::int64_t channel, bool success) override
    {
        std::scoped_lock hold(m_lock);
        m_seen.emplace_back(channel, success);
        m_changed.notify_all();
    }
    // Waits for a notice of the channel that came after the last wait; with
    // `stored`, for one after which the channel holds items.
    bool wait_for(std::int64_t channel, bool stored)
    {
        const auto has_items = [&] {
            int count = 0;
            CRSSDBMgr::Instance().CountChannelItems(channel, &count);
            return count > 0;
        };
        std::unique_lock hold(m_lock);
        const bool came = m_changed.wait_for(hold, 60s, [&] {
            const bool noticed =
                std::any_of(m_seen.begin(), m_seen.end(), [&](const auto& s) { return s.first == channel; });
            return noticed && (!stored || has_items());
        });
        m_seen.clear();
        return came;
    }

private:
    CRSSUpdater& m_updater;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::pair<std::int64_t, bool>> m_seen;   // guarded by m_lock
};

}  // namespace

namespace {

bool tree_busy(UI::wrsstreenode& node)
{
    if (node.GetFolderMove().IsRunning() || node.GetHighlightMove().IsRunning() || node.IsWaiting()) return true;
    for (UI::wtreenode* child : node.GetNodes())
        if (tree_busy(*static_cast<UI::wrsstreenode*>(child))) return true;
    return false;
}

// Draws the whole main window until the tree and the rows have settled, then saves it.
void save_main_window(FeedWindow& w, const char* file)
{
    constexpr int Width = 1024, Height = 576;
    UI::window& root = *UI::uiMgr::Instance().GetRoot();
    std::unique_ptr<RenderEngine::backbuffer> canvas(w.window.skin.manager.CreateBackBuffer(Width, Height, true));
    const auto frame = [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        // As the compose thread draws: the logic thread changes widgets under this lock.
        CMutexGuard drawing(UIRenderMutex());
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        UI::DrawSkin(UI::SkinPicture("black_image"), UI::frect{0, 0, Width, Height}, 1, {});
        root.Draw();
        RenderEngine::PopRenderTarget();
    };
    const auto loaded = [&] {
        for (int i = 0; i < w.list().GetItemCount(); ++i)
            if (!w.list().GetItem(i)->IsLoaded()) return false;
        return true;
    };
    for (int i = 0; i < 600 && (tree_busy(w.tree()) || !loaded()); ++i) {
        frame();
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(tree_busy(w.tree()));
    EXPECT_TRUE(loaded());
    for (int i = 0; i < 3; ++i) frame();
    const std::filesystem::path out = std::filesystem::path(FEEDWINDOW_ARTIFACTS) / file;
    std::filesystem::create_directories(out.parent_path());
    EXPECT_TRUE(UI::save_png(canvas.get(), out.c_str()));
}

// A 130 x 90 picture: a sky over a hill, in a hue of its own.
std::string thumbnail(const std::string& path, int hue)
{
    std::vector<std::uint32_t> pixels(130 * 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 130; ++x) {
            const bool hill = y > 60 - int(20 * std::sin((x + hue * 17) / 21.0));
            const std::uint32_t r = hill ? 40 + hue * 20 : 90 + y, g = hill ? 110 - hue * 8 : 120 + y,
                                b = hill ? 60 : 200 - hue * 12;
            pixels[std::size_t(y * 130 + x)] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    std::string error;
    EXPECT_TRUE(plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), 130, 90, 130, error)) << error;
    return path;
}

void click(UI::wrsstreenode& node)
{
    UI::MouseEventArgs press;
    node.OnMouseDown(press);
}

}  // namespace

// Pictures for a look: the tree open on the start channel with its first
// page, and the warning of an empty list.
TEST(FeedWindow, TheMainWindowShowsTheTreeAndAPageOfItems)
{
    test::FakeFeedLogic rows;   // the controller's part of the rows: every item playable
    rows.allow_all = true;
    FeedWindow w;
    w.list().SetLogic(&rows);
    const std::int64_t channel = w.channel_titled("popular");
    const char* const clips[] = {"Harbour seals at low tide", "Night train across the plain", "Bread in a clay oven",
                                 "A kestrel hovering", "Rain on a tin roof", "First snow in the valley"};
    std::list<RSSData::tRSSChannel> found;
    w.db().GetChannels(channel, &found);
    for (int i = 0; i < int(std::size(clips)); ++i) {
        RSSData::tRSSItem item;
        item.channel_id = channel;
        item.folder_id = found.front().folder_id();
        item.title = clips[i];
        item.local_thumb_file_path = thumbnail(w.window.home / ("thumb" + std::to_string(i) + ".png"), i);
        item.media_thumbnail_url = "file://" + item.local_thumb_file_path;
        // The row as the feed parser writes it: the picture left of the words.
        item.display_description =
            "<table class=\"item\" cellspacing=\"0\" cellpadding=\"0\"><tr><td class=\"picture\" valign=\"top\" "
            "style=\"padding:0 10px 0 0\"><img src=\"" + item.media_thumbnail_url +
            "\" width=\"130\" height=\"90\"/></td><td class=\"words\" valign=\"top\"><p class=\"title\" "
            "style=\"color:#ffffff;font-size:13px;font-weight:bold;margin:0 76px 5px 0\">" + clips[i] +
            "</p><p class=\"text\" style=\"margin:0 0 5px 0\">Among the channel's newest clips, shown a page at a "
            "time.</p><span class=\"label\">Time:</span> <span class=\"time\">" + std::to_string(i + 1) +
            ":24</span></td></tr></table>";
        item.original_media_url = "http://127.0.0.1/media/" + std::to_string(i);
        item.create_time = 5000 - i;
        ASSERT_EQ(w.db().InsertItem(&item), 0);
    }
    ASSERT_TRUE(w.feed().ShowChannelPage(channel, 0));
    ASSERT_EQ(w.list().GetItemCount(), int(std::size(clips)));
    UI::wrsstreenode& site = *w.tree().FindChild("YouTube Video", nullptr);
    click(site);
    for (int i = 0; i < 300 && tree_busy(w.tree()); ++i) w.tree().Draw();
    click(*site.FindChild(nullptr, &channel));
    // A clip half downloaded: its row covers the pane's drag hint, which goes.
    {
        CMutexGuard widgets(UIRenderMutex());
        auto* pane = dynamic_cast<UI::wdownloadlist*>(UI::GetWidgetById(UI::ids::MyDownloadList));
        ASSERT_NE(pane, nullptr);
        auto* row = new UI::wdownloadlistitem();
        ItemDownloadRecord download;
        download.id = w.list().GetItem(1)->GetItem().id;
        download.percent = 45;
        ASSERT_TRUE(row->LoadItem(download, w.db()));
        pane->AddRow(row);
    }
    save_main_window(w, "feedwindow-1.png");

    ASSERT_TRUE(w.feed().ShowFolderPage(FeedListKind::Favorites, 0, false) == false);
    ASSERT_TRUE(w.controller->GetWarningPages()->ShowPage(18, false));
    save_main_window(w, "feedwindow-2.png");
}

// A press on a row's thumbnail keeps the item's picture in a file. An item
// fetched ahead has one already, which its page shows, even when the row was
// filled before the fetch: it keeps that file, so its row finds its thumbnail
// again when the page is shown anew (a second file left the row guessing, and
// the next press missed the picture). An item without one gets its picture
// cut from the row.
TEST(FeedWindow, APressOnAThumbnailLeavesTheRowItsPicture)
{
    test::FakeFeedLogic rows;
    rows.allow_all = true;
    FeedWindow w;
    w.list().SetLogic(&rows);
    const std::int64_t channel = w.channel_titled("popular");
    std::list<RSSData::tRSSChannel> found;
    w.db().GetChannels(channel, &found);
    const struct {
        const char* what;
        const char* file;
        bool fetched;   // after the row was filled, the item's page and picture file are made local
    } cases[] = {{"fetched ahead", "ahead", true}, {"not fetched", "site", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string address = "file://" + thumbnail(w.window.home / (std::string(c.file) + ".png"), 1);
        const auto page = [&](const std::string& picture) {
            return "<div><img src=\"" + picture + "\" width=\"130\" height=\"90\"/><p>" + c.what + "</p></div>";
        };
        RSSData::tRSSItem item;
        item.channel_id = channel;
        item.folder_id = found.front().folder_id();
        item.title = c.what;
        item.media_thumbnail_url = address;
        item.display_description = page(address);
        item.original_media_url = "http://127.0.0.1/media/" + std::string(c.what);
        item.set_status(1280);
        ASSERT_EQ(w.db().InsertItem(&item), 0);
        const auto shown = [&] {
            UI::wrsslistitem* row = w.list().GetItem(0);
            return row && row->IsLoaded() && !row->GetContent()->IsThumbnailMissing();
        };
        const auto show = [&] {
            w.list().RemoveAllItems();
            EXPECT_TRUE(w.feed().ShowChannelPage(channel, 0));
            EXPECT_TRUE(test::pump_until(shown));
        };
        show();
        std::string fetched_file;
        if (c.fetched) {
            // As the prefetch manager stores a fetched picture: the page names the file.
            fetched_file = thumbnail(w.window.home / (std::string(c.file) + "-fetched.png"), 2);
            const std::string local_page = page(fetched_file);
            ASSERT_EQ(w.db().SetItemLocalImages(&local_page, &fetched_file, item.id), 0);
        }
        UI::wrsslistitem* row = w.list().GetItem(0);
        ASSERT_EQ(row->GetItem().id, item.id);
        const UI::frect thumb = row->GetThumbnailRect();
        UI::MouseEventArgs e;
        e.position = {thumb.x + 5, thumb.y + 5};
        w.controller->OnRSSItemMouseDown(row, e);
        w.controller->OnRSSItemMouseUp(row, e);

        std::list<RSSData::tRSSItem> stored;
        w.db().GetItems(item.id, &stored);
        ASSERT_EQ(stored.size(), 1u);
        const std::string file = stored.front().local_thumb_file_path;
        if (c.fetched)
            EXPECT_EQ(file, fetched_file);
        else
            EXPECT_EQ(file, UI::ThumbnailFileName(w.window.home / "Image", address));
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
        show();
        const UI::frect again = w.list().GetItem(0)->GetThumbnailRect();
        EXPECT_EQ(again.x, thumb.x);
        EXPECT_EQ(again.y, thumb.y);
        EXPECT_EQ(again.width, thumb.width);
        EXPECT_EQ(again.height, thumb.height);
        stored.front().mark_delete = true;
        ASSERT_EQ(w.db().UpdateItem(stored.front()), 0);
    }
}

// A fresh profile: the start page has nothing until its feed arrives. The
// centre shows the loading mark meanwhile, not an empty list; a fetch that
// brings nothing ends the wait with the channel's warning, and one that
// brings items fills the list.
TEST(FeedWindow, AFreshProfileWaitsForTheStartPageUnderTheLoadingMark)
{
    const std::string path = "/feeds/base/standardfeeds/most_popular";
    FeedWindow w([&](FeedWorld& site) { site.stall(path); });
    ASSERT_NE(w.controller->GetUpdater(), nullptr);
    UpdateNotices notices(*w.controller->GetUpdater());
    const auto shown = [](int id) { return UI::GetWidgetById(id)->GetShowState(); };
    const auto no_clips_shown = [&] { return w.controller->GetWarningPages()->FindPage(17)->GetShowState(); };
    const std::int64_t popular = w.channel_titled("popular");
    ASSERT_EQ(w.feed().GetChannel(), popular);
    EXPECT_TRUE(shown(UI::ids::LoadingPage));
    EXPECT_TRUE(shown(UI::ids::Loading));
    EXPECT_FALSE(shown(UI::ids::RssListWindow));
    save_main_window(w, "feedwindow-fresh.png");

    // The held fetch is cut off: nothing came.
    w.world->release();
    ASSERT_TRUE(notices.wait_for(popular, false));
    settle(*w.controller);
    EXPECT_FALSE(shown(UI::ids::LoadingPage));
    EXPECT_TRUE(no_clips_shown());
    EXPECT_EQ(w.list().GetItemCount(), 0);

    // Opened again from the tree, with the feed served: the page fills.
    w.world->serve_feed(path, 30);
    UI::wrsstreenode& site = *w.tree().FindChild("YouTube Video", nullptr);
    node_clicked(*w.controller, *site.FindChild(nullptr, &popular));
    ASSERT_TRUE(notices.wait_for(popular, true));
    settle(*w.controller);
    EXPECT_FALSE(shown(UI::ids::LoadingPage));
    EXPECT_TRUE(shown(UI::ids::RssListWindow));
    EXPECT_FALSE(no_clips_shown());
    EXPECT_EQ(w.feed().GetChannel(), popular);
    EXPECT_EQ(w.list().GetItemCount(), 25);
    EXPECT_EQ(w.feed().GetPageCount(), 2);
}
