// Builds the main window headless, fills the channel tree with the standard
// folders and a few channels, opens one channel and saves the screen as
// PNG (SCREENS_SHOT_OUT, else build/<tree>/artifacts/screens-1.png) for a
// look; a few pixel probes check what it shows.

#include "screens/builder/tests/MainWindowRig.h"

#include "screens/builder/UIIds.h"
#include "screens/tree/wrsstree.h"
#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

constexpr int Width = 1024;
constexpr int Height = 576;

struct Folder {
    int text_id;
    const char* icon;
    std::vector<int> channels;   // category text ids
};

// The tree as the feed window fills it: the standard folders, the site's categories under "YouTube Video".
void fill_tree(UI::wrsstree& tree, UI::d3dresMgr& texts)
{
    const Folder folders[] = {
        {7001, "icon_MyFavorite", {}},
        {7007, "icon_recentviewed", {}},
        {7002, "icon_search", {}},
        {7003, "icon_mychannel", {}},
        {7004, "icon_YouTube", {6080, 6081, 6087, 6082, 6083}},
    };
    int64_t id = 1;
    for (const Folder& f : folders) {
        UI::wrsstreenode* folder = tree.AddChildNode(texts.LoadText(f.text_id).c_str(), id++, f.icon);
        for (int channel : f.channels) folder->AddChildNode(texts.LoadText(channel).c_str(), 100 + channel, "");
    }
    UI::wrsstreenode* subscriptions = tree.FindChild("My Subscriptions", nullptr);
    subscriptions->AddChildNode(u"Cooking with Ana", 201, "")->SetPrefetchStatus(1);
    subscriptions->AddChildNode(u"Mountain trails", 202, "");
    tree.LayoutNodes();
}

bool busy(UI::wrsstreenode& node)
{
    if (node.GetFolderMove().IsRunning() || node.GetHighlightMove().IsRunning() || node.IsWaiting()) return true;
    for (UI::wtreenode* child : node.GetNodes())
        if (busy(*static_cast<UI::wrsstreenode*>(child))) return true;
    return false;
}

void click(UI::wrsstreenode& node)
{
    UI::MouseEventArgs press;
    node.OnMouseDown(press);
}


}  // namespace

TEST(MainWindowShot, TheMainWindowWithItsTreeOpenOnAChannel)
{
    test::MainWindowRig rig;
    ASSERT_TRUE(rig.builder.BuildUI());
    UI::window& root = *UI::uiMgr::Instance().GetRoot();
    auto& tree = static_cast<UI::wrsstree&>(*UI::GetWidgetById(UI::ids::RssTree));
    fill_tree(tree, rig.skin.manager);
    UI::GetWidgetById(UI::ids::EmptyPrompt)->Show(true);

    std::unique_ptr<RenderEngine::backbuffer> canvas(rig.skin.manager.CreateBackBuffer(Width, Height, true));
    // The background layer (drawn under the tree by the compose server) stands in as black.
    auto frame = [&] {
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        UI::DrawSkin(UI::SkinPicture("black_image"), UI::frect{0, 0, Width, Height}, 1, {});
        root.Draw();
        RenderEngine::PopRenderTarget();
    };
    auto settle = [&] {
        for (int i = 0; i < 300 && busy(tree); ++i) frame();
        EXPECT_FALSE(busy(tree));
    };
    UI::wrsstreenode& site = *tree.FindChild("YouTube Video", nullptr);
    click(site);
    settle();
    UI::wrsstreenode& chosen = *site.FindChild("Most Viewed", nullptr);
    UI::wrsstreenode& other = *site.FindChild("Top Rated", nullptr);
    click(chosen);
    settle();
    frame();
    ASSERT_EQ(site.GetSelectedChild(), &chosen);

    const char* out = std::getenv("SCREENS_SHOT_OUT");
    if (out == nullptr) out = SCREENS_SHOT;
    std::filesystem::create_directories(std::filesystem::path(out).parent_path());
    ASSERT_TRUE(UI::save_png(canvas.get(), out));

    // The highlight bar lies under the chosen channel's row, not under its neighbour's.
    const UI::fpoint tree_at = tree.UpdateScreenOrigin();
    const int bar_x = int(tree_at.x) + 150;
    const int chosen_y = int(chosen.UpdateScreenOrigin().y) + 12;
    const int other_y = int(other.UpdateScreenOrigin().y) + 12;
    auto reddish = [&](int y) {
        const uint32_t p = UI::read_pixel(canvas.get(), bar_x, y);
        return int((p >> 16) & 0xFF) > int((p >> 8) & 0xFF) + 20;
    };
    EXPECT_TRUE(reddish(chosen_y));
    EXPECT_TRUE(reddish(int(site.UpdateScreenOrigin().y) + 12));
    EXPECT_FALSE(reddish(other_y));
    // The title ("Vazir EZO", dark on the light top frame) shows between the
    // logo and the centred search box.
    int title_ink = 0;
    for (int y = 4; y < 22; ++y)
        for (int x = 105; x < (Width - 200) / 2; ++x) {
            const uint32_t p = UI::read_pixel(canvas.get(), x, y);
            title_ink += int((p >> 16) & 0xFF) < 90 && int((p >> 8) & 0xFF) < 90 && int(p & 0xFF) < 90;
        }
    EXPECT_GT(title_ink, 20) << "the title shows";
    // The frames are drawn over the black behind them.
    EXPECT_NE(UI::read_pixel(canvas.get(), 300, 12) & 0xFFFFFF, 0u);
    EXPECT_NE(UI::read_pixel(canvas.get(), 300, Height - 12) & 0xFFFFFF, 0u);
    // Past its rounded end the bottom frame is even: not smeared into steps.
    for (int y : {Height - 18, Height - 12, Height - 6})
        for (int x : {8, 24, 40, 60, 90}) {
            SCOPED_TRACE(testing::Message() << x << ", " << y);
            EXPECT_EQ(UI::read_pixel(canvas.get(), x, y), UI::read_pixel(canvas.get(), 300, y));
        }
}

