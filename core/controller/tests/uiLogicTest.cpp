#include "components/common/regutil/ProgramKey.h"
#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"

#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/regutil/CUTILregEx.h"
#include "core/search/CSearchLauncher.h"
#include "core/updater/CRSSUpdater.h"
#include "core/controller/tests/CallLog.h"
#include "core/controller/tests/FeedWorld.h"
#include "outside/ostrel/testing/RefusingOstrel.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/window/Cursor.h"
#include "platform/window/Window.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "prefetch/IPrefechManager.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/widget.h"

#include "platform/base/DebugLog.h"

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

// Writes down every call of the feed window and the play logic as a line;
// the feed view's state is the test's.
class Handlers final : public UI::uiLogicFeedWindow, public CallLog {
public:
    void OnChannelUpdated(std::int64_t channel) override { add("updated " + std::to_string(channel)); }
    // A null request is the tests' marker that the commands before it ran.
    void ShowSearchResult(std::unique_ptr<SearchRequest> request) override { add(request ? "search" : "sync"); }
    void OnChannelAdded(std::int64_t channel) override { add("added " + std::to_string(channel)); }
    void OnChannelDeleted(std::int64_t channel) override { add("deleted " + std::to_string(channel)); }
    void OnTreeNodeClicked(UI::EventArgs& e) override { add("node " + (e.sender ? e.sender->GetName() : "")); }
    std::int64_t ShownChannel() override { return shown; }
    bool ItemListHidden() override { return list_hidden; }
    UI::FeedListState ShownList() override { return list(); }
    bool AllowsAllItems() override { return false; }
    int PageButtonsPerGroup() override { return 10; }
    bool OpenPage(const UI::FeedListState& l, int page) override
    {
        add("page " + std::to_string(l.kind) + " " + std::to_string(page));
        std::scoped_lock hold(m_lock);
        m_list.page = page;
        return true;
    }
    std::vector<RSSData::tRSSItem> TreeNodeItems() override { return {}; }
    void SetTreeNodeItems(std::vector<RSSData::tRSSItem>) override {}
    void SetPageCount(int pages) override { add("pages " + std::to_string(pages)); }
    void SelectPageButton(int page) override { add("button " + std::to_string(page)); }
    void ClearView() override { add("clear"); }
    void ShowWarningPage(int page) override { add("warning " + std::to_string(page)); }
    void RefreshItem(const RSSData::tRSSItem& item) override { add("refresh " + item.title); }
    bool OpenPreviousNode() override { return add("back"), true; }
    void DropChannelNode(std::int64_t channel) override { add("drop " + std::to_string(channel)); }
    void HideSearchTips() override { add("tips"); }

    std::vector<std::string> take()
    {
        std::scoped_lock hold(m_lock);
        std::vector<std::string> lines;
        lines.swap(m_lines);
        return lines;
    }
    void set_slow() { m_slow = true; }

