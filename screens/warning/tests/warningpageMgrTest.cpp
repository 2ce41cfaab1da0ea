// The warning and hint pages over the headless main window: which page is
// shown, what hiding the failed-playback page does to the display mode, the
// ids the hints register and the result a page's button reports.

#include "screens/warning/warningpageMgr.h"

#include "screens/builder/UIIds.h"
#include "screens/builder/tests/MainWindowRig.h"
#include "screens/widgets/wcontainer.h"
#include "platform/base/DebugLog.h"
#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/render/render.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
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

struct Box {
    std::string name;
    UI::frect rect;   // in the page's coordinates
};

bool overlap(const UI::frect& a, const UI::frect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

std::string describe(const Box& b)
{
    return b.name + " at " + std::to_string(int(b.rect.x)) + "," + std::to_string(int(b.rect.y)) + " " +
           std::to_string(int(b.rect.width)) + "x" + std::to_string(int(b.rect.height));
}

// What a shown widget takes of its page: a text as far as its letters reach,
// anything else its box. A button (check boxes too) counts whole, its own
// pictures inside it.
void collect(const UI::widget& w, UI::fpoint origin, std::vector<Box>& content, std::vector<Box>& buttons)
{
    for (const UI::widget* child : w.ChildrenInZOrder()) {
        if (!child->GetShowState()) continue;
        const UI::fpoint at{origin.x + child->GetX(), origin.y + child->GetY()};
        if (dynamic_cast<const UI::wbtn*>(child) || dynamic_cast<const UI::wselectbtn*>(child)) {
            buttons.push_back({child->GetName(), {at.x, at.y, child->GetWidth(), child->GetHeight()}});
        } else if (const auto* text = dynamic_cast<const UI::wtext*>(child)) {
            const UI::fpoint size = text->GetTextSize();
            content.push_back({child->GetName(), {at.x, at.y, size.x, size.y}});
        } else if (dynamic_cast<const UI::wcontainer*>(child)) {
            collect(*child, at, content, buttons);
        } else {
            content.push_back({child->GetName(), {at.x, at.y, child->GetWidth(), child->GetHeight()}});
        }
    }
}

}  // namespace

// Each page as the list area shows it: all it shows lies inside the page,
// clear of its buttons and check boxes, and every picture its widgets name
// is in the skin (a missing one left a button as loose text and a check box
// unseen). A picture of each is saved for a look (warning-<id>.png).
TEST(warningpageMgr, EachPageKeepsItsContentInsideAndClearOfItsButtons)
{
    test::MainWindowRig rig;
    ASSERT_TRUE(rig.builder.BuildUI());
    plat::DebugCapture log;
    warningpageMgr pages{{}};
    pages.CreatePages();
    constexpr int Width = 1024, Height = 576;
    std::unique_ptr<RenderEngine::backbuffer> canvas(rig.skin.manager.CreateBackBuffer(Width, Height, true));
    UI::window& root = *UI::uiMgr::Instance().GetRoot();
    for (const wwarningpage* page : pages.Pages()) {
        SCOPED_TRACE(page->GetPageId());
        ASSERT_TRUE(pages.ShowPage(page->GetPageId(), false));
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        UI::DrawSkin(UI::SkinPicture("black_image"), UI::frect{0, 0, Width, Height}, 1, {});
        root.Draw();
        RenderEngine::PopRenderTarget();
        const std::filesystem::path out =
            std::filesystem::path(WARNING_ARTIFACTS) / ("warning-" + std::to_string(page->GetPageId()) + ".png");
        std::filesystem::create_directories(out.parent_path());
        EXPECT_TRUE(UI::save_png(canvas.get(), out.c_str()));

        std::vector<Box> content, buttons;
        collect(*page, {0, 0}, content, buttons);
        EXPECT_FALSE(buttons.empty());
        const UI::frect whole{0, 0, page->GetWidth(), page->GetHeight()};
        for (const std::vector<Box>* boxes : {&content, &buttons})
            for (const Box& b : *boxes) {
                EXPECT_GT(b.rect.width, 0) << describe(b);
                EXPECT_GT(b.rect.height, 0) << describe(b);
                EXPECT_TRUE(b.rect.x >= 0 && b.rect.y >= 0 && b.rect.x + b.rect.width <= whole.width &&
                            b.rect.y + b.rect.height <= whole.height)
                    << describe(b) << " lies outside the page of " << whole.width << "x" << whole.height;
            }
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            for (const Box& c : content) {
                if (c.name == "wimage_rssitembackground") continue;
                EXPECT_FALSE(overlap(c.rect, buttons[i].rect)) << describe(c) << " runs under " << describe(buttons[i]);
            }
            for (std::size_t j = i + 1; j < buttons.size(); ++j)
                EXPECT_FALSE(overlap(buttons[i].rect, buttons[j].rect))
                    << describe(buttons[i]) << " and " << describe(buttons[j]);
        }
    }
    for (const std::string& line : log.lines()) EXPECT_EQ(line.find("skin: no picture"), std::string::npos) << line;
}

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
