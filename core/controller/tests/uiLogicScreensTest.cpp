// The controller over the main window's real widget tree (headless, the
// generated skin) and a temporary feed database: what its commands and
// hooks do to the widgets, the play logic and the database.

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/CppSQLite3DB.h"
#include "core/controller/tests/CallLog.h"
#include "core/controller/tests/FeedWorld.h"
#include "core/updater/CRSSUpdater.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/window/FileDialog.h"
#include "screens/settings/tests/SettingsRig.h"
#include "screens/settings/wsettingpage.h"
#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"
#include "screens/builder/tests/MainWindowRig.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wrsslistitem.h"
#include "outside/ostrel/testing/RecordingOstrel.h"
#include "toolkit/genericlist/wtlist.h"
#include "toolkit/genericlist/wtlistitem.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/videoposition.h"
#include "screens/video/loadinAnimation.h"
#include "screens/video/wcontrolbar.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/focusgroup.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// Lines of what the feed window and the play logic were asked, and the feed view's state.
class Log final : public UI::uiLogicFeedWindow, public CallLog {
public:
    void OnChannelUpdated(std::int64_t) override {}
    void ShowSearchResult(std::unique_ptr<SearchRequest> request) override { add(request ? "search" : "sync"); }
    void OnChannelAdded(std::int64_t) override {}
    void OnChannelDeleted(std::int64_t) override {}
    void OnTreeNodeClicked(UI::EventArgs&) override {}
    std::int64_t ShownChannel() override { return ShownList().channel; }
    bool ItemListHidden() override { return false; }
    UI::FeedListState ShownList() override { return list(); }
    bool AllowsAllItems() override { return false; }
    int PageButtonsPerGroup() override { return 10; }
    bool OpenPage(const UI::FeedListState& l, int page) override
    {
        add("page " + std::to_string(l.kind) + " " + std::to_string(page));
        return true;
    }
    std::vector<RSSData::tRSSItem> TreeNodeItems() override { return {}; }
    void SetTreeNodeItems(std::vector<RSSData::tRSSItem>) override {}
    void SetPageCount(int pages) override { add("pages " + std::to_string(pages)); }
    void SelectPageButton(int) override {}
    void ClearView() override { add("clear"); }
    void ShowWarningPage(int page) override { add("warning " + std::to_string(page)); }
    void RefreshItem(const RSSData::tRSSItem& item) override { add("refresh " + item.title); }
    bool OpenPreviousNode() override { return false; }
    void DropChannelNode(std::int64_t) override {}
    void HideSearchTips() override { add("tips"); }

    // While closed, a play waits inside the play logic, under the dispatch lock.
    void close_gate()
    {
        std::scoped_lock hold(m_lock);
        m_gate_closed = true;
    }
    void open_gate()
    {
        std::scoped_lock hold(m_lock);
        m_gate_closed = false;
        m_changed.notify_all();
    }
    void pass_gate()
    {
        std::unique_lock hold(m_lock);
        m_waiting = m_gate_closed;
        m_changed.notify_all();
        m_changed.wait(hold, [&] { return !m_gate_closed; });
        m_waiting = false;
    }
    // True once a play waits at the closed gate.
    bool wait_for_waiting()
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_waiting; });
    }

private:
    bool m_gate_closed = false;   // guarded by m_lock
    bool m_waiting = false;       // guarded by m_lock
};

class PlayLogic final : public UI::uiLogicFilePlayBase {
public:
    explicit PlayLogic(Log& log) : m_log(log) {}
    void InitEventNames() override {}
    void CreateController() override {}
    void ReleaseController() override {}
    void Stop() override {}
    void Pause() override {}
    void Play() override {}
    void Replay() override {}
    bool StopPlay() override { return m_log.add("stop play"), true; }
    bool Resume() override { return true; }
    bool Restart() override { return true; }
    void Spare11() override {}
    void Spare12() override {}
    void SetVolume(int) override {}
    int GetVolume() override { return 0; }
    void Seek(LONGLONG) override {}
    LONG OnEvent(void*, LONG, LONG, intptr_t) override { return 0; }
    bool PlayFile(const std::u16string&) override { return true; }
    bool OpenFile() override { return true; }
    bool PlayVideoItem(const RSSData::tRSSItem& item) override
    {
        m_log.pass_gate();
        m_log.add("item " + item.title);
        return true;
    }

private:
    Log& m_log;
};

constexpr int Items = 30;

class ControllerScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.builder.BuildUI());
        // The feed item list, registered as the builder registers it.
        UI::RegisterWidget("wrsslist", 106, &feed_list);
        UI::uiLogicParts p;
        p.database_folder = rig.home.path() + "/";
        p.image_folder = rig.home / "Image";
        p.feed_window = &log;
        p.create_file_play = [this] { return std::make_unique<PlayLogic>(log); };
        p.set_timer = [this](UINT_PTR id, UINT ms) { timers.push_back("set " + std::to_string(id) + " " + std::to_string(ms)); };
        p.kill_timer = [this](UINT_PTR id) { timers.push_back("kill " + std::to_string(id)); };
        p.pointer = [this] { return pointer; };
        adjust(p);
        controller.emplace(std::move(p));
        controller->Init();
        ASSERT_TRUE(controller->FeedsProblem().empty()) << controller->FeedsProblem();
        fill_channel();
    }

    // The controller goes before what a derived fixture gave it.
    void TearDown() override { controller.reset(); }

    // What a fixture of its own adds to the controller's parts.
    virtual void adjust(UI::uiLogicParts&) {}

    // A channel whose items i0..i29 come newest first in that order.
    void fill_channel()
    {
        CRSSDBMgr& db = CRSSDBMgr::Instance();
        std::list<RSSFolderRecord> folders;
        db.GetFolders("My Subscriptions", &folders, CRSSDBMgr::NameMatch::Exact);
        ASSERT_FALSE(folders.empty());
        const RSSFolderRecord folder = folders.front();
        RSSData::tRSSChannel c;
        c.set_folder_id(folder.id);
        c.title = "harbour";
        c.feed_url = "http://127.0.0.1:9/feed";
        ASSERT_EQ(db.InsertChannel(&c), 0);
        channel = c.id;
        for (int n = 0; n < Items; ++n) {
            RSSData::tRSSItem item;
            item.channel_id = channel;
            item.folder_id = folder.id;
            item.title = "i" + std::to_string(n);
            item.link = "http://127.0.0.1:9/" + item.title;
            item.original_media_url = "http://127.0.0.1:9/media/" + item.title;
            item.display_description = "<p>" + item.title + "</p>";
            item.create_time = 1000 - n;
            item.set_status(n == 1 ? 0 : 1280);
            ASSERT_EQ(db.InsertItem(&item), 0);
            items.push_back(item);
        }
    }

    // Shows page `page` of the channel in the feed list, as the feed window would.
    void show_page(int page)
    {
        UI::wrsslist* list = dynamic_cast<UI::wrsslist*>(UI::GetWidgetById(106));
        ASSERT_NE(list, nullptr);
        const int first = page * 25, count = std::min(25, Items - first);
        for (int i = 0; i < count; ++i)
            list->SetItemAt(i, items[std::size_t(first + i)]);
        log.set_list({7, channel, page, 2, count});
    }

    void click_row(int row, int part = 0)
    {
        controller->PostLogicCommand(LogicCommand::ListClick, 106, row * 256 + part);
    }

    test::MainWindowRig rig;
    UI::wrsslist feed_list{"wrsslist"};
    Log log;
    std::vector<std::string> timers;
    POINT pointer{-1, -1};
    std::optional<UI::uiLogic> controller;   // last: goes before the tree and the log
    std::int64_t channel = 0;
    std::vector<RSSData::tRSSItem> items;
};

TEST_F(ControllerScreens, ARowClickPlaysOnlyAnItemThatPassesTheQualityFilter)
{
    show_page(0);
    const struct {
        int row;
        std::vector<std::string> lines;
        int cursor_index;
    } cases[] = {
        {3, {"item i3"}, 3},
        {1, {}, 3},    // no quality mark
        {40, {}, 3},   // no such row
        {0, {"item i0"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        click_row(c.row);
        EXPECT_EQ(log.settle(*controller), c.lines);
        const UI::PlayListCursor cursor = controller->GetPlayListCursor();
        EXPECT_EQ(cursor.index, c.cursor_index);
        EXPECT_EQ(cursor.channel, channel);
    }
    // The played item is stored read.
    std::list<RSSData::tRSSItem> stored;
    CRSSDBMgr::Instance().GetItems(items[3].id, &stored);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored.front().mark_read);
}

TEST_F(ControllerScreens, PlayListSteppingCrossesPagesAndStopsAtBothEnds)
{
    show_page(0);
    click_row(23);
    log.settle(*controller);
    const struct {
        int command;
        const char* line;   // null: nothing plays
        int page, index;
    } steps[] = {
        {32, "item i24", 0, 24},
        {32, "item i25", 1, 0},
        {31, "item i24", 0, 24},
        {32, "item i25", 1, 0},
        {32, "item i26", 1, 1},
        {32, "item i27", 1, 2},
        {32, "item i28", 1, 3},
        {32, "item i29", 1, 4},
        {32, nullptr, 1, 4},   // past the last entry
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << s.command << " to " << s.page << "/" << s.index);
        controller->PostUICommand(s.command);
        EXPECT_EQ(log.settle(*controller), s.line ? std::vector<std::string>{s.line} : std::vector<std::string>{});
        const UI::PlayListCursor cursor = controller->GetPlayListCursor();
        EXPECT_EQ(cursor.page, s.page);
        EXPECT_EQ(cursor.index, s.index);
    }
    // Back from the first entry of page 0 plays nothing and leaves the cursor.
    click_row(0);
    log.settle(*controller);
    controller->PostUICommand(31);
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{});
    EXPECT_EQ(controller->GetPlayListCursor().page, 0);
    EXPECT_EQ(controller->GetPlayListCursor().index, 0);
    EXPECT_EQ(controller->GetDisplayMode() & 0xFFF, DWORD(UI::DisplayMode::PlayVideo));
}

TEST_F(ControllerScreens, RemovingARowRefillsThePageFromTheNextOne)
{
    show_page(0);
    click_row(2, 107);
    // The entry after the page (i25) comes as a data-action result and joins
    // the list; both the removal and the arrival recount the pages. The
    // result is posted while the click runs, so it may come after the first
    // settling marker.
    auto lines = log.settle(*controller);
    for (auto& line : log.settle(*controller))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"pages 2", "pages 2"}));
    std::list<RSSData::tRSSItem> stored;
    CRSSDBMgr::Instance().GetItems(items[2].id, &stored);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored.front().mark_delete);
    UI::wrsslist* list = dynamic_cast<UI::wrsslist*>(UI::GetWidgetById(106));
    bool refilled = false;
    for (int i = 0; i < list->GetItemCount(); ++i)
        refilled = refilled || list->GetItem(i)->GetItem().title == "i25";
    EXPECT_TRUE(refilled);
}