// The control bar sits in the client's bottom right corner, its left part over the feed list: shown over the
// feed view, all of it is drawn on top of the list's rows and takes the presses there.
TEST(MainWindowShot, TheControlBarLiesOverTheFeedList)
{
    test::MainWindowRig rig;
    ASSERT_TRUE(rig.builder.BuildUI());
    UI::window& root = *UI::uiMgr::Instance().GetRoot();
    UI::widget& bar = *UI::uiMgr::Instance().GetControlBar();
    UI::widget& list_window = *UI::GetWidgetById(UI::ids::RssListWindow);
    // Rows stand in as a red fill over the whole list.
    auto* rows = new UI::wimage("rows");
    rows->SetPicture("pageselect");
    rows->SetSize(list_window.GetWidth(), list_window.GetHeight());
    list_window.AddChild(rows);
    bar.Show(true);

    std::unique_ptr<RenderEngine::backbuffer> canvas(rig.skin.manager.CreateBackBuffer(Width, Height, true));
    auto pixel_at = [&](int x, int y) {
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        UI::DrawSkin(UI::SkinPicture("black_image"), UI::frect{0, 0, Width, Height}, 1, {});
        root.Draw();
        RenderEngine::PopRenderTarget();
        return UI::read_pixel(canvas.get(), x, y);
    };
    const UI::fpoint bar_at = bar.UpdateScreenOrigin();
    const UI::fpoint list_at = list_window.UpdateScreenOrigin();
    ASSERT_LT(bar_at.x + 20, list_at.x + list_window.GetWidth()) << "the bar's left part lies over the list";
    const int x = int(bar_at.x) + 10;
    const int y = int(bar_at.y) + 45;

    const uint32_t over_list = pixel_at(x, y);
    list_window.Show(false);
    const uint32_t alone = pixel_at(x, y);
    EXPECT_EQ(over_list, alone) << "the list's rows show through the control bar";

    list_window.Show(true);
    UI::widget* hit = root.ChildAt(float(x), float(y));
    bool in_bar = false;
    for (UI::widget* w = hit; w; w = w->GetParent()) in_bar = in_bar || w == &bar;
    EXPECT_TRUE(in_bar) << "a press on the bar reaches " << (hit ? hit->GetName() : std::string("nothing"));
}