    void add(std::string line)
    {
        if (m_slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        CallLog::add(std::move(line));
    }

    std::atomic<std::int64_t> shown{-1};
    std::atomic<bool> list_hidden{true};

private:
    std::atomic<bool> m_slow{false};
};

// The play logic of files and feed items; its calls go to the handlers' lines.
class PlayLogicDouble final : public UI::uiLogicFilePlayBase {
public:
    explicit PlayLogicDouble(Handlers& log) : m_log(log) {}
    void InitEventNames() override {}
    void CreateController() override {}
    void ReleaseController() override { m_log.add("release"); }
    void Stop() override { m_log.add("stop"); }
    void Pause() override { m_log.add("pause"); }
    void Play() override { m_log.add("play"); }
    void Replay() override { m_log.add("replay"); }
    bool StopPlay() override { return m_log.add("stop play"), true; }
    bool Resume() override { return m_log.add("resume"), true; }
    bool Restart() override { return m_log.add("restart"), true; }
    void Spare11() override {}
    void Spare12() override {}
    void SetVolume(int percent) override { m_log.add("volume " + std::to_string(percent)); }
    int GetVolume() override { return 0; }
    void Seek(LONGLONG position) override { m_log.add("seek " + std::to_string(position)); }
    LONG OnEvent(void*, LONG, LONG, intptr_t) override { return 0; }
    bool PlayFile(const std::u16string& path) override
    {
        return m_log.add("file " + std::string(path.begin(), path.end())), true;
    }
    bool OpenFile() override { return m_log.add("open file"), true; }
    bool PlayVideoItem(const RSSData::tRSSItem& item) override { return m_log.add("item " + item.title), true; }

private:
    Handlers& m_log;
};

// What the controller asked of its download manager.
class OstrelDouble final : public ostrel_test::RefusingOstrel {
public:
    BOOL Init(const char* folder, LONG) override { return this->folder = folder, TRUE; }
    void SetMultiSource(BOOL on) override { multi = on; }

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
        p.feed_window = &handlers;
        p.create_file_play = [this] { return std::make_unique<PlayLogicDouble>(handlers); };
        // The play-logic kind's notice to the builder says nothing these tests look at.
        p.post_to_main = [this](UINT message, WPARAM w, LPARAM) {
            if (message != 17414)
                handlers.add("main " + std::to_string(message) + " " + std::to_string(w));
        };
        p.start_program = [this](const std::vector<std::string>& args) {
            std::string line = "run";
            for (const auto& a : args) line += " " + a;
            handlers.add(line);
            return true;
        };
        p.members_page = "http://127.0.0.1:9/members";
        return p;
    }

    static void set_value(const char16_t* name, DWORD value)
    {
        CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE).SetDWORD(name, value);
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    Handlers handlers;
    OstrelDouble ostrel;
    PrefetchDouble prefetch;
    UpdaterArgs updater;
};

// The play logic exists once something played.
void play_a_file(UI::uiLogic& controller)
{
    controller.PostLogicCommand(LogicCommand::OpenPath, WPARAM(new char16_t[]{u'"', u'a', u'"', 0}), 0);
}