// Logic command 17 carries whole 64-bit item ids: an item stored past 2^32
// joins the list (2) and then has its row refreshed (3).
TEST_F(ControllerScreens, DataActionResultsCarryWhole64BitItemIds)
{
    show_page(0);
    {
        CppSQLite3DB raw;
        raw.open((rig.home.path() + "/" + CRSSDBMgr::FileName).c_str());
        raw.execDML("UPDATE sqlite_sequence SET seq = 5000000000 WHERE name = 'rssitem'");
    }
    RSSData::tRSSItem far = items[0];
    far.title = "far";
    far.link = "http://127.0.0.1:9/far";
    far.original_media_url = "http://127.0.0.1:9/media/far";
    ASSERT_EQ(CRSSDBMgr::Instance().InsertItem(&far), 0);
    ASSERT_GT(far.id, std::int64_t(1) << 32);
    UI::wrsslist* list = dynamic_cast<UI::wrsslist*>(UI::GetWidgetById(106));
    const auto last_title = [&] {
        CMutexGuard hold(UIRenderMutex());
        return list->GetItem(list->GetItemCount() - 1)->GetItem().title;
    };
    controller->PostLogicCommand(LogicCommand::DataActionResult, 2, LPARAM(far.id));
    log.settle(*controller);
    EXPECT_EQ(last_title(), "far");
    far.title = "far, renamed";
    ASSERT_EQ(CRSSDBMgr::Instance().UpdateItem(far), 0);
    controller->PostLogicCommand(LogicCommand::DataActionResult, 3, LPARAM(far.id));
    log.settle(*controller);
    EXPECT_EQ(last_title(), "far, renamed");
}

TEST_F(ControllerScreens, TheFavouritePartMarksTheItemAndTheStoredOne)
{
    show_page(0);
    click_row(4, 111);
    log.settle(*controller);
    std::list<RSSData::tRSSItem> stored;
    CRSSDBMgr::Instance().GetItems(items[4].id, &stored);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored.front().mark_favorite);
    UI::wrsslist* list = dynamic_cast<UI::wrsslist*>(UI::GetWidgetById(106));
    EXPECT_TRUE(list->GetItem(4)->GetItem().mark_favorite);
    // The control bar's favourite button for the playing item.
    click_row(4);
    log.settle(*controller);
    controller->SetPlayingItemFavorite(false);
    stored.clear();
    CRSSDBMgr::Instance().GetItems(items[4].id, &stored);
    EXPECT_FALSE(stored.front().mark_favorite);
}

TEST_F(ControllerScreens, AutoHideArmsInFullScreenVideoAndLetsGoElsewhere)
{
    UI::videoplaywindow* video = dynamic_cast<UI::videoplaywindow*>(UI::uiMgr::Instance().GetVideoWindow());
    ASSERT_NE(video, nullptr);
    UI::wcontrolbar* bar = UI::wcontrolbar::Instance();
    ASSERT_NE(bar, nullptr);
    bar->Show(true);
    controller->SetDisplayMode(UI::DisplayMode::PlayVideo);
    timers.clear();
    controller->SetVideoViewState(UI::ViewState::FullScreen);
    EXPECT_EQ(timers, (std::vector<std::string>{"set 257 5000", "set 258 5000"}));
    // Armed: the rule does not start them again.
    timers.clear();
    controller->SetVideoViewState(UI::ViewState::FullScreen);
    EXPECT_EQ(timers, std::vector<std::string>{});

    // Timer 258 with the pointer away from the frames and the bar hides the bar.
    video->Show(true);
    video->ShowVideo();
    controller->OnTimer(UI::TimerFrames);
    EXPECT_EQ(bar->GetAnimationFlags(), 0x600220);
    EXPECT_EQ(timers, std::vector<std::string>{"kill 258"});

    // Another mode stops both and shows the bar, the pane and the frames.
    timers.clear();
    controller->SetDisplayMode(UI::DisplayMode::ViewFeeds);
    EXPECT_EQ(timers, (std::vector<std::string>{"kill 257", "kill 258"}));
    EXPECT_EQ(bar->GetAnimationFlags(), 0x500220);
    EXPECT_EQ(UI::GetWidgetById(96)->GetAnimationFlags(), 0x500240);
    EXPECT_EQ(UI::uiMgr::Instance().GetFrame(UI::uiMgr::Frame::Top)->GetAnimationFlags(), 0x500204);
}

