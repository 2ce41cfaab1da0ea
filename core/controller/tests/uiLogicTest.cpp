#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"

#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/regutil/CUTILregEx.h"
#include "core/search/CSearchLauncher.h"
#include "core/updater/CRSSUpdater.h"
#include "core/controller/tests/FeedWorld.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "prefetch/IPrefechManager.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/widget.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int SyncId = 9999;   // a UI command the tests wait for

// Writes down every call as a line; the feed view's state is the test's.
class Handlers final : public UI::uiLogicHandlers {
public:
    void OnUICommand(int id) override
    {
        if (m_slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        add(id == SyncId ? "sync" : "ui " + std::to_string(id));
    }
    void OpenPath(const std::u16string& text) override { add("open " + std::string(text.begin(), text.end())); }
    void ToggleVideoView() override { add("toggle"); }
    void OnFeedListClick(int row, int part) override { add("list " + std::to_string(row) + " " + std::to_string(part)); }
    void SetVolume(int position) override { add("volume " + std::to_string(position)); }
    void Seek(int position) override { add("seek " + std::to_string(position)); }
    void OnChannelUpdated(std::int64_t channel) override { add("updated " + std::to_string(channel)); }
    void ShowSearchResult(std::unique_ptr<SearchRequest> request) override { add(request ? "search" : "search null"); }
    void OnChannelAdded(std::int64_t channel) override { add("added " + std::to_string(channel)); }
    void OnChannelDeleted(std::int64_t channel) override { add("deleted " + std::to_string(channel)); }
    void OnTreeNodeClicked(UI::EventArgs& e) override { add("node " + (e.sender ? e.sender->GetName() : "")); }
    std::int64_t ShownChannel() override { return shown; }
    bool ItemListHidden() override { return list_hidden; }

    // Every line so far, after the commands posted before this call have run.
    std::vector<std::string> settle(UI::uiLogic& controller)
    {
        controller.PostUICommand(SyncId);
        std::unique_lock hold(m_lock);
        m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_syncs > 0; });
        --m_syncs;
        std::vector<std::string> lines;
        lines.swap(m_lines);
        return lines;
    }
    std::vector<std::string> take()
    {
        std::scoped_lock hold(m_lock);
        std::vector<std::string> lines;
        lines.swap(m_lines);
        return lines;
    }
    void set_slow() { m_slow = true; }

    std::atomic<std::int64_t> shown{-1};
    std::atomic<bool> list_hidden{true};

private:
    void add(std::string line)
    {
        std::scoped_lock hold(m_lock);
        if (line == "sync")
            ++m_syncs;
        else
            m_lines.push_back(std::move(line));
        m_changed.notify_all();
    }

    std::atomic<bool> m_slow{false};
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;   // guarded by m_lock
    int m_syncs = 0;                    // guarded by m_lock
};

// What the controller asked of its download manager.
class OstrelDouble final : public IOstrel {
public:
    BOOL Init(const char* folder, LONG) override { return this->folder = folder, TRUE; }
    void SetMultiSource(BOOL on) override { multi = on; }
    void SetOnline(BOOL) override {}
    LONG GetActiveCount() override { return 0; }
    void AddListener(IBaseEventHandler*) override {}
    void RemoveListener(IBaseEventHandler*) override {}
    LONG AddTask(const DownloadTaskInfo*, LONG) override { return OSTREL_FAILURE; }
    LONG RemoveTask(const DownloadTaskInfo*, const char*) override { return OSTREL_FAILURE; }
    LONG StopTransfer(const DownloadTaskInfo*, LONG) override { return OSTREL_FAILURE; }
    LONG MoveTransfer(const DownloadTaskInfo*, LONG, LONGLONG) override { return OSTREL_FAILURE; }
    IOstrelItemStore* GetItemStore() override { return nullptr; }
    LONG Start(LONG, const char*, LONG) override { return OSTREL_FAILURE; }
    LONG Pause(const char*) override { return OSTREL_FAILURE; }
    LONG Resume(const char*) override { return OSTREL_FAILURE; }

    std::string folder;
    std::optional<BOOL> multi;
    bool released = false;
};