TEST_F(Controller, CommandsReachTheirHandlersOnlyForTheirWidgets)
{
    UI::uiLogic controller(parts());
    controller.Init();
    play_a_file(controller);
    EXPECT_EQ(handlers.settle(controller), (std::vector<std::string>{"file a"}));
    handlers.shown = 77;
    const struct {
        UINT code;
        WPARAM wparam;
        LPARAM lparam;
        const char* line;   // null: nothing reaches the feed window or the play logic
        DWORD mode;         // the display mode after it
    } cases[] = {
        {LogicCommand::UICommand, 0, 0, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::UICommand, 34, 0, "play", UI::DisplayMode::ViewFeeds},
        {LogicCommand::WidgetDoubleClick, 2, 0, nullptr, UI::DisplayMode::PlayVideo},
        {LogicCommand::WidgetDoubleClick, 3, 0, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::WidgetDoubleClick, 0, 0, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::ListClick, 106, 3 * 256 + 2, nullptr, UI::DisplayMode::ViewFeeds},   // no such row
        {LogicCommand::ListClick, 104, 3 * 256 + 2, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::VolumeValue, 57, 40, "volume 40", UI::DisplayMode::ViewFeeds},
        {LogicCommand::VolumeValue, 62, 40, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::SeekValue, 62, 1234, "seek 1234", UI::DisplayMode::ViewFeeds},
        {LogicCommand::SeekValue, 57, 1234, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::ProgressMoved, 62, 5, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::WindowClicked, 62, 0, nullptr, UI::DisplayMode::ViewFeeds},
        {LogicCommand::ChannelUpdated, 77, 0, "updated 77", UI::DisplayMode::ViewFeeds},
        {LogicCommand::ChannelUpdated, 78, 0, nullptr, UI::DisplayMode::ViewFeeds},
        {23, 41, 0, nullptr, UI::DisplayMode::ViewFeeds},
        {1000, 41, 0, nullptr, UI::DisplayMode::ViewFeeds},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " id " << c.wparam);
        controller.SetDisplayMode(UI::DisplayMode::ViewFeeds);
        ASSERT_TRUE(controller.PostLogicCommand(c.code, c.wparam, c.lparam));
        const auto lines = handlers.settle(controller);
        EXPECT_EQ(lines, c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
        EXPECT_EQ(controller.GetDisplayMode(), c.mode);
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
    EXPECT_EQ(handlers.settle(controller), (std::vector<std::string>{"file a", "search"}));
    // Without a feed window the commands still free what they carry (the leak checker sees the rest).
    UI::uiLogicParts bare = parts();
    bare.feed_window = nullptr;
    UI::uiLogic alone(std::move(bare));
    alone.Init();
    alone.PostLogicCommand(LogicCommand::OpenPath, WPARAM(new char16_t[]{u'x', 0}), 0);
    alone.PostLogicCommand(LogicCommand::SearchResult, WPARAM(new SearchRequest), 0);
}

TEST_F(Controller, GlobalEventsBecomeCommandsByTheSendersUIId)
{
    UI::uiLogic controller(parts());
    controller.Init();
    play_a_file(controller);
    handlers.settle(controller);
    UI::widget video("videowindow"), list("rssitemlist"), volume("volumeslider"), seek("seekbar"), play("btnplay"),
        unknown("nobody");
    UI::RegisterWidget("videowindow", 2, &video);
    UI::RegisterWidget("rssitemlist", 106, &list);
    UI::RegisterWidget("volumeslider", 57, &volume);
    UI::RegisterWidget("seekbar", 62, &seek);
    UI::RegisterWidget("btnplay", 34, &play);
    const struct {
        const char* event;
        UI::widget* sender;
        intptr_t value, reserved;
        bool handled;
        const char* line;
    } cases[] = {
        {"button_clicked", &play, 0, 0, false, "play"},
        {"selectbtn_clicked", &play, 0, 0, false, "play"},
        {"button_clicked", &unknown, 0, 0, false, nullptr},
        {"button_clicked", nullptr, 0, 0, false, nullptr},
        {"widget_doubleclick", &video, 0, 0, false, nullptr},
        {"list_click", &list, 4, 1, true, nullptr},
        {"slider_moveto", &volume, 33, 0, true, "volume 33"},
        {"progressbar_moveto", &seek, 500, 0, true, nullptr},
        {"progressbar_click", &seek, 500, 0, true, "seek 500"},
        {"window_click", &play, 0, 0, false, nullptr},
        {"treenode_clicked", &play, 0, 0, false, "node btnplay"},
    };
    plat::DebugCapture trace;
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
    EXPECT_TRUE(trace.contains("window_click: btnplay"));   // the controller's trace, through the UI manager
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

// A channel id past 32 bits reaches the feed view whole: one that shares
// only its low half with the shown channel is another channel.
TEST_F(Controller, AnUpdatedChannelKeepsItsWhole64BitId)
{
    UI::uiLogic controller(parts());
    controller.Init();
    const std::int64_t far = (std::int64_t(1) << 32) + 5;
    handlers.shown = far;
    handlers.list_hidden = true;
    controller.SetDisplayMode(UI::DisplayMode::ViewFeeds);
    controller.OnUpdated(5, true);
    EXPECT_EQ(handlers.settle(controller), std::vector<std::string>{});
    controller.OnUpdated(far, true);
    EXPECT_EQ(handlers.settle(controller), std::vector<std::string>{"updated " + std::to_string(far)});
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
        std::optional<DWORD> items, minutes, multi, enable, favourites, hd;
        std::int32_t expect_items;
        std::uint32_t expect_seconds;
        BOOL expect_multi;
        const char* expect_prefetch;
        bool expect_hd_only;
    } cases[] = {
        {{}, {}, {}, {}, {}, {}, 200, 3600, TRUE, "favourites(1) resume ", true},
        {24, 10, 2, 0, 0, 0, 200, 600, FALSE, "favourites(0) pause ", false},
        {25, 1440, 3, 1, 1, 1, 25, 86400, TRUE, "favourites(1) resume ", true},
        {500, 60, 4, 7, 2, 5, 500, 3600, FALSE, "favourites(1) resume ", true},
        {501, 60, 3, 1, 1, {}, 200, 3600, TRUE, "favourites(1) resume ", true},
        // Minutes outside 10..1440 are the default hour: never a refetch of every channel back to back.
        {200, 0, 3, 1, 1, 1, 200, 3600, TRUE, "favourites(1) resume ", true},
        {200, 9, 3, 1, 1, 1, 200, 3600, TRUE, "favourites(1) resume ", true},
        {200, 1441, 3, 1, 1, 1, 200, 3600, TRUE, "favourites(1) resume ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "items " << c.expect_items);
        plat::TemporaryRegistry fresh;
        const std::pair<const char16_t*, std::optional<DWORD>> values[] = {
            {u"RSSItemNumber", c.items}, {u"RetrieveRSSTime", c.minutes}, {u"MultiDownCount", c.multi},
            {u"EnablePrefetch", c.enable}, {u"PrefetchMyFavorites", c.favourites}, {u"HDMode", c.hd}};
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
            // The stored "I prefer high quality video." holds from the start.
            EXPECT_EQ(controller.IsHighDefinitionOnly(), c.expect_hd_only);
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
    play_a_file(controller);
    controller.PostUICommand(34);
    EXPECT_EQ(handlers.settle(controller), (std::vector<std::string>{"file a", "play"}));
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


TEST_F(Controller, UICommandsActAsTheirTableSays)
{
    UI::uiLogic controller(parts());
    controller.Init();
    play_a_file(controller);
    handlers.settle(controller);
    const std::string sys = "main " + std::to_string(WM_SYSCOMMAND) + " ";
    const struct {
        int id;
        int volume_before;
        std::vector<std::string> lines;
        int volume_after;
    } cases[] = {
        {6, 80, {sys + std::to_string(SC_MAXIMIZE)}, 80},
        {7, 80, {sys + std::to_string(SC_MINIMIZE)}, 80},
        {8, 80, {"main 13315 0"}, 80},
        {9, 80, {sys + std::to_string(SC_RESTORE)}, 80},
        {27, 80, {"resume"}, 80},
        {28, 80, {"restart"}, 80},
        {33, 80, {"stop play"}, 80},
        {34, 80, {"play"}, 80},
        {35, 80, {"pause"}, 80},
        {37, 80, {}, 80},
        // No settings window here: its choosers are seen over the built tree.
        {39, 80, {}, 80},
        {40, 80, {}, 80},
        {41, 80, {}, 80},   // no device reset closed a clip
        {58, 95, {"volume 100"}, 100},
        {58, 100, {"volume 100"}, 100},
        {59, 5, {"volume 0"}, 0},
        {65, 80, {"open file"}, 80},
        {74, 80, {"back"}, 80},
        {86, 80, {"back"}, 80},
        // A prompt's check box and its neighbour page nothing.
        {89, 80, {}, 80},
        {91, 80, {}, 80},
        {90, 80, {"run xdg-open http://127.0.0.1:9/members"}, 80},
        {224, 80, {}, 80},   // no search box: no text, nothing at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        controller.SetVolume(c.volume_before);
        handlers.settle(controller);
        controller.PostUICommand(c.id);
        EXPECT_EQ(handlers.settle(controller), c.lines);
        EXPECT_EQ(controller.GetVolume(), c.volume_after);
    }
}

// A device reset closes the engine and then posts UI command 41: a clip
// that was playing or paused opens again (paused again when it was), and
// the play state is idle in between.
TEST_F(Controller, ADeviceResetReopensAPlayingOrPausedClip)
{
    UI::uiLogic controller(parts());
    controller.Init();
    play_a_file(controller);
    handlers.settle(controller);
    const struct {
        int state;   // before the reset
        std::vector<std::string> lines;
    } cases[] = {
        {1, {"release", "replay"}},
        {2, {"release", "replay", "pause"}},
        {0, {"release"}},
        {3, {"release"}},   // stopped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        controller.OnPlayStateChanged(c.state);
        handlers.settle(controller);
        controller.CloseEngine();
        EXPECT_EQ(controller.GetPlayState(), 0);
        controller.PostUICommand(41);
        EXPECT_EQ(handlers.settle(controller), c.lines);
        controller.PostUICommand(41);   // a second notice finds nothing closed
        EXPECT_EQ(handlers.settle(controller), std::vector<std::string>{});
    }
}

TEST_F(Controller, PageButtonsAndArrowsOpenPagesInsideTheList)
{
    UI::uiLogic controller(parts());
    controller.Init();
    const struct {
        int page, pages, id;
        std::vector<std::string> lines;
    } cases[] = {
        // 10 buttons a group: page 23 shows the group starting at 20.
        {23, 30, 114, {"page 7 20"}},
        {23, 30, 117, {"page 7 23"}},
        {5, 30, 114, {"page 7 0"}},
        {23, 30, 112, {"page 7 22", "button 22"}},
        {23, 30, 113, {"page 7 24", "button 24"}},
        {0, 30, 112, {"page 7 0", "button 0"}},
        {29, 30, 113, {"page 7 29", "button 29"}},
        {0, 0, 113, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "page " << c.page << " id " << c.id);
        handlers.set_list({7, 4, c.page, c.pages, 25});
        controller.PostUICommand(c.id);
        EXPECT_EQ(handlers.settle(controller), c.lines);
    }
}

TEST_F(Controller, OnlyAPathInDoubleQuotesPlays)
{
    UI::uiLogic controller(parts());
    controller.Init();
    const struct {
        std::u16string text;
        const char* line;
    } cases[] = {
        {u"\"/tmp/a b.mp4\"", "file /tmp/a b.mp4"},
        {u"/tmp/a.mp4", nullptr},
        {u"\"/tmp/a.mp4", nullptr},
        {u"\"\"", nullptr},
        {u"\"", nullptr},
        {u"", nullptr},
        {u"\"x\"", "file x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        auto* text = new char16_t[c.text.size() + 1]{};
        std::copy(c.text.begin(), c.text.end(), text);
        controller.PostLogicCommand(LogicCommand::OpenPath, WPARAM(text), 0);
        EXPECT_EQ(handlers.settle(controller), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    }
}

TEST_F(Controller, SpaceFlipsPlayAndPauseOnlyWhileAVideoShows)
{
    UI::uiLogic controller(parts());
    controller.Init();
    play_a_file(controller);
    handlers.settle(controller);
    const struct {
        DWORD mode;
        int state;
        int key;
        bool handled;
        std::vector<std::string> lines;
    } cases[] = {
        {UI::DisplayMode::PlayVideo, 2, VK_SPACE, true, {"play"}},
        {UI::DisplayMode::PlayVideo, 1, VK_SPACE, true, {"pause"}},
        {UI::DisplayMode::Both, 2, VK_SPACE, true, {"play"}},
        {UI::DisplayMode::ViewFeeds, 1, VK_SPACE, false, {}},
        {UI::DisplayMode::ViewFeeds, 1, VK_NEXT, false, {"page 7 3", "button 3"}},
        {UI::DisplayMode::PlayVideo, 1, VK_PRIOR, false, {"page 7 1", "button 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " key " << c.key);
        handlers.set_list({7, 4, 2, 10, 25});
        controller.SetDisplayMode(c.mode);
        controller.OnPlayStateChanged(c.state);
        handlers.settle(controller);
        EXPECT_EQ(controller.OnKeyDown(c.key), c.handled);
        EXPECT_EQ(handlers.settle(controller), c.lines);
    }
}

TEST_F(Controller, DisplayModeKeepsItsHighBitsAndIgnoresZero)
{
    UI::uiLogic controller(parts());
    controller.Init();
    EXPECT_EQ(controller.SetDisplayMode(0x1004), DWORD(UI::DisplayMode::ViewFeeds));
    EXPECT_EQ(controller.SetDisplayMode(0), DWORD(UI::DisplayMode::ViewFeeds));
    EXPECT_EQ(controller.SetDisplayMode(UI::DisplayMode::Both), DWORD(UI::DisplayMode::Both));
}

TEST_F(Controller, TheEndOfPlaybackRepeatsOrReturnsToTheList)
{
    UI::uiLogic controller(parts());
    controller.Init();
    play_a_file(controller);
    handlers.settle(controller);
    const struct {
        bool repeat;
        std::int64_t channel;
        std::vector<std::string> lines;
        DWORD mode;
    } cases[] = {
        {true, 4, {"item ", "volume 80"}, UI::DisplayMode::PlayVideo},
        {false, 4, {"stop play", "page 7 0"}, UI::DisplayMode::ViewFeeds},
        {false, -1, {"stop play", "page 9 0"}, UI::DisplayMode::ViewFeeds},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.repeat << " " << c.channel);
        controller.SetDisplayMode(UI::DisplayMode::PlayVideo);
        handlers.set_list({c.channel < 0 ? 9 : 7, c.channel, 0, 1, 1});
        controller.SetRepeat(c.repeat);
        controller.OnPlayEnded();
        EXPECT_EQ(handlers.settle(controller), c.lines);
        EXPECT_EQ(controller.GetDisplayMode(), c.mode);
    }
}

TEST_F(Controller, AJitterOfTheMouseDoesNotRearmTheFrames)
{
    std::vector<std::string> timers;
    UI::uiLogicParts p = parts();
    p.kill_timer = [&](UINT_PTR id) { timers.push_back("kill " + std::to_string(id)); };
    p.set_timer = [&](UINT_PTR id, UINT ms) { timers.push_back("set " + std::to_string(id) + " " + std::to_string(ms)); };
    UI::uiLogic controller(std::move(p));
    controller.Init();
    const struct {
        float x, y;
        bool rearmed;
    } moves[] = {{100, 100, true}, {107, 100, false}, {100, 107, false}, {105, 105, true}, {108, 100, false},
                 {110, 110, true}, {110, 110, false}};
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message() << m.x << "," << m.y);
        timers.clear();
        UI::MouseEventArgs e;
        e.position = {m.x, m.y};
        controller.OnMouseMove(e);
        const std::vector<std::string> rearm = {"kill 257", "kill 258"};
        EXPECT_EQ(timers, m.rearmed ? rearm : std::vector<std::string>{});
    }
}

// The UI thread's hooks and the logic thread's commands change the same
// display fields; ThreadSanitizer watches this under its label.
TEST_F(Controller, HooksAndCommandsShareTheDisplayFields)
{
    std::atomic<int> timer_calls{0};
    UI::uiLogicParts p = parts();
    p.set_timer = [&](UINT_PTR, UINT) { ++timer_calls; };
    p.kill_timer = [&](UINT_PTR) { ++timer_calls; };
    UI::uiLogic controller(std::move(p));
    controller.Init();
    play_a_file(controller);
    handlers.settle(controller);
    std::thread ui([&] {
        for (int i = 0; i < 200; ++i) {
            UI::MouseEventArgs e;
            e.position = {float(i * 10 % 700), float(i * 7 % 500)};
            controller.OnMouseMove(e);
            controller.OnKeyDown(VK_SPACE);
            controller.OnMouseWheel(120, 0, 0);
            controller.OnTimer(UI::TimerFrames);
            controller.UpdateWindowState();
        }
    });
    for (int i = 0; i < 200; ++i) {
        controller.PostLogicCommand(LogicCommand::WidgetDoubleClick, 2, 0);
        controller.PostUICommand(i % 2 ? 58 : 59);
        controller.SetDisplayMode(i % 2 ? UI::DisplayMode::PlayVideo : UI::DisplayMode::Both);
        controller.OnPlayStateChanged(1 + i % 2);
    }
    ui.join();
    handlers.settle(controller);
    EXPECT_GT(timer_calls.load(), 0);
    const DWORD mode = controller.GetDisplayMode();
    EXPECT_TRUE(mode == UI::DisplayMode::PlayVideo || mode == UI::DisplayMode::Both) << mode;
    EXPECT_GE(controller.GetVolume(), 0);
    EXPECT_LE(controller.GetVolume(), 100);
}

TEST(ControllerUtilities, EdgeCursorsFollowFivePixelZones)
{
    const SIZE client{800, 600}, screen{1920, 1080};
    const struct {
        POINT p;
        LPCWSTR cursor;
    } cases[] = {
        {{0, 0}, IDC_SIZENWSE},   {{799, 599}, IDC_SIZENWSE}, {{0, 599}, IDC_SIZENESW}, {{799, 0}, IDC_SIZENESW},
        {{4, 300}, IDC_SIZEWE},   {{795, 300}, IDC_SIZEWE},   {{400, 4}, IDC_SIZENS},   {{400, 595}, IDC_SIZENS},
        {{5, 300}, IDC_ARROW},    {{794, 300}, IDC_ARROW},    {{400, 300}, IDC_ARROW},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y);
        EXPECT_EQ(UI::EdgeCursorAt(c.p, client, screen), c.cursor);
    }
    EXPECT_EQ(UI::EdgeCursorAt({0, 0}, screen, screen), IDC_ARROW);
}

TEST(ControllerUtilities, ADragStartsBeyondTenPixels)
{
    const struct {
        POINT now;
        bool starts;
    } cases[] = {{{10, 0}, false}, {{0, -10}, false}, {{6, 8}, false}, {{11, 0}, true}, {{8, 7}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.now.x << "," << c.now.y);
        EXPECT_EQ(UI::DragThresholdPassed({0, 0}, c.now), c.starts);
    }
}

TEST(ControllerUtilities, ThumbnailNamesStayInTheImageFolder)
{
    const std::string folder = "/home/u/Image";
    const struct {
        std::string address;
        std::string tail;
    } cases[] = {
        {"http://host/pics/a_1.jpg", "a_1.jpg"},
        {"nopath.jpg", "nopath.jpg"},
        {"http://host/../x.jpg", "x.jpg"},
        {"../x.jpg", "x.jpg"},
        {"..", ""},
        {"http://host/a\x01\x1f" "b.jpg", "ab.jpg"},
        {"http://host/p?a=1&b=/../../etc", "etc"},
        {"http://host/" + std::string(300, 'z') + ".jpg", std::string(60, 'z') + ".jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.substr(0, 40));
        const std::string name = UI::ThumbnailFileName(folder, c.address);
        ASSERT_EQ(name.rfind(folder + "/", 0), 0u);
        const std::string file = name.substr(folder.size() + 1);
        EXPECT_EQ(file.find('/'), std::string::npos);
        EXPECT_EQ(file.find(".."), std::string::npos);
        EXPECT_TRUE(file.size() >= c.tail.size() && file.compare(file.size() - c.tail.size(), c.tail.size(), c.tail) == 0)
            << file;
        // The same address names the same file; another address another one.
        EXPECT_EQ(UI::ThumbnailFileName(folder, c.address), name);
        EXPECT_NE(UI::ThumbnailFileName(folder, c.address + "2"), name);
    }
}

}