// The wheel zooms the centred video by 80 pixels a notch (the wheel up
// grows it), from 204 up to what the client area holds at the video's ratio
// (1024 x 576 here: 588 with the frame); beyond either end nothing changes.
TEST_F(ControllerScreens, TheWheelZoomStaysWithinItsBounds)
{
    UI::videoplaywindow* video = dynamic_cast<UI::videoplaywindow*>(UI::uiMgr::Instance().GetVideoWindow());
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(video->CurrentState(), UI::vpsCenter);
    ASSERT_EQ(video->GetParent()->GetHeight(), 576);
    video->Show(true);
    video->Geometry().aspect = 16.0f / 9.0f;
    constexpr float Refused = -1;
    const struct {
        const char* what;
        DWORD mode;
        int view;
        float height;
        int delta;
        float zoomed;   // the height asked for, or Refused
    } cases[] = {
        {"a notch up grows it", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 300, -120, 380},
        {"a notch down shrinks it", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 300, 120, 220},
        {"two notches at once", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 300, -240, 460},
        {"down to the smallest", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 284, 120, 204},
        {"below the smallest", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 283, 120, Refused},
        {"up to the largest", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 508, -120, 588},
        {"beyond the largest", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 509, -120, Refused},
        {"less than a notch", UI::DisplayMode::PlayVideo, UI::ViewState::SmallWindow, 300, 60, 300},
        {"the feeds are shown", UI::DisplayMode::Both, UI::ViewState::SmallWindow, 300, -120, Refused},
        {"the video fills the screen", UI::DisplayMode::PlayVideo, UI::ViewState::FullScreen, 300, -120, Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        controller->SetDisplayMode(c.mode);
        controller->SetVideoViewState(c.view);
        video->SetSize(UI::WidthForHeight(c.height, 16.0f / 9.0f), c.height);
        video->Geometry().target_width = Refused;
        EXPECT_TRUE(controller->OnMouseWheel(c.delta, 500, 300)) << "the wheel is always taken";
        if (c.zoomed == Refused)
            EXPECT_EQ(video->Geometry().target_width, Refused);
        else   // the width follows the video's ratio
            EXPECT_FLOAT_EQ(video->Geometry().target_width, UI::WidthForHeight(c.zoomed, 16.0f / 9.0f));
    }
}

// A click on a feed row grows the video out of the row. With the video
// hidden the list freezes and parts its rows before it reports the click;
// with the video shown the click goes at once. Either way the video takes
// the small window.
TEST_F(ControllerScreens, ARowsClickLoadsTheVideoInFromTheRow)
{
    UI::uiLogic::SubscribeEvents();
    show_page(0);
    UI::videoplaywindow* video = dynamic_cast<UI::videoplaywindow*>(UI::uiMgr::Instance().GetVideoWindow());
    ASSERT_NE(video, nullptr);
    ASSERT_FALSE(video->IsVisible());
    UI::widget* loading = UI::GetWidgetById(220);

    // An item the quality filter refuses: no animation, the click goes at once and plays nothing.
    feed_list.GetItem(1)->Click();
    EXPECT_FALSE(feed_list.IsFrozen());
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{});
    EXPECT_FALSE(video->IsVisible());
    EXPECT_NE(controller->GetVideoViewState(), UI::ViewState::SmallWindow);

    loading->Show(true);
    UI::wrsslistitem& row = *feed_list.GetItem(3);
    feed_list.GetItem(3)->Click();
    EXPECT_TRUE(feed_list.IsFrozen()) << "the list parts before it reports the click";
    EXPECT_TRUE(video->IsVisible());
    EXPECT_TRUE(video->LoadIn().IsRunning());
    EXPECT_EQ(video->GetY(), row.GetY() - feed_list.GetScrollOffset()) << "it starts at the row";
    EXPECT_EQ(video->GetHeight(), row.GetHeight());
    EXPECT_FALSE(loading->IsVisible());
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{}) << "no click yet";
    // The video mode comes through the logic thread, before the click.
    EXPECT_EQ(controller->GetDisplayMode() & 0xFFF, DWORD(UI::DisplayMode::PlayVideo));
    EXPECT_EQ(controller->GetVideoViewState(), UI::ViewState::SmallWindow);
    for (int frame = 0; frame < 200 && feed_list.IsFrozen(); ++frame)
        feed_list.Draw();
    EXPECT_FALSE(feed_list.IsFrozen());
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{"item i3"});

    feed_list.GetItem(4)->Click();
    EXPECT_FALSE(feed_list.IsFrozen()) << "the video is shown: the click goes at once";
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{"item i4"});
    EXPECT_EQ(controller->GetVideoViewState(), UI::ViewState::SmallWindow);
}

// The list parts for a clicked row and reports the click when its animation
// ends; whatever happened to the rows meanwhile, the clicked item plays.
TEST_F(ControllerScreens, AClickTheListTookPlaysItsItemWhateverTheRowsBecameMeanwhile)
{
    UI::uiLogic::SubscribeEvents();
    const struct {
        const char* meanwhile;
        std::function<void()> change;
        std::string played;
    } cases[] = {
        {"nothing", [] {}, "item i3"},
        {"the page read again", [&] { show_page(0); }, "item i3"},
        {"the list emptied", [&] { feed_list.RemoveAllItems(); }, "item i3"},
        {"another page shown", [&] { feed_list.RemoveAllItems(); show_page(1); }, "item i3"},
        {"the rows' marks cleared", [&] {
             for (int i = 0; i < feed_list.GetItemCount(); ++i) {
                 RSSData::tRSSItem item = feed_list.GetItem(i)->GetItem();
                 item.set_status(0);
                 feed_list.GetItem(i)->SetItem(item);
             }
         }, "item i3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.meanwhile);
        feed_list.RemoveAllItems();
        show_page(0);
        if (UI::widget* video = UI::uiMgr::Instance().GetVideoWindow()) video->Show(false);
        feed_list.GetItem(3)->Click();
        ASSERT_TRUE(feed_list.IsFrozen());
        {
            CMutexGuard widgets(UIRenderMutex());
            c.change();
        }
        for (int frame = 0; frame < 200 && feed_list.IsFrozen(); ++frame) feed_list.Draw();
        ASSERT_FALSE(feed_list.IsFrozen());
        EXPECT_EQ(log.settle(*controller), std::vector<std::string>{c.played});
        EXPECT_EQ(controller->GetPlayListCursor().item.id, items[3].id);
    }
    // A later click reported without the list taking it (no animation) is read from its row again.
    show_page(0);
    click_row(1);
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{}) << "no quality mark";
}