class PrefetchDouble final : public IPrefechManager {
public:
    bool Init(IOstrel* downloader, CRSSDBMgr* database, const char* images) override
    {
        calls += "init(" + std::string(downloader ? "ostrel" : "null") + "," + (database ? "db" : "null") + "," +
                 images + ") ";
        return true;
    }
    bool Uninit() override { return calls += "uninit ", true; }
    LONG Resume() override { return calls += "resume ", 0; }
    LONG Pause() override { return calls += "pause ", 0; }
    LONG Wake(LONG, LONG) override { return 0; }
    LONG Wake() override { return 0; }
    LONG IsRunning() override { return 0; }
    void SetFavouritesFlag(bool on) override { calls += on ? "favourites(1) " : "favourites(0) "; }
    DWORD WorkerThread() override { return 0; }

    std::string calls;
};

struct UpdaterArgs {
    std::uint32_t seconds = 0;
    std::int32_t items = 0;
    bool asked = false;
};

class Controller : public ::testing::Test {
protected:
    void SetUp() override { UI::uiLogic::SubscribeEvents(); }

    UI::uiLogicParts parts(bool with_updater = false)
    {
        UI::uiLogicParts p;
        p.create_downloader = [this] { return &ostrel; };
        p.release_downloader = [this](IOstrel*) { ostrel.released = true; };
        p.create_prefetch = [this] { return &prefetch; };
        p.release_prefetch = [this](IPrefechManager*) { prefetch.calls += "release"; };
        p.create_updater = [this, with_updater](CRSSDBMgr& db, IOstrel* o, std::uint32_t seconds, std::int32_t items) {
            updater = {seconds, items, true};
            return with_updater ? std::make_unique<CRSSUpdater>(db, o, seconds, items, folder / "cache", 1024,
                                                                std::vector<std::string>{})
                                : nullptr;
        };
        p.download_folder = folder / "downloads";
        p.database_folder = folder.path() + "/";
        p.image_folder = folder / "Image";
        p.handlers = &handlers;
        return p;
    }

