#include "screens/builder/tests/MainWindowRig.h"

#include "screens/builder/UIIds.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wsyncdevicelist.h"
#include "screens/video/wtitlewindow.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

UI::widget& named(UI::widget& parent, const char* name)
{
    UI::widget* found = parent.FindChild(name);
    EXPECT_NE(found, nullptr) << name;
    return found ? *found : parent;
}

UI::widget& by_id(int id)
{
    UI::widget* found = UI::GetWidgetById(id);
    EXPECT_NE(found, nullptr) << id;
    return *found;
}

}  // namespace

TEST(Regions, PlaceTheirWidgetsWhereTheLayoutRulesPutThem)
{
    test::MainWindowRig rig;
    rig.builder.BuildUI();
    UI::widget& top = *UI::uiMgr::Instance().GetFrame(UI::uiMgr::Frame::Top);
    UI::widget& bottom = *UI::uiMgr::Instance().GetFrame(UI::uiMgr::Frame::Bottom);
    UI::widget& logo = named(top, "topframe-wimage_logo");
    const struct { const char* name; UI::widget& w; float x, y, width, height; bool shown; } cases[] = {
        {"top frame", top, 0, 0, 1024, 25, true},
        {"bottom frame", bottom, 0, 576 - 25, 1024, 25, true},
        {"left frame (width 0)", *UI::uiMgr::Instance().GetFrame(UI::uiMgr::Frame::Left), 0, 25, 0, 576 - 50, true},
        {"client at x 0, as wide as the root", by_id(UI::ids::Client), 0, 25, 1024, 576 - 50, true},
        {"minimise", by_id(UI::ids::Minimize), 1024 - 45 - 16, 4, 16, 16, true},
        {"maximise", by_id(UI::ids::Maximize), 1024 - 26 - 16, 4, 16, 16, true},
        {"restore shares its place, hidden", by_id(UI::ids::Restore), 1024 - 26 - 16, 4, 16, 16, false},
        {"close", by_id(UI::ids::Close), 1024 - 7 - 16, 4, 16, 16, true},
        {"logo 5 from the left, centred", logo, 5, (25 - logo.GetHeight()) / 2, logo.GetWidth(), logo.GetHeight(), true},
        {"tree window", by_id(UI::ids::RssTreeWindow), 0, 0, 175, 576 - 50, true},
        {"tree", by_id(UI::ids::RssTree), 0, 0, 175, 576 - 50, true},
        {"feed list window", by_id(UI::ids::RssListWindow), (1024 - 625) / 2.0f, 25, 625, 576 - 50, true},
        {"feed list filling its window", by_id(UI::ids::RssList), 0, 0, 625, 576 - 50, true},
        {"search box", by_id(UI::ids::SearchBox), (1024 - 155) / 2.0f, 3, 155, 19, true},
        {"settings button", by_id(UI::ids::SettingButton), 1024 - 7 - 74, 3, 74, 19, true},
        {"loading page", by_id(UI::ids::LoadingPage), (1024 - 48) / 2.0f, (576 - 50 - 48) / 2.0f, 48, 48, false},
        {"control bar in the client's bottom right corner", *UI::uiMgr::Instance().GetControlBar(),
         1024 - UI::uiMgr::Instance().GetControlBar()->GetWidth(), 576 - 50 - UI::uiMgr::Instance().GetControlBar()->GetHeight(),
         UI::uiMgr::Instance().GetControlBar()->GetWidth(), UI::uiMgr::Instance().GetControlBar()->GetHeight(),
         UI::uiMgr::Instance().GetControlBar()->GetShowState()},
        {"right pane against the right edge", by_id(UI::ids::RightWindow), 1024 - 199, 25, 199, 576 - 50, true},
        {"empty-content notice", by_id(UI::ids::EmptyPrompt), (1024 - 625) / 2.0f, (576 - 50 - 14) / 2.0f, 625, 14, false},
        {"settings window above the bottom frame, hidden", by_id(UI::ids::Setting), 0, 576 - 25 - 120, 1024, 120, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FLOAT_EQ(c.w.GetX(), c.x);
        EXPECT_FLOAT_EQ(c.w.GetY(), c.y);
        EXPECT_FLOAT_EQ(c.w.GetWidth(), c.width);
        EXPECT_FLOAT_EQ(c.w.GetHeight(), c.height);
        EXPECT_EQ(c.w.GetShowState(), c.shown);
    }
}

TEST(Regions, ThePagingWindowHoldsNButtonsAt18PxSteps)
{
    for (int n : {1, 3, 20}) {
        SCOPED_TRACE(n);
        test::MainWindowRig rig;
        rig.builder.SetPageButtonCount(n);
        rig.builder.BuildUI();
        UI::widget& paging = by_id(UI::ids::PageButtons);
        EXPECT_FLOAT_EQ(paging.GetWidth(), 18.0f * n + 37);
        EXPECT_FLOAT_EQ(paging.GetHeight(), 25);
        EXPECT_FALSE(paging.GetShowState());
        ASSERT_EQ(rig.builder.GetPageButtons().size(), std::size_t(n));
        for (int i = 0; i < n; ++i) {
            UI::widget& page = by_id(UI::ids::FirstPageSelect + i);
            EXPECT_FLOAT_EQ(page.GetX(), 19.0f + 18 * i) << i;
            EXPECT_FLOAT_EQ(page.GetWidth(), 17);
        }
        const UI::widget& last_page = *rig.builder.GetPageButtons().back();
        EXPECT_FLOAT_EQ(paging.GetWidth() - (last_page.GetX() + last_page.GetWidth()), 19);
        EXPECT_EQ(UI::GetWidgetById(UI::ids::FirstPageSelect + n), nullptr);
        UI::widget& next = by_id(UI::ids::NextPage);
        EXPECT_FLOAT_EQ(next.GetX() + next.GetWidth(), paging.GetWidth());
    }
}

// The page text spans the paging window over the arrows; a press on an
// arrow must still reach the arrow, not the text.
TEST(Regions, APressOnAPageArrowReachesTheArrowUnderThePageText)
{
    test::MainWindowRig rig;
    rig.builder.BuildUI();
    UI::window& root = *UI::uiMgr::Instance().GetRoot();
    for (int id : {UI::ids::PageButtons, UI::ids::LastPage, UI::ids::NextPage, UI::ids::PageText}) by_id(id).Show(true);
    root.UpdateLayout();
    UI::widget& text = by_id(UI::ids::PageText);
    text.UpdateScreenOrigin();
    for (int id : {UI::ids::NextPage, UI::ids::LastPage}) {
        SCOPED_TRACE(id);
        UI::widget& arrow = by_id(id);
        const UI::fpoint at = arrow.UpdateScreenOrigin();
        const float x = at.x + arrow.GetWidth() / 2, y = at.y + arrow.GetHeight() / 2;
        UI::widget* hit = root.ChildAt(x, y);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(UI::GetWidgetIdByName(hit->GetName()), id) << hit->GetName();
    }
    // The text still lies over the next arrow's centre: the press passes through it.
    UI::widget& next = by_id(UI::ids::NextPage);
    const float centre = next.UpdateScreenOrigin().x + next.GetWidth() / 2;
    const float text_left = text.GetScreenOrigin().x;
    EXPECT_LE(text_left, centre);
    EXPECT_GE(text_left + text.GetWidth(), centre);
}

TEST(Regions, OperationBarButtonsAreAsWideAsTheirTextAnd33)
{
    test::MainWindowRig rig;
    rig.builder.BuildUI();
    const struct { int bar; int button; const char* text; std::u16string caption; } cases[] = {
        {UI::ids::MyFavoriteOperation, UI::ids::RemoveAll, "text-bottom-removeall", u"Clear All"},
        {UI::ids::SearchOperation, UI::ids::SaveSearch, "text-bottom-savesearch", u"Save Result"},
        {UI::ids::MyChannelOperation, UI::ids::Remove, "text-bottom-remove", u"Remove"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        UI::widget& bar = by_id(c.bar);
        UI::widget& button = by_id(c.button);
        auto& text = static_cast<UI::wtext&>(named(button, c.text));
        EXPECT_EQ(text.GetText(), c.caption);
        EXPECT_GT(text.GetWidth(), 20);
        EXPECT_FLOAT_EQ(text.GetWidth(), text.GetTextSize().x);
        EXPECT_FLOAT_EQ(button.GetWidth(), text.GetWidth() + 33);
        EXPECT_FLOAT_EQ(bar.GetWidth(), 200);
        EXPECT_FALSE(bar.GetShowState());
    }
}

TEST(Regions, TheFeedListAndThePanesAreFoundByTheirIds)
{
    test::MainWindowRig rig;
    rig.builder.BuildUI();
    UI::widget& list = by_id(UI::ids::RssList);
    EXPECT_NE(dynamic_cast<UI::wrsslist*>(&list), nullptr);
    EXPECT_EQ(list.GetName(), "wrsslist_rss");
    EXPECT_EQ(list.GetParent(), &by_id(UI::ids::RssListWindow));
    EXPECT_EQ(UI::GetWidgetIdByName("wrsslist_rss"), UI::ids::RssList);

    auto& right = dynamic_cast<UI::wrightwindow&>(by_id(UI::ids::RightWindow));
    ASSERT_EQ(right.Panes().size(), 2u);
    const struct {
        const char* name;
        int id;
        UI::widget* expected;
    } cases[] = {
        {"window_mydownload", UI::ids::MyDownload, right.Panes()[0]},
        {"wdownloadlist_mydownload", UI::ids::MyDownloadList, right.Panes()[0]->GetList()},
        {"window_syncdevice", UI::ids::SyncDevice, right.Panes()[1]},
        {"wdownloadlist_syncipod", UI::ids::SyncDeviceList, right.Panes()[1]->GetList()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.expected, nullptr);
        EXPECT_EQ(UI::GetWidgetById(c.id), c.expected);
        EXPECT_EQ(UI::GetWidgetIdByName(c.name), c.id);
    }
    // A list's click reaches the controller under the list's own name.
    for (const auto& [pane, id] : {std::pair{0, UI::ids::MyDownloadList}, {1, UI::ids::SyncDeviceList}})
        EXPECT_EQ(UI::GetWidgetIdByName(right.Panes()[std::size_t(pane)]->GetList()->GetName()), id);
    EXPECT_NE(dynamic_cast<UI::wsyncdevicelist*>(right.Panes()[1]->GetList()), nullptr);
}