// However playback was reached in the video mode, the video is seen once it plays.
TEST_F(ControllerScreens, APlayingVideoIsShownInTheCentre)
{
    show_page(0);
    UI::videoplaywindow* video = dynamic_cast<UI::videoplaywindow*>(UI::uiMgr::Instance().GetVideoWindow());
    ASSERT_NE(video, nullptr);
    const struct {
        const char* how;
        std::function<void()> start;
    } cases[] = {
        {"a row's click reported without its load-in", [&] { click_row(3); }},
        {"the next entry after the last play ended", [&] {
             controller->OnPlayEnded();
             controller->PostUICommand(32);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        c.start();
        log.settle(*controller);
        ASSERT_EQ(controller->GetDisplayMode() & 0xFFF, DWORD(UI::DisplayMode::PlayVideo));
        controller->OnPlayStateChanged(1);
        EXPECT_TRUE(video->IsVisible());
        EXPECT_EQ(video->CurrentState(), UI::vpsCenter);
        controller->OnPlayStateChanged(3);
    }
}

// Every way the controller shows or hides the control bar ends with the bar
// in the client's bottom right corner (or hidden), once its animation is over.
TEST_F(ControllerScreens, TheControlBarComesBackToItsCornerWheneverItIsShown)
{
    UI::wcontrolbar* bar = UI::wcontrolbar::Instance();
    ASSERT_NE(bar, nullptr);
    UI::videoplaywindow* video = dynamic_cast<UI::videoplaywindow*>(UI::uiMgr::Instance().GetVideoWindow());
    ASSERT_NE(video, nullptr);
    UI::widget& root = *UI::uiMgr::Instance().GetRoot();
    const UI::widget& client = *UI::uiMgr::Instance().GetClient();
    auto settle = [&] {
        for (int tick = 0; tick < 200 && !bar->IsAnimationIdle(); ++tick)
            root.TickAnimations();
    };
    auto full_screen_video = [&] {
        controller->SetDisplayMode(UI::DisplayMode::PlayVideo);
        controller->SetVideoViewState(UI::ViewState::FullScreen);
        video->Show(true);
        video->ShowVideo();
    };
    auto resize = [&](int width, int height) {
        rig.settings.SetNumber(4, width);
        rig.settings.SetNumber(5, height);
        UI::uiMgr::Instance().Resize();
        ASSERT_EQ(root.GetWidth(), float(width));
    };
    float pointer_x = 100;
    auto move_pointer = [&] {
        UI::MouseEventArgs move;
        move.position = {pointer_x += 20, 100};
        controller->OnMouseMove(move);
    };
    const struct {
        const char* step;
        std::function<void()> run;
        bool shown;
    } steps[] = {
        {"the window's first size", [&] { resize(1024, 576); }, true},
        {"the feed view", [&] { controller->SetDisplayMode(UI::DisplayMode::ViewFeeds); }, true},
        {"a resized window", [&] { resize(800, 600); }, true},
        {"the full-screen video's pointer", [&] { full_screen_video(), move_pointer(); }, true},
        {"the auto-hide", [&] { controller->OnTimer(UI::TimerFrames); }, false},
        {"the pointer back", move_pointer, true},
        {"both views", [&] { controller->SetDisplayMode(UI::DisplayMode::Both); }, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.run();
        settle();
        ASSERT_TRUE(bar->IsAnimationIdle());
        EXPECT_EQ(bar->IsVisible(), s.shown);
        if (s.shown) {
            EXPECT_EQ(bar->GetX(), client.GetWidth() - bar->GetWidth());
            EXPECT_EQ(bar->GetY(), client.GetHeight() - bar->GetHeight());
        }
    }
}

// A change between modes that both show the control bar leaves a shown bar
// where it stands: it is never hidden only to rise again.
TEST_F(ControllerScreens, AChangeOfModeLeavesAShownControlBarWhereItIs)
{
    UI::wcontrolbar* bar = UI::wcontrolbar::Instance();
    ASSERT_NE(bar, nullptr);
    UI::widget& root = *UI::uiMgr::Instance().GetRoot();
    rig.settings.SetNumber(4, 1024);
    rig.settings.SetNumber(5, 576);
    UI::uiMgr::Instance().Resize();
    controller->SetDisplayMode(UI::DisplayMode::ViewFeeds);
    for (int tick = 0; tick < 200 && !bar->IsAnimationIdle(); ++tick)
        root.TickAnimations();
    ASSERT_TRUE(bar->IsVisible());
    const float x = bar->GetX(), y = bar->GetY();
    for (const DWORD mode : {UI::DisplayMode::Both, UI::DisplayMode::ViewFeeds, UI::DisplayMode::None,
                             UI::DisplayMode::ViewFeeds}) {
        SCOPED_TRACE(mode);
        controller->SetDisplayMode(mode);
        EXPECT_TRUE(bar->IsVisible());
        EXPECT_EQ(bar->GetX(), x);
        EXPECT_EQ(bar->GetY(), y);
        root.TickAnimations();
        EXPECT_EQ(bar->GetY(), y);
    }
}

// A mode asked for on another thread (a warning page's button on the UI
// thread, the end of playback on the play logic's) changes on the logic
// thread, after the command it is running: modes never change under it.
TEST_F(ControllerScreens, ModesAskedForOnOtherThreadsChangeOnTheLogicThread)
{
    show_page(0);
    const struct {
        const char* asked_by;
        std::function<void()> ask;
        DWORD mode;
    } cases[] = {
        {"the failed-playback page's button", [&] { controller->OnWarningPageResult(16); }, UI::DisplayMode::None},
        {"the end of playback", [&] { controller->OnPlayEnded(); }, UI::DisplayMode::ViewFeeds},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked_by);
        log.close_gate();
        click_row(0);
        ASSERT_TRUE(log.wait_for_waiting()) << "the logic thread plays i0, holding the dispatch lock";
        c.ask();
        EXPECT_EQ(controller->GetDisplayMode() & 0xFFF, DWORD(UI::DisplayMode::PlayVideo)) << "not while it plays";
        log.open_gate();
        log.settle(*controller);
        EXPECT_EQ(controller->GetDisplayMode() & 0xFFF, c.mode);
    }
}

TEST_F(ControllerScreens, TheSettingsButtonSlidesTheSettingsWindowInAndOut)
{
    UI::widget* settings = UI::GetWidgetById(92);
    ASSERT_NE(dynamic_cast<UI::wsettingpage*>(settings), nullptr) << "the builder's settings window";
    ASSERT_FALSE(settings->IsVisible());
    controller->PostUICommand(219);
    log.settle(*controller);
    EXPECT_EQ(settings->GetAnimationFlags(), 0x100220);
    EXPECT_TRUE(settings->IsVisible());
    controller->PostUICommand(219);
    log.settle(*controller);
    EXPECT_EQ(settings->GetAnimationFlags(), 0x600220);
}

TEST_F(ControllerScreens, ASearchTakesTheBoxsTextWithItsSpaces)
{
    UI::widget* box = UI::GetWidgetById(225);
    ASSERT_NE(box, nullptr);
    controller->SetDisplayMode(UI::DisplayMode::PlayVideo);
    box->SetText(u"");
    controller->PostUICommand(224);
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{});
    EXPECT_EQ(controller->GetDisplayMode() & 0xFFF, DWORD(UI::DisplayMode::PlayVideo));
    box->SetText(u"  ");
    controller->PostUICommand(224);
    // The search itself answers when it has run, whenever that is.
    auto lines = log.settle(*controller);
    std::erase(lines, "search");
    EXPECT_EQ(lines, (std::vector<std::string>{"clear", "tips"}));
    EXPECT_EQ(controller->GetDisplayMode() & 0xFFF, DWORD(UI::DisplayMode::ViewFeeds));
}

// The picture sits in its frame: the thumbnail is cut 2 pixels right and 2
// down of the picture's place, at the picture's size.
TEST_F(ControllerScreens, TheThumbnailIsCutInsideThePicturesFrame)
{
    const auto device = plat::ComPtr<IDirect3DDevice9>::adopt(rig.skin.manager.GetDevice());
    ASSERT_TRUE(device);
    IDirect3DTexture9* made = nullptr;
    ASSERT_TRUE(SUCCEEDED(D3DXCreateTexture(device.get(), 40, 40, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &made)));
    const auto source = plat::ComPtr<IDirect3DTexture9>::adopt(made);
    // Red frame, green picture at (6, 6)-(26, 22) for a picture placed at (4, 4), 20 x 16.
    D3DLOCKED_RECT locked{};
    ASSERT_TRUE(SUCCEEDED(source->LockRect(0, &locked, nullptr, 0)));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool picture = x >= 6 && x < 26 && y >= 6 && y < 22;
            static_cast<std::uint32_t*>(locked.pBits)[y * locked.Pitch / 4 + x] = picture ? 0xFF00FF00u : 0xFFFF0000u;
        }
    source->UnlockRect(0);
    IDirect3DSurface9* level = nullptr;
    ASSERT_TRUE(SUCCEEDED(source->GetSurfaceLevel(0, &level)));
    const auto surface = plat::ComPtr<IDirect3DSurface9>::adopt(level);

    std::filesystem::create_directories(rig.home / "Image");
    const std::string name = UI::ThumbnailFileName(rig.home / "Image", "http://127.0.0.1:9/pics/t.jpg");
    ASSERT_TRUE(UI::SaveThumbnailCut(device.get(), surface.get(), {4, 4, 24, 20}, name));
    D3DXIMAGE_INFO info{};
    ASSERT_TRUE(SUCCEEDED(D3DXGetImageInfoFromFileW(plat::utf8_to_utf16(name).c_str(), &info)));
    EXPECT_EQ(info.Width, 20u);
    EXPECT_EQ(info.Height, 16u);
    IDirect3DTexture9* loaded = nullptr;
    ASSERT_TRUE(SUCCEEDED(D3DXCreateTextureFromFileExW(device.get(), plat::utf8_to_utf16(name).c_str(), 0, 0, 1, 0,
                                                       D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                       D3DX_FILTER_NONE, 0, nullptr, nullptr, &loaded)));
    const auto back = plat::ComPtr<IDirect3DTexture9>::adopt(loaded);
    ASSERT_TRUE(SUCCEEDED(back->LockRect(0, &locked, nullptr, 0)));
    // Every corner is the picture's green, none the frame's red.
    for (const POINT p : {POINT{0, 0}, POINT{19, 0}, POINT{0, 15}, POINT{19, 15}}) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        const std::uint32_t pixel = static_cast<std::uint32_t*>(locked.pBits)[p.y * locked.Pitch / 4 + p.x];
        EXPECT_GT((pixel >> 8) & 0xFF, 160u);
        EXPECT_LT((pixel >> 16) & 0xFF, 96u);
    }
    back->UnlockRect(0);
    // An empty picture writes nothing.
    EXPECT_FALSE(UI::SaveThumbnailCut(device.get(), surface.get(), {4, 4, 4, 20}, name + "2"));
    EXPECT_FALSE(std::filesystem::exists(name + "2"));
}