    static void set_value(const char16_t* name, DWORD value)
    {
        CUTILregEx(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", KEY_READ | KEY_WRITE).SetDWORD(name, value);
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    Handlers handlers;
    OstrelDouble ostrel;
    PrefetchDouble prefetch;
    UpdaterArgs updater;
};

TEST_F(Controller, CommandsReachTheirHandlersOnlyForTheirWidgets)
{
    UI::uiLogic controller(parts());
    controller.Init();
    controller.SetDisplayMode(UI::DisplayMode::ViewFeeds);
    handlers.shown = 77;
    const struct {
        UINT code;
        WPARAM wparam;
        LPARAM lparam;
        const char* line;   // null: nothing reaches the handlers
    } cases[] = {
        {LogicCommand::UICommand, 0, 0, nullptr},
        {LogicCommand::UICommand, 41, 0, "ui 41"},
        {LogicCommand::WidgetDoubleClick, 2, 0, "toggle"},
        {LogicCommand::WidgetDoubleClick, 3, 0, nullptr},
        {LogicCommand::WidgetDoubleClick, 0, 0, nullptr},
        {LogicCommand::ListClick, 106, 3 * 256 + 2, "list 3 2"},
        {LogicCommand::ListClick, 104, 3 * 256 + 2, nullptr},
        {LogicCommand::VolumeValue, 57, 40, "volume 40"},
        {LogicCommand::VolumeValue, 62, 40, nullptr},
        {LogicCommand::SeekValue, 62, 1234, "seek 1234"},
        {LogicCommand::SeekValue, 57, 1234, nullptr},
        {LogicCommand::ProgressMoved, 62, 5, nullptr},
        {LogicCommand::WindowClicked, 62, 0, nullptr},
        {LogicCommand::ChannelUpdated, 77, 0, "updated 77"},
        {LogicCommand::ChannelUpdated, 78, 0, nullptr},
        {23, 41, 0, nullptr},
        {1000, 41, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " id " << c.wparam);
        ASSERT_TRUE(controller.PostLogicCommand(c.code, c.wparam, c.lparam));
        const auto lines = handlers.settle(controller);
        EXPECT_EQ(lines, c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    }
}

TEST_F(Controller, PayloadsGoToTheirHandlerOrAreFreed)
{
    UI::uiLogic controller(parts());
    controller.Init();
    auto* text = new char16_t[]{u'"', u'a', u'"', 0};
    controller.PostLogicCommand(LogicCommand::OpenPath, WPARAM(text), 0);
    controller.PostLogicCommand(LogicCommand::SearchResult, WPARAM(new SearchRequest), 0);
    controller.PostLogicCommand(LogicCommand::DeleteWidget, WPARAM(new UI::widget("gone")), 0);
    EXPECT_EQ(handlers.settle(controller), (std::vector<std::string>{"open \"a\"", "search"}));
    // Without handlers the commands still free what they carry (the leak checker sees the rest).
    UI::uiLogicParts bare = parts();
    bare.handlers = nullptr;
    UI::uiLogic alone(std::move(bare));
    alone.Init();
    alone.PostLogicCommand(LogicCommand::OpenPath, WPARAM(new char16_t[]{u'x', 0}), 0);
    alone.PostLogicCommand(LogicCommand::SearchResult, WPARAM(new SearchRequest), 0);
}

TEST_F(Controller, GlobalEventsBecomeCommandsByTheSendersUIId)
{
    UI::uiLogic controller(parts());
    controller.Init();
    UI::widget video("videowindow"), list("rssitemlist"), volume("volumeslider"), seek("seekbar"), play("btnplay"),
        unknown("nobody");
    UI::RegisterWidget("videowindow", 2, &video);
    UI::RegisterWidget("rssitemlist", 106, &list);
    UI::RegisterWidget("volumeslider", 57, &volume);
    UI::RegisterWidget("seekbar", 62, &seek);
    UI::RegisterWidget("btnplay", 12, &play);
    const struct {
        const char* event;
        UI::widget* sender;
        intptr_t value, reserved;
        bool handled;
        const char* line;
    } cases[] = {
        {"button_clicked", &play, 0, 0, false, "ui 12"},
        {"selectbtn_clicked", &play, 0, 0, false, "ui 12"},
        {"button_clicked", &unknown, 0, 0, false, nullptr},
        {"button_clicked", nullptr, 0, 0, false, nullptr},
        {"widget_doubleclick", &video, 0, 0, false, "toggle"},
        {"list_click", &list, 4, 1, true, "list 4 1"},
        {"slider_moveto", &volume, 33, 0, true, "volume 33"},
        {"progressbar_moveto", &seek, 500, 0, true, nullptr},
        {"progressbar_click", &seek, 500, 0, true, "seek 500"},
        {"window_click", &play, 0, 0, false, nullptr},
        {"treenode_clicked", &play, 0, 0, false, "node btnplay"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        UI::ValueEventArgs e;
        e.sender = c.sender;
        e.value = c.value;
        e.reserved = c.reserved;
        UI::GlobalEventSet::Instance().GetEvent(c.event, true)->Fire(e);
        EXPECT_EQ(bool(e.handled), c.handled);
        EXPECT_EQ(handlers.settle(controller), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    }
    for (UI::widget* w : {&video, &list, &volume, &seek, &play})
        UI::UnregisterWidget(w);
}

TEST_F(Controller, AnUpdateOfTheShownChannelRefreshesItOnlyWhenTheFeedViewShowsIt)
{
    UI::uiLogic controller(parts());
    controller.Init();
    handlers.shown = 5;
    const struct {
        std::int64_t channel;
        bool success;
        DWORD mode;
        bool list_hidden;
        bool refreshed;
    } cases[] = {
        {5, true, UI::DisplayMode::ViewFeeds, true, true},
        {5, true, UI::DisplayMode::Both, true, true},
        {5, false, UI::DisplayMode::ViewFeeds, true, false},
        {6, true, UI::DisplayMode::ViewFeeds, true, false},
        {5, true, UI::DisplayMode::PlayVideo, true, false},
        {5, true, UI::DisplayMode::ViewFeeds, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channel << " " << c.success << " " << c.mode << " " << c.list_hidden);
        controller.SetDisplayMode(c.mode);
        handlers.list_hidden = c.list_hidden;
        controller.OnUpdated(c.channel, c.success);
        EXPECT_EQ(handlers.settle(controller),
                  c.refreshed ? std::vector<std::string>{"updated 5"} : std::vector<std::string>{});
    }
}

TEST_F(Controller, DatabaseNoticesOfChannelsReachTheTreeOnlyAfterAWriteThatWorked)
{
    UI::uiLogic controller(parts());
    controller.Init();
    const struct {
        int action, kind, value;
        const char* line;
    } cases[] = {
        {DataAction::Insert, DataKind::Channel, 0, "added 9"},
        {DataAction::Delete, DataKind::Channel, 0, "deleted 9"},
        {DataAction::Insert, DataKind::Channel, 19, nullptr},   // SQLITE_CONSTRAINT: nothing was added
        {DataAction::Delete, DataKind::Channel, 5, nullptr},
        {DataAction::Update, DataKind::Channel, 0, nullptr},
        {DataAction::Delete, DataKind::Folder, 0, nullptr},
        {DataAction::Insert, DataKind::Item, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.action << " " << c.kind << " " << c.value);
        controller.OnDataAction(c.action, c.kind, 9, c.value);
        EXPECT_EQ(handlers.take(), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    }
}

TEST_F(Controller, InitTakesItsSettingsFromTheRegistry)
{
    const struct {
        std::optional<DWORD> items, minutes, multi, enable, favourites;
        std::int32_t expect_items;
        std::uint32_t expect_seconds;
        BOOL expect_multi;
        const char* expect_prefetch;
    } cases[] = {
        {{}, {}, {}, {}, {}, 200, 3600, TRUE, "favourites(1) resume "},
        {24, 10, 2, 0, 0, 200, 600, FALSE, "favourites(0) pause "},
        {25, 1, 3, 1, 1, 25, 60, TRUE, "favourites(1) resume "},
        {500, 60, 4, 7, 2, 500, 3600, FALSE, "favourites(1) resume "},
        {501, 60, 3, 1, 1, 200, 3600, TRUE, "favourites(1) resume "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "items " << c.expect_items);
        plat::TemporaryRegistry fresh;
        const std::pair<const char16_t*, std::optional<DWORD>> values[] = {
            {u"RSSItemNumber", c.items}, {u"RetrieveRSSTime", c.minutes}, {u"MultiDownCount", c.multi},
            {u"EnablePrefetch", c.enable}, {u"PrefetchMyFavorites", c.favourites}};
        for (const auto& [name, value] : values)
            if (value)
                set_value(name, *value);
        prefetch.calls.clear();
        ostrel.multi.reset();
        {
            UI::uiLogic controller(parts());
            controller.Init();
            EXPECT_TRUE(controller.FeedsProblem().empty()) << controller.FeedsProblem();
            EXPECT_EQ(controller.GetDownloader(), &ostrel);
            EXPECT_EQ(controller.GetPrefetchManager(), &prefetch);
        }
        EXPECT_EQ(updater.items, c.expect_items);
        EXPECT_EQ(updater.seconds, c.expect_seconds);
        EXPECT_EQ(ostrel.multi, c.expect_multi);
        EXPECT_EQ(ostrel.folder, folder / "downloads");
        EXPECT_TRUE(ostrel.released);
        EXPECT_EQ(prefetch.calls, "init(ostrel,db," + folder / "Image" + ") " + c.expect_prefetch +
                                      "pause uninit release");
    }
}

TEST_F(Controller, AFeedDatabaseThatCannotBeOpenedLeavesTheProgramWithoutFeeds)
{
    std::filesystem::create_directories(folder / "Rss.db");   // a folder where the file should be
    UI::uiLogic controller(parts());
    controller.Init();
    EXPECT_NE(controller.FeedsProblem().find("Rss.db"), std::string::npos);
    EXPECT_FALSE(updater.asked);
    EXPECT_EQ(controller.GetPrefetchManager(), nullptr);
    EXPECT_EQ(controller.GetDownloader(), &ostrel);
    // Commands still run.
    controller.PostUICommand(3);
    EXPECT_EQ(handlers.settle(controller), std::vector<std::string>{"ui 3"});
}

TEST_F(Controller, GoesWhileCommandsTheUpdaterAndASearchRun)
{
    const auto feeds = start_feed_world();
    ASSERT_TRUE(feeds);
    handlers.set_slow();
    {
        UI::uiLogic controller(parts(true));
        controller.Init();
        ASSERT_NE(controller.GetUpdater(), nullptr);
        controller.GetSearch()->StartSearch(u"harbour", "YouTube");
        std::vector<std::thread> posters;
        for (int p = 0; p < 4; ++p)
            posters.emplace_back([&] {
                for (int i = 1; i <= 50; ++i)
                    controller.PostLogicCommand(LogicCommand::OpenPath, WPARAM(new char16_t[]{u'x', 0}), 0);
            });
        for (auto& t : posters)
            t.join();
        EXPECT_EQ(UI::uiLogic::Instance(), &controller);
    }
    EXPECT_EQ(UI::uiLogic::Instance(), nullptr);
}

}
