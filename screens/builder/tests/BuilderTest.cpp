#include "screens/builder/tests/MainWindowRig.h"

#include "screens/builder/UIIds.h"
#include "screens/video/IBaseUIPlay.h"
#include "toolkit/render/backbuffer.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>


namespace ids = UI::ids;

TEST(uiBuilder, EveryRegisteredIdFindsAWidgetOfItsSkinName)
{
    test::MainWindowRig rig;
    ASSERT_TRUE(rig.builder.BuildUI());
    const struct { int id; const char* name; } cases[] = {
        {ids::Client, "client"},
        {ids::VideoPlayWindow, "videoplaywindow"},
        {ids::RightWindow, "window-right"},
        {ids::DragWindow, "window-drag"},
        {ids::Maximize, "topframe_btn_max"},
        {ids::Minimize, "topframe_btn_min"},
        {ids::Close, "topframe_btn_close"},
        {ids::Restore, "topframe_btn_restore"},
        {ids::MyFavoriteOperation, "window_myfavoriteopertation"},
        {ids::SearchOperation, "window_searchopertation"},
        {ids::MyChannelOperation, "window_mychannelopertation"},
        {ids::Remove, "btn-bottomfram-remove"},
        {ids::SaveSearch, "btn-bottomfram-savesearch"},
        {ids::RemoveAll, "btn-bottomfram-removeall"},
        {ids::RssTreeWindow, "window-rsstree"},
        {ids::RssListWindow, "window-rsslistweb"},
        {ids::RssTree, "wtree-rss"},
        {ids::RssList, "wrsslist_rss"},
        {ids::LastPage, "btn-rsslastpage"},
        {ids::NextPage, "btn-rssnextpage"},
        {ids::FirstPageSelect, "select_rsspage_0"},
        {ids::FirstPageSelect + 19, "select_rsspage_19"},
        {ids::PageText, "wtext-pageindicate-text"},
        {ids::PageButtons, "window-rsspageindicatebtns"},
        {ids::EmptyPrompt, "window_prompt"},
        {ids::SettingButton, "btn-bottomfram-setting"},
        {ids::LoadingPage, "window-loadingpage"},
        {ids::Loading, "wloading-loadingpage"},
        {ids::SearchBox, "searcheditbox"},
        {ids::SearchButton, "widget-searcheditbox-btn"},
        {ids::SearchText, "widget-searcheditbox-text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UI::widget* found = UI::GetWidgetById(c.id);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->GetName(), c.name);
        EXPECT_EQ(UI::GetWidgetIdByName(c.name), c.id);
    }
    EXPECT_EQ(UI::GetWidgetById(2787), nullptr);
    EXPECT_EQ(UI::GetWidgetById(ids::FirstPageSelect + 20), nullptr);
    EXPECT_EQ(rig.builder.GetPageButtons().size(), 20u);
}

TEST(uiBuilder, TheUIManagerHoldsTheBuiltParts)
{
    test::MainWindowRig rig;
    rig.builder.BuildUI();
    UI::uiMgr& manager = UI::uiMgr::Instance();
    ASSERT_NE(manager.GetRoot(), nullptr);
    EXPECT_EQ(manager.GetRoot()->GetName(), "root");
    EXPECT_EQ(manager.GetOverlayRoot()->GetName(), "rootui");
    EXPECT_EQ(manager.GetClient(), UI::GetWidgetById(ids::Client));
    EXPECT_EQ(manager.GetVideoWindow(), UI::GetWidgetById(ids::VideoPlayWindow));
    EXPECT_EQ(manager.GetVideoWindow()->GetParent(), manager.GetOverlayRoot());
    ASSERT_NE(manager.GetControlBar(), nullptr);
    EXPECT_EQ(manager.GetControlBar()->GetName(), "wcontrolbar-video");
    EXPECT_EQ(manager.GetControlBar()->GetParent(), manager.GetClient());
    EXPECT_EQ(UI::GetWidgetById(ids::DragWindow)->GetParent(), manager.GetRoot());
    EXPECT_EQ(UI::GetWidgetById(ids::RightWindow)->GetParent(), manager.GetOverlayRoot());
    EXPECT_NE(manager.GetFocusGroup(), nullptr);
    EXPECT_EQ(manager.GetTitleWindow()->GetName(), "title-window");
    EXPECT_EQ(manager.GetTitleWindow()->GetParent(), nullptr);
    EXPECT_EQ(manager.GetFrame(UI::uiMgr::Frame::Top)->GetName(), "topframe-window");
    EXPECT_EQ(manager.GetFrame(UI::uiMgr::Frame::Left)->GetName(), "leftframe-window");
    EXPECT_EQ(manager.GetFrame(UI::uiMgr::Frame::Bottom)->GetName(), "bottomframe-window");
    EXPECT_EQ(manager.GetFrame(UI::uiMgr::Frame::Right)->GetName(), "rightframe-window");
    for (UI::widget* w : {static_cast<UI::widget*>(manager.GetRoot()), static_cast<UI::widget*>(manager.GetOverlayRoot()),
                          manager.GetClient()})
        EXPECT_TRUE(w->IsMouseTransparent()) << w->GetName();
}

TEST(uiBuilder, TheUIRootsBackBufferHasTheScreensSizeUnlessSwitchedOff)
{
    const struct { std::optional<DWORD> stored; bool buffer; } cases[] = {{std::nullopt, true}, {0, false}, {1, true}, {7, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? int(*c.stored) : -1);
        test::MainWindowRig rig(c.stored);
        rig.settings.SetNumber(4, 800);   // a client smaller than the screen
        rig.settings.SetNumber(5, 500);
        rig.builder.BuildUI();
        RenderEngine::backbuffer* buffer = UI::uiMgr::Instance().GetOverlayRoot()->GetBackBuffer();
        ASSERT_EQ(buffer != nullptr, c.buffer);
        if (buffer) {
            EXPECT_EQ(buffer->m_width, 1024u);
            EXPECT_EQ(buffer->m_height, 576u);
        }
    }
}

TEST(uiBuilder, TheControlBarIsNotBuiltAgainWhenTheManagerHoldsOne)
{
    UI::window held("held-bar");
    UI::uiMgr::Instance().SetControlBar(&held);
    {
        test::MainWindowRig rig;
        rig.builder.BuildUI();
        EXPECT_EQ(UI::uiMgr::Instance().GetControlBar(), &held);
    }
    // The builder leaves a bar it did not make with the manager.
    EXPECT_EQ(UI::uiMgr::Instance().GetControlBar(), &held);
    UI::uiMgr::Instance().SetControlBar(nullptr);
}

TEST(uiBuilder, ThePlayerInterfaceAsksTheBuilderForTheControlBar)
{
    UI::uiMgr& manager = UI::uiMgr::Instance();
    UI::IBaseUIPlay play;
    play.CreateControlBar();   // no builder
    EXPECT_EQ(manager.GetControlBar(), nullptr);
    {
        test::MainWindowRig rig;
        play.CreateControlBar();   // no tree yet
        EXPECT_EQ(manager.GetControlBar(), nullptr);
        rig.builder.BuildUI();
        UI::widget* built = manager.GetControlBar();
        ASSERT_NE(built, nullptr);
        play.CreateControlBar();   // the manager holds one
        EXPECT_EQ(manager.GetControlBar(), built);

        manager.SetControlBar(nullptr);
        play.CreateControlBar();
        UI::widget* made = manager.GetControlBar();
        ASSERT_NE(made, nullptr);
        EXPECT_NE(made, built);
        UI::widget& client = *UI::GetWidgetById(ids::Client);
        EXPECT_EQ(made->GetParent(), &client);
        EXPECT_FLOAT_EQ(made->GetX() + made->GetWidth(), client.GetWidth());
        EXPECT_FLOAT_EQ(made->GetY() + made->GetHeight(), client.GetHeight());
    }
    play.CreateControlBar();   // the builder is gone
    EXPECT_EQ(manager.GetControlBar(), nullptr);
}

TEST(uiBuilder, TheManagerLetsGoOfTheVideoWindowAndControlBarWithTheTree)
{
    {
        test::MainWindowRig rig;
        rig.builder.BuildUI();
    }
    EXPECT_EQ(UI::uiMgr::Instance().GetVideoWindow(), nullptr);
    EXPECT_EQ(UI::uiMgr::Instance().GetControlBar(), nullptr);
}

TEST(uiBuilder, AnIdRegisteredAgainKeepsTheLastWidget)
{
    UI::widget first("first"), second("second");
    UI::RegisterWidget("first", 4000, &first);
    UI::RegisterWidget("second", 4000, &second);
    EXPECT_EQ(UI::GetWidgetById(4000), &second);
}