// The controller with a feed updater on a loopback feed site and recording
// download and prefetch managers, as the settings window tells them.
class ControllerSettings : public ControllerScreens {
protected:
    void adjust(UI::uiLogicParts& p) override
    {
        world = start_feed_world();
        ASSERT_TRUE(world);
        p.create_downloader = [this] { return &downloader; };
        p.release_downloader = [](IOstrel*) {};
        p.create_prefetch = [this] { return &prefetch; };
        p.release_prefetch = [](IPrefechManager*) {};
        p.create_updater = [](CRSSDBMgr& db, IOstrel* ostrel, std::uint32_t seconds, std::int32_t items) {
            return std::make_unique<CRSSUpdater>(db, ostrel, seconds, items, std::string(), -1,
                                                 std::vector<std::string>{});
        };
    }

    UI::wsettingpage& settings() { return dynamic_cast<UI::wsettingpage&>(*UI::GetWidgetById(92)); }
    UI::widget& control(std::string_view name)
    {
        UI::widget* found = settings_test::find(settings(), name);
        if (!found)
            throw std::runtime_error("no control " + std::string(name));
        return *found;
    }
    void click_select(std::string_view name)
    {
        UI::MouseEventArgs e;
        control(name).OnMouseUp(e);
    }
    void click_button(std::string_view name)
    {
        UI::MouseEventArgs e;
        control(name).OnMouseDown(e);
    }

    std::unique_ptr<FeedWorld> world;   // before the controller: its updater reads the site
    settings_test::OstrelDouble downloader;
    settings_test::PrefetchDouble prefetch;
};

