// The warning and hint pages over the headless main window: which page is
// shown, what hiding the failed-playback page does to the display mode, the
// ids the hints register and the result a page's button reports.

#include "screens/warning/warningpageMgr.h"

#include "screens/builder/UIIds.h"
#include "screens/builder/tests/MainWindowRig.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Pages {
    test::MainWindowRig rig;
    DWORD mode = 1;
    std::vector<int> results;
    warningpageMgr pages{{[this] { return mode; }, [this](DWORD m) { mode = m; },
                          [this](int id) { results.push_back(id); }}};

    Pages()
    {
        EXPECT_TRUE(rig.builder.BuildUI());
        pages.CreatePages();
    }

    std::vector<int> shown() const
    {
        std::vector<int> ids;
        for (const wwarningpage* page : pages.Pages())
            if (page->IsVisible()) ids.push_back(page->GetPageId());
        return ids;
    }
};

}  // namespace

TEST(warningpageMgr, ShowsOnePageAtATimeAndRefusesUnknownIds)
{
    Pages p;
    ASSERT_EQ(p.pages.Pages().size(), 7u);
    p.pages.CreatePages();
    EXPECT_EQ(p.pages.Pages().size(), 7u) << "pages are made once";
    EXPECT_TRUE(p.shown().empty());

    const struct { int show; bool animate; bool result; std::vector<int> shown; } steps[] = {
        {19, false, true, {19}},
        {17, false, true, {17}},   // 19 goes first
        {23, false, false, {17}},  // no such page: nothing hidden
        {15, true, false, {17}},
        {22, true, true, {22}},
        {21, false, true, {21}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.show);
        EXPECT_EQ(p.pages.ShowPage(s.show, s.animate), s.result);
        EXPECT_EQ(p.shown(), s.shown);
    }
    p.pages.HideAll();
    EXPECT_TRUE(p.shown().empty());
}

TEST(warningpageMgr, HidingTheFailedPlaybackPageLeavesTheVideo)
{
    const struct { DWORD mode; int page; DWORD mode_after; bool video_after; } cases[] = {
        {2, 16, 1, false},
        {8, 16, 8, false},
        {4, 16, 4, true},
        {2, 17, 2, true},   // another page leaves the video alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " page " << c.page);
        Pages p;
        UI::widget* video = UI::uiMgr::Instance().GetVideoWindow();
        ASSERT_NE(video, nullptr);
        video->Show(true);
        p.mode = c.mode;
        ASSERT_TRUE(p.pages.ShowPage(c.page, false));
        p.pages.HideAll();
        EXPECT_EQ(p.mode, c.mode_after);
        EXPECT_EQ(video->IsVisible(), c.video_after);
    }
}

TEST(warningpageMgr, HintsRegisterTheirIdsAndShowTheirPictures)
{
    Pages p;
    const struct { int id; const char* name; } registered[] = {
        {UI::ids::SearchPrompt, "window_searchprompt"},
        {UI::ids::MyChannelPrompt, "window_mychannelprompt"},
        {UI::ids::AddNow, "wbtn_window_mychannelprompt-addnow"},
        {88, "wselectbtn_window_searchprompt-dontask"},
        {89, "wselectbtn_window_mychannelprompt-dontask"},
    };
    for (const auto& r : registered) {
        SCOPED_TRACE(r.name);
        const UI::widget* w = UI::GetWidgetById(r.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->GetName(), r.name);
        EXPECT_EQ(UI::GetWidgetIdByName(r.name), r.id);
    }
    const struct { int page; const char* icon; } icons[] = {
        {22, "wimage_Seach_Dialog_Icon"},
        {16, "wimage_Warning_Dialog_Icon"},
        {20, "wimage_Warning_Dialog_Icon"},
    };
    for (const auto& i : icons) {
        SCOPED_TRACE(i.page);
        auto* icon = dynamic_cast<UI::wimage*>(p.pages.FindPage(i.page)->FindChild(i.icon));
        ASSERT_NE(icon, nullptr);
        EXPECT_NE(icon->GetPicture(), nullptr) << "the skin has the picture";
    }
}

TEST(warningpageMgr, AButtonReportsItsPageAndIsNotHandled)
{
    Pages p;
    const struct { int page; const char* button; } cases[] = {
        {16, "wbtn_window_ok"},
        {20, "wbtn_window_ok"},
        {21, "wbtn_window_mychannelprompt-addnow"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        p.results.clear();
        UI::widget* button = p.pages.FindPage(c.page)->FindChild(c.button);
        ASSERT_NE(button, nullptr);
        UI::MouseEventArgs press;
        button->OnMouseDown(press);
        EXPECT_EQ(p.results, std::vector<int>{c.page});
    }
}
