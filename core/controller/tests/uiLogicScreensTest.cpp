// The controller over the main window's real widget tree (headless, the
// generated skin) and a temporary feed database: what its commands and
// hooks do to the widgets, the play logic and the database.

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"
#include "screens/builder/tests/MainWindowRig.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/wcontrolbar.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <vector>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// Lines of what the feed window and the play logic were asked, and the feed view's state.
class Log final : public UI::uiLogicFeedWindow {
public:
    void OnChannelUpdated(std::int64_t) override {}
    void ShowSearchResult(std::unique_ptr<SearchRequest> request) override { add(request ? "search" : "sync"); }
    void OnChannelAdded(std::int64_t) override {}
    void OnChannelDeleted(std::int64_t) override {}
    void OnTreeNodeClicked(UI::EventArgs&) override {}
    std::int64_t ShownChannel() override { return ShownList().channel; }
    bool ItemListHidden() override { return false; }
    UI::FeedListState ShownList() override
    {
        std::scoped_lock hold(m_lock);
        return list;
    }
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

    void set_list(UI::FeedListState l)
    {
        std::scoped_lock hold(m_lock);
        list = l;
    }
    void add(std::string line)
    {
        std::scoped_lock hold(m_lock);
        if (line == "sync")
            ++m_syncs;
        else
            m_lines.push_back(std::move(line));
        m_changed.notify_all();
    }
    std::vector<std::string> settle(UI::uiLogic& controller)
    {
        controller.PostLogicCommand(LogicCommand::SearchResult, 0, 0);
        std::unique_lock hold(m_lock);
        m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_syncs > 0; });
        --m_syncs;
        std::vector<std::string> lines;
        lines.swap(m_lines);
        return lines;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;   // guarded by m_lock
    UI::FeedListState list;             // guarded by m_lock
    int m_syncs = 0;                    // guarded by m_lock
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
    bool PlayVideoItem(const RSSData::tRSSItem& item) override { return m_log.add("item " + item.title), true; }

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
        controller.emplace(std::move(p));
        controller->Init();
        ASSERT_TRUE(controller->FeedsProblem().empty()) << controller->FeedsProblem();
        fill_channel();
    }

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

TEST_F(ControllerScreens, TheSettingsButtonSlidesTheSettingsWindowInAndOut)
{
    UI::window settings("window-setting");
    settings.Show(false);
    UI::RegisterWidget("window-setting", 92, &settings);
    controller->PostUICommand(219);
    log.settle(*controller);
    EXPECT_EQ(settings.GetAnimationFlags(), 0x100220);
    EXPECT_TRUE(settings.IsVisible());
    controller->PostUICommand(219);
    log.settle(*controller);
    EXPECT_EQ(settings.GetAnimationFlags(), 0x600220);
    UI::UnregisterWidget(&settings);
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

}