TEST_F(ControllerSettings, EachPagesApplyReachesThePartsThatUseIt)
{
    RSSData::tRSSItem standard;
    standard.set_status(1024);
    EXPECT_TRUE(controller->IsHighDefinitionOnly()) << "\"HDMode\" is on unless stored off";
    EXPECT_FALSE(controller->MatchesQualityFilter(standard));
    EXPECT_EQ(downloader.multi, TRUE);

    // General: the accelerator goes to the download manager.
    click_select("wselectbtn_networkall");
    click_button("wbtn-apply-setting");
    EXPECT_EQ(downloader.multi, FALSE);

    // Feeds: the updater takes the period in seconds and the item limit.
    click_select("wselectbtn_rsssetting");
    control("wtext-maxrssitem-setting-rss").SetText(u"10");
    control("wtext-timeinterval-setting-rss").SetText(u"90");
    click_button("wbtn-apply-setting");
    ASSERT_NE(controller->GetUpdater(), nullptr);
    EXPECT_EQ(controller->GetUpdater()->Interval(), 90u * 60);
    EXPECT_EQ(controller->GetUpdater()->MaxItems(), 25);

    // Playback: the quality filter follows "I prefer high quality video.", both ways.
    click_select("wselectbtn_downloadsetting");
    for (const bool high : {false, true}) {
        SCOPED_TRACE(high);
        click_select("wselectbtn_videohighquality");
        click_button("wbtn-apply-setting");
        EXPECT_EQ(controller->IsHighDefinitionOnly(), high);
        EXPECT_EQ(controller->MatchesQualityFilter(standard), !high);
    }

    // Prefetch: the manager the controller made is paused.
    click_select("wselectbtn_prefetchsetting");
    EXPECT_TRUE(dynamic_cast<UI::wselectbtn&>(control("wselectbtn_enableprefetch")).IsSelected())
        << "the page shows the controller's prefetch manager";
    prefetch.calls.clear();
    click_select("wselectbtn_enableprefetch");
    click_button("wbtn-apply-setting");
    EXPECT_EQ(prefetch.calls, "pause favourites(0) ") << "unticking prefetch clears the favourites box";
}

// Clean clears every stored status; the rows shown follow it at once.
TEST_F(ControllerScreens, CleanLeavesTheRowsShowingTheirStoredMarks)
{
    show_page(0);
    const auto icon_shown = [&](int row) {
        const UI::widget* icon = settings_test::find(*feed_list.GetItem(row), "wimage-prefetched");
        return icon && icon->IsVisible();
    };
    EXPECT_EQ(controller->RefreshItemQualityMarks(), 25);
    EXPECT_TRUE(icon_shown(3)) << "a high-quality item";
    EXPECT_FALSE(icon_shown(1)) << "an item without a quality mark";

    const std::string cache = rig.home / "cache";
    std::filesystem::create_directories(cache);
    { std::ofstream(cache + "/piece.bin") << "cached"; }
    rig.settings.SetPath(1, plat::utf8_to_utf16(cache).c_str());
    UI::widget* clean = settings_test::find(*UI::GetWidgetById(92), "wbtn-clearcache-setting");
    ASSERT_NE(clean, nullptr);
    UI::MouseEventArgs press;
    clean->OnMouseDown(press);
    EXPECT_FALSE(std::filesystem::exists(cache + "/piece.bin"));
    for (const int row : {0, 3, 24}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(feed_list.GetItem(row)->GetItem().status(), 0);
        EXPECT_FALSE(feed_list.GetItem(row)->IsPlayable());
        EXPECT_FALSE(icon_shown(row));
    }
}

// The folder buttons post 39 and 40; the logic thread opens the chooser for the page.
TEST_F(ControllerSettings, TheFolderButtonsOpenTheChooserFromTheLogicThread)
{
    const std::string fixed = rig.home / "fixed", usb = rig.home / "usb";
    for (const std::string& folder : {fixed + "/cache", fixed + "/videos", usb + "/videos"})
        std::filesystem::create_directories(folder);
    plat::VolumeMonitor::instance().use_given_volumes(
        {{'C', plat::DriveKind::Fixed, fixed}, {'E', plat::DriveKind::Removable, usb}});
    std::vector<std::u16string> refusals;
    settings().SetNotice([&](const std::u16string& text, const std::u16string&) { refusals.push_back(text); });
    click_select("wselectbtn_downloadsetting");
    const struct {
        const char* button;
        const char* field;
        std::string answer;
        std::string shown;
    } cases[] = {
        {"wbtn-cachedir-setting-playback", "wtext-cachedir-setting-playback", fixed + "/cache", fixed + "/cache"},
        {"wbtn-downloaddir-setting-playback", "wtext-downloaddir-setting-playback", fixed + "/videos", fixed + "/videos"},
        {"wbtn-downloaddir-setting-playback", "wtext-downloaddir-setting-playback", usb + "/videos", fixed + "/videos"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        std::thread::id asked_on;
        plat::set_chooser_runner([&](const std::vector<std::string>&) {
            asked_on = std::this_thread::get_id();
            return std::optional<plat::ProgramOutput>(plat::ProgramOutput{0, c.answer + "\n"});
        });
        click_button(c.button);
        log.settle(*controller);
        plat::set_chooser_runner({});
        EXPECT_NE(asked_on, std::thread::id()) << "the chooser was opened";
        EXPECT_NE(asked_on, std::this_thread::get_id()) << "not on the UI thread";
        EXPECT_EQ(plat::utf16_to_utf8(control(c.field).GetText()), c.shown);
    }
    EXPECT_EQ(refusals, std::vector<std::u16string>{u"Invalid folder, please select other!"});
}


// The controller's downloads page over the built right-hand pane, with a
// recording download manager.
class ControllerDownloads : public ControllerScreens {
protected:
    void adjust(UI::uiLogicParts& p) override
    {
        p.create_downloader = [this] { return &downloader; };
        p.release_downloader = [](IOstrel*) {};
    }

    UI::wtlist& download_rows() { return dynamic_cast<UI::wtlist&>(*UI::GetWidgetById(98)); }
    // A point in the middle of the download pane, in client coordinates.
    POINT pane_point()
    {
        const UI::widget& pane = *UI::GetWidgetById(97);
        const UI::fpoint origin = pane.GetScreenOrigin();
        return {LONG(origin.x + pane.GetWidth() / 2), LONG(origin.y + pane.GetHeight() / 2)};
    }
    // Presses on row `row`'s picture at `press`, moves through `path` and lets go at the last point;
    // with `row_gone` the list has lost the row after the press and names none.
    void drag(int row, POINT press, std::vector<POINT> path, bool row_gone = false)
    {
        UI::wrsslistitem* item = feed_list.GetItem(row);
        ASSERT_NE(item, nullptr);
        const auto at = [](POINT p) {
            UI::MouseEventArgs e;
            e.position = {float(p.x), float(p.y)};
            return e;
        };
        auto e = at(press);
        controller->OnRSSItemMouseDown(item, e);
        if (row_gone)
            item = nullptr;
        for (const POINT p : path) {
            e = at(p);
            controller->OnRSSItemMouseMove(item, e);
        }
        e = at(path.empty() ? press : path.back());
        controller->OnRSSItemMouseUp(item, e);
    }
    std::vector<std::string> added()
    {
        std::vector<std::string> keys;
        for (const auto& a : downloader.added())
            keys.push_back(a.task.key);
        return keys;
    }
    // Clicks download row `row` as the mouse does.
    void click_download_row(int row)
    {
        UI::wtlistitem* widget = download_rows().GetRow(row);
        ASSERT_NE(widget, nullptr);
        UI::ValueEventArgs click;
        click.sender = widget;
        widget->FireEvent("listitem_click", click);
    }

    ostrel_test::RecordingOstrel downloader;
};

// Tab moves the keyboard focus from the feed list on to the download pane,
// and on round to the search box.
TEST_F(ControllerDownloads, TabReachesTheDownloadPane)
{
    const UI::focusgroup* group = UI::uiMgr::Instance().GetFocusGroup();
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->members.size(), 3u);
    UI::widget* search = group->members[0];
    UI::widget* list = group->members[1];
    UI::widget* pane = UI::GetWidgetById(98);
    ASSERT_NE(pane, nullptr);
    CMutexGuard hold(UIRenderMutex());
    list->SetFocus();
    list->FocusNext();
    EXPECT_EQ(UI::GetFocusedWidget(), pane);
    pane->FocusNext();
    EXPECT_EQ(UI::GetFocusedWidget(), search);
    UI::SetFocusedWidget(nullptr);
}

TEST_F(ControllerDownloads, OnlyADragThatEndsOnTheDownloadPaneQueuesTheItem)
{
    show_page(0);
    const POINT press{300, 200}, pane = pane_point();
    ASSERT_TRUE(UI::GetWidgetById(97)->IsVisible());
    const struct {
        const char* what;
        int row;
        std::vector<POINT> path;
        std::vector<std::string> added;   // all so far
        int rows;
        bool row_gone{false};
    } cases[] = {
        {"a press that never moved", 3, {}, {}, 0},
        {"a jitter below the threshold", 3, {{306, 206}}, {}, 0},
        {"dropped beside the pane", 3, {{340, 240}, {320, 260}}, {}, 0},
        {"dropped on the pane", 3, {{340, 240}, pane}, {items[3].original_media_url}, 1},
        {"the same item again: its row is chosen", 3, {{340, 240}, pane}, {items[3].original_media_url}, 1},
        {"an item the quality filter refuses", 1, {{340, 240}, pane}, {items[3].original_media_url}, 1},
        {"another item", 5, {{340, 240}, pane}, {items[3].original_media_url, items[5].original_media_url}, 2},
        {"an item whose row went during the drag", 7, {{340, 240}, pane},
         {items[3].original_media_url, items[5].original_media_url, items[7].original_media_url}, 3, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        drag(c.row, press, c.path, c.row_gone);
        EXPECT_EQ(added(), c.added);
        EXPECT_EQ(download_rows().GetRowCount(), c.rows);
        EXPECT_FALSE(UI::GetWidgetById(101)->IsVisible()) << "the drag window goes with the drag";
    }
    std::list<ItemDownloadRecord> stored;
    CRSSDBMgr::Instance().GetItemDownloadInfos(&stored);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored.front().id, items[3].id);
}

// A download row plays through a command: the UI thread only posts, even
// while the logic thread holds the dispatch lock; then 31 and 32 walk the
// download pane.
TEST_F(ControllerDownloads, ADownloadRowPlaysOnTheLogicThreadAndStepsWalkThePane)
{
    show_page(0);
    for (const int row : {3, 5, 7})
        click_row(row, 108);   // each row's download button
    log.settle(*controller);
    ASSERT_EQ(download_rows().GetRowCount(), 3);

    log.close_gate();
    click_row(0);
    ASSERT_TRUE(log.wait_for_waiting()) << "the logic thread plays i0, holding the dispatch lock";
    click_download_row(1);   // returns at once: it does not wait for the lock
    log.open_gate();
    EXPECT_EQ(log.settle(*controller), (std::vector<std::string>{"item i0", "item i5"}));

    const struct {
        int command;
        std::vector<std::string> lines;
    } steps[] = {
        {32, {"item i7"}}, {31, {"item i5"}}, {31, {"item i3"}},
        {31, {}},   // the first download, and no list entry before the cursor
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.command);
        controller->PostUICommand(s.command);
        EXPECT_EQ(log.settle(*controller), s.lines);
    }
    // A feed row's play leaves the download pane: 32 steps the feed list again.
    click_row(0);
    log.settle(*controller);
    controller->PostUICommand(32);
    EXPECT_EQ(log.settle(*controller), std::vector<std::string>{"item i1"});
}

}
