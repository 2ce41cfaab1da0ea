#include "screens/feedlist/wrsslist.h"

#include "screens/feedlist/tests/FakeFeedLogic.h"
#include "screens/feedlist/tests/FeedListRig.h"
#include "screens/feedlist/wie.h"
#include "screens/feedlist/wrsslistitem.h"

#include "core/settings/CAppSettings.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sync/Event.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

constexpr float RowHeight = 124;   // a one-line description: 112 and the margins

struct ListClicks {
    std::vector<std::pair<intptr_t, intptr_t>> seen;   // row, code
    bool On(UI::EventArgs& e)
    {
        auto& v = static_cast<UI::ValueEventArgs&>(e);
        seen.emplace_back(v.value, v.reserved);
        return false;
    }
};

// Freezes the list when a row's click animation is asked for, as the
// controller does while the video window is hidden.
struct Freezer {
    UI::wrsslist* list{nullptr};
    bool On(UI::EventArgs&)
    {
        list->SetFrozen(true);
        return false;
    }
};

RSSData::tRSSItem item(int n, std::int64_t quality = 1280)
{
    RSSData::tRSSItem record;
    record.title = "item " + std::to_string(n);
    record.display_description = "<p>Item " + std::to_string(n) + "</p>";
    record.data = quality;
    return record;
}

// A list of `rows` one-line items, `height` high, on a desk with its own
// surface; the frames are the list's draws, one per 33 ms tick of the screen.
struct ListScene {
    test::SkinRig rig;
    plat::TempFolder home;
    plat::ScopedEnvironment home_env{"HOME", home.path().c_str()};
    plat::ScopedEnvironment data_env{"XDG_DATA_HOME", (home / "data").c_str()};
    CAppSettings settings;
    test::FakeFeedLogic logic;
    UI::window desk{"desk"};
    UI::wrsslist* list{new UI::wrsslist("wrsslist_rss")};
    ListClicks clicks;

    ListScene(int rows, float height)
    {
        settings.SetNumber(3, 600);
        desk.SetSize(800, 700);
        desk.AddChild(list);
        list->SetLogic(&logic);
        list->SetPos(10, 20);
        list->CreateBackBuffer(625, unsigned(height));
        for (int i = 0; i < rows; ++i) list->SetItemAt(i, item(i));
        list->GetEvent("list_click", true)->Subscribe(&ListClicks::On, &clicks);
        EXPECT_TRUE(test::pump_until([&] {
            for (int i = 0; i < list->GetItemCount(); ++i)
                if (!list->GetItem(i)->IsLoaded()) return false;
            return true;
        }));
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) list->Draw();
    }
    // Frames until the scroll rests; false when it never does.
    bool settle()
    {
        for (int i = 0; i < 400; ++i) {
            if (list->GetScrollOffset() == list->GetScrollTarget()) return true;
            list->Draw();
        }
        return false;
    }
    void key(int code)
    {
        UI::ValueEventArgs e;
        e.value = code;
        list->OnKey(e);
    }
    UI::MouseEventArgs at(float x, float y)
    {
        UI::MouseEventArgs e;
        e.position = {list->GetX() + x, list->GetY() + y};
        return e;
    }
};

TEST(wrsslist, RowsTakeTheirDescriptionsHeights)
{
    ListScene scene(3, 400);
    ASSERT_EQ(scene.list->GetItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(scene.list->GetItem(i)->GetY(), i * RowHeight);
        EXPECT_EQ(scene.list->GetItem(i)->GetHeight(), RowHeight);
        EXPECT_EQ(scene.list->GetItem(i)->GetWidth(), 625);
    }
    EXPECT_EQ(scene.list->GetContentHeight(), 3 * RowHeight);
}

TEST(wrsslist, AnEmptyDescriptionAddsOrChangesNoRow)
{
    ListScene scene(1, 400);
    RSSData::tRSSItem empty = item(7);
    empty.display_description.clear();
    scene.list->SetItemAt(1, empty);
    scene.list->SetItemAt(0, empty);
    EXPECT_EQ(scene.list->GetItemCount(), 1);
    EXPECT_EQ(scene.list->GetItem(0)->GetItem().title, "item 0");
}

TEST(wrsslist, AnExistingRowTakesANewItemAndAView)
{
    ListScene scene(2, 400);
    UI::wrsslistitem* row = scene.list->GetItem(0);
    RSSData::tRSSItem taller = item(9);
    taller.display_description = "<div style='height:300px'>tall</div>";
    scene.list->SetItemAt(0, taller);
    EXPECT_EQ(scene.list->GetItemCount(), 2);
    EXPECT_EQ(scene.list->GetItem(0), row);
    EXPECT_EQ(row->GetItem().title, "item 9");
    ASSERT_TRUE(test::pump_until([&] { return row->IsLoaded(); }));
    EXPECT_GE(row->GetHeight(), 312);
    EXPECT_EQ(scene.list->GetItem(1)->GetY(), row->GetHeight());
}

// A finished download refreshes its row on the download manager's event
// thread, which pumps no messages: the new view is written on the window's.
TEST(wrsslist, ARowRefreshedOnAnotherThreadLoadsOnTheWindowsThread)
{
    test::MainWindow main;
    ASSERT_NE(main.hwnd, nullptr);
    ListScene scene(2, 400);
    UI::wrsslistitem* row = scene.list->GetItem(0);
    RSSData::tRSSItem taller = item(9);
    taller.display_description = "<div style='height:300px'>tall</div>";
    std::thread event_thread([&] { row->SetItem(taller); });
    event_thread.join();
    ASSERT_TRUE(test::pump_until([&] { return row->IsLoaded(); }));
    EXPECT_GE(row->GetHeight(), 312);
    EXPECT_EQ(scene.list->GetItem(1)->GetY(), row->GetHeight());
}

// Frees a view on a thread of its own once the window's thread is writing
// the view's page (inside its "IE_update"), and gives the free room to run.
struct FreeWhileWritten {
    std::function<void()> free;
    plat::Event writing{plat::EventReset::Manual, plat::EventState::Clear};
    plat::Event freed{plat::EventReset::Manual, plat::EventState::Clear};
    std::thread other{[this] {
        writing.wait(20000);
        free();
        freed.set();
    }};

    explicit FreeWhileWritten(std::function<void()> f) : free(std::move(f)) {}
    ~FreeWhileWritten() { other.join(); }
    bool On(UI::EventArgs&)
    {
        writing.set();
        // The free must wait for this page: it does not end within the wait.
        freed.wait(500);
        return false;
    }
    bool done() { return freed.wait(0) == WAIT_OBJECT_0; }
};

TEST(wrsslist, AViewFreedOnAnotherThreadWaitsForItsPageToBeWritten)
{
    test::MainWindow main;
    ListScene scene(1, 400);
    UI::wrsslistitem* row = scene.list->GetItem(0);
    UI::wie* alone = nullptr;
    const struct {
        std::string name;
        std::function<UI::wie*()> show;
        std::function<void()> free;
    } cases[] = {
        {"its row refreshed", [&] { row->SetItem(item(1)); return row->GetContent(); }, [&] { row->SetItem(item(5)); }},
        {"the view alone", [&] {
             alone = new UI::wie("");
             alone->Load("<p>alone</p>", false);
             return alone;
         }, [&] { delete alone; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UI::wie* view = c.show();
        FreeWhileWritten freeing(c.free);
        view->GetEvent("IE_update", true)->Subscribe(&FreeWhileWritten::On, &freeing);
        EXPECT_TRUE(test::pump_until([&] { return freeing.done(); }));
    }
    ASSERT_TRUE(test::pump_until([&] { return row->IsLoaded(); }));
    EXPECT_EQ(row->GetItem().title, "item 5");
    EXPECT_EQ(row->GetHeight(), RowHeight);
}

TEST(wrsslist, ScrollsSpringBackFromBothEnds)
{
    const struct {
        std::string name;
        int rows;
        float height;
        int start_row;
        int key;
        float target;
        float rest;
    } cases[] = {
        {"Up on the first row", 5, 300, 0, 38, -480, 0},
        {"Down past a short content", 2, 500, 1, 40, 2 * RowHeight - 500 + 480, 0},
        {"Down past a long content", 5, 300, 4, 40, 5 * RowHeight - 300 + 480, 5 * RowHeight - 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListScene scene(c.rows, c.height);
        for (int i = 0; i < c.start_row; ++i) scene.key(40);
        ASSERT_TRUE(scene.settle());
        scene.key(c.key);
        EXPECT_EQ(scene.list->GetScrollTarget(), c.target);
        EXPECT_EQ(scene.list->GetCurrentIndex(), c.start_row);
        ASSERT_TRUE(scene.settle());
        EXPECT_EQ(scene.list->GetScrollOffset(), c.rest);
    }
}

TEST(wrsslist, AWheelNotchMovesOneRow)
{
    ListScene scene(5, 300);
    UI::MouseEventArgs wheel;
    wheel.second.x = -120;
    scene.list->OnMouseWheel(wheel);
    EXPECT_EQ(scene.list->GetCurrentIndex(), 1);
    EXPECT_EQ(scene.list->GetScrollTarget(), RowHeight);
    ASSERT_TRUE(scene.settle());
    EXPECT_EQ(scene.list->GetScrollOffset(), RowHeight);
    wheel.second.x = 240;
    scene.list->OnMouseWheel(wheel);
    EXPECT_EQ(scene.list->GetCurrentIndex(), 0);
}

TEST(wrsslist, APressThatStaysPutClicksALongerOneScrollsNeitherMovesTheList)
{
    const struct {
        float move;
        bool click;
    } cases[] = {{0, true}, {9, true}, {10, false}, {60, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.move);
        ListScene scene(5, 300);
        auto down = scene.at(300, RowHeight + 100);
        scene.list->OnMouseDown(down);
        auto up = scene.at(300, RowHeight + 100 - c.move);
        // The pointer passes on its way (sideways too): the list keeps its place.
        auto past = scene.at(700, RowHeight + 100 - c.move);
        scene.list->OnMouseMove(past);
        EXPECT_EQ(scene.list->GetX(), 10);
        EXPECT_EQ(scene.list->GetY(), 20);
        scene.list->OnMouseMove(up);
        scene.list->OnMouseUp(up);
        if (c.click) {
            ASSERT_EQ(scene.clicks.seen.size(), 1u);
            EXPECT_EQ(scene.clicks.seen[0], std::make_pair(intptr_t(1), intptr_t(0)));
            EXPECT_EQ(scene.list->GetScrollTarget(), 0);
        } else {
            EXPECT_TRUE(scene.clicks.seen.empty());
            // 5 rows of content over a 600 px screen.
            EXPECT_FLOAT_EQ(scene.list->GetScrollTarget(), c.move * 5 * RowHeight / 600);
        }
    }
}

// A row's favourite button takes its own press and release: toggling the
// mark must not also click (and so play) the row.
TEST(wrsslist, APressOnARowsButtonIsNoRowClick)
{
    ListScene scene(3, 400);
    UI::widget* star = scene.list->GetItem(1)->FindChild("wselectbtn_addtofavorite");
    ASSERT_NE(star, nullptr);
    const UI::fpoint origin = star->GetScreenOrigin();
    UI::MouseEventArgs press;
    press.position = {origin.x + star->GetWidth() / 2, origin.y + star->GetHeight() / 2};
    ASSERT_EQ(scene.list->ChildAt(press.position.x - scene.list->GetScreenOrigin().x + scene.list->GetX(),
                                  press.position.y - scene.list->GetScreenOrigin().y + scene.list->GetY()),
              star);
    scene.list->OnMouseDown(press);
    EXPECT_TRUE(press.handled);
    EXPECT_FALSE(scene.list->IsPressed()) << "the list leaves the press to the button";
    auto release = press;
    release.handled = 0;
    scene.list->OnMouseUp(release);
    EXPECT_TRUE(scene.clicks.seen.empty());
    EXPECT_EQ(scene.logic.downs, 0);
}

TEST(wrsslist, APressOnAThumbnailStartsADrag)
{
    ListScene scene(2, 300);
    const UI::frect thumb = scene.list->GetItem(0)->GetThumbnailRect();
    auto down = scene.at(thumb.x + 1, thumb.y + 1);
    scene.list->OnMouseDown(down);
    auto move = scene.at(thumb.x + 40, thumb.y + 40);
    scene.list->OnMouseMove(move);
    scene.list->OnMouseUp(move);
    EXPECT_EQ(scene.logic.downs, 1);
    EXPECT_EQ(scene.logic.moves, 1);
    EXPECT_EQ(scene.logic.ups, 1);
    EXPECT_TRUE(scene.clicks.seen.empty());
}

// The controller marks a refreshed row at once, before its page is laid out:
// the prefetched icon still ends on the picture's lower left corner, wherever
// the page puts the picture.
TEST(wrsslist, ThePrefetchedIconFollowsThePicture)
{
    ListScene scene(1, 400);
    RSSData::tRSSItem fetched = item(5);
    fetched.media_thumbnail_url = "http://127.0.0.1:1/t.jpg";
    fetched.display_description = "<p>words</p><p>more words</p><img src='" + fetched.media_thumbnail_url +
                                  "' width=130 height=90>";
    scene.list->SetItemAt(0, fetched);
    UI::wrsslistitem* row = scene.list->GetItem(0);
    row->ShowPrefetchedIcon();
    ASSERT_TRUE(test::pump_until([&] { return row->IsLoaded(); }));
    const UI::frect thumb = row->GetThumbnailRect();
    EXPECT_GT(thumb.y, 40) << "the picture is under the text";
    const UI::widget* icon = row->FindChild("wimage-prefetched");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->GetX(), thumb.x + 5);
    EXPECT_EQ(icon->GetY(), thumb.y + thumb.height - 20);
}

// The logic holds its own copy of the dragged item: when the row goes under
// the pointer (removed, or the page refilled), the drag still reaches its
// release, so the logic can end it (and hide its picture), naming no row.
TEST(wrsslist, ADragOutlivesItsRow)
{
    const struct {
        const char* what;
        void (*take_row)(ListScene&);
        int rows_left;
    } cases[] = {
        {"its row removed", [](ListScene& scene) {
             scene.list->BeginRemove(0, UI::wrsslist::Removal::Now);
             scene.frames(40);
         }, 1},
        {"the list refilled", [](ListScene& scene) {
             scene.list->RemoveAllItems();
             scene.list->SetItemAt(0, item(7));
         }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ListScene scene(2, 300);
        const UI::frect thumb = scene.list->GetItem(0)->GetThumbnailRect();
        auto down = scene.at(thumb.x + 1, thumb.y + 1);
        scene.list->OnMouseDown(down);
        c.take_row(scene);
        ASSERT_EQ(scene.list->GetItemCount(), c.rows_left);
        auto move = scene.at(thumb.x + 40, thumb.y + 40);
        scene.list->OnMouseMove(move);
        scene.list->OnMouseUp(move);
        EXPECT_EQ(scene.logic.downs, 1);
        EXPECT_EQ(scene.logic.moves, 1);
        EXPECT_EQ(scene.logic.ups, 1);
        EXPECT_EQ(scene.logic.drag_rows, (std::vector<UI::wrsslistitem*>{nullptr, nullptr})) << "no freed row";
        EXPECT_TRUE(scene.clicks.seen.empty()) << "the release is not a click";
        // The next press is an ordinary click again.
        auto press = scene.at(300, 100);
        scene.list->OnMouseDown(press);
        scene.list->OnMouseUp(press);
        EXPECT_EQ(scene.logic.ups, 1);
    }
}

TEST(wrsslist, RemovalCollapsesTheRowThenHandsItToTheLogicThread)
{
    const struct {
        bool delayed;
        int frames;   // 124 px shrinking by a fifth a frame is under 2 px after 19
    } cases[] = {{false, 1 + 19}, {true, 10 + 19}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delayed);
        ListScene scene(3, 400);
        UI::wrsslistitem* removed = scene.list->GetItem(1);
        scene.list->BeginRemove(1, c.delayed ? UI::wrsslist::Removal::Delayed : UI::wrsslist::Removal::Now);
        scene.frames(c.frames - 1);
        EXPECT_TRUE(scene.list->IsRemoving());
        EXPECT_TRUE(scene.logic.commands.empty());
        scene.frames(1);
        EXPECT_FALSE(scene.list->IsRemoving());
        ASSERT_EQ(scene.logic.commands.size(), 1u);
        EXPECT_EQ(scene.logic.commands[0].first, 18);
        EXPECT_EQ(scene.logic.commands[0].second, reinterpret_cast<std::intptr_t>(removed));
        EXPECT_EQ(scene.list->GetItemCount(), 2);
        EXPECT_EQ(scene.list->GetItem(1)->GetY(), RowHeight);
        EXPECT_EQ(scene.list->GetContentHeight(), 2 * RowHeight);
    }
}

TEST(wrsslist, RowButtonsReachTheListenersAsListClicks)
{
    ListScene scene(3, 400);
    UI::wrsslistitem* row = scene.list->GetItem(2);
    const struct {
        const char* widget;
        const char* event;
        intptr_t code;
    } cases[] = {
        {"wimage-rsslistitem-removeafile", "button_clicked", 107},
        {"wimage-rsslistitem-downloadafile", "button_clicked", 108},
        {"wselectbtn_addtofavorite", "selectbtn_clicked", 111},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.widget);
        UI::widget* button = row->FindChild(c.widget);
        ASSERT_NE(button, nullptr);
        UI::SelectEventArgs pressed;
        pressed.sender = button;
        button->FireEvent(c.event, pressed);
        ASSERT_FALSE(scene.clicks.seen.empty());
        EXPECT_EQ(scene.clicks.seen.back(), std::make_pair(intptr_t(2), c.code));
    }
}

TEST(wrsslist, ARowClickWaitsForTheClickAnimationWhenFrozen)
{
    ListScene scene(4, 400);
    Freezer freezer{scene.list};
    scene.list->GetEvent("rsslistitemclickanimation", true)->Subscribe(&Freezer::On, &freezer);
    scene.list->GetItem(1)->Click();
    EXPECT_TRUE(scene.list->IsFrozen());
    EXPECT_TRUE(scene.clicks.seen.empty());
    int frames = 0;
    while (scene.list->IsFrozen() && frames < 100) {
        scene.list->Draw();
        ++frames;
    }
    EXPECT_GT(frames, 1);
    ASSERT_EQ(scene.clicks.seen.size(), 1u);
    EXPECT_EQ(scene.clicks.seen[0], std::make_pair(intptr_t(1), intptr_t(0)));
    EXPECT_FALSE(scene.desk.IsVisible());
    // Laid out again with the opened row in its place.
    EXPECT_TRUE(scene.list->GetItem(1)->IsVisible());
    EXPECT_EQ(scene.list->GetItem(3)->GetY(), 3 * RowHeight);
}

TEST(wrsslist, KeysAndFocus)
{
    ListScene scene(3, 400);
    scene.key(40);
    scene.key(40);
    EXPECT_EQ(scene.list->GetCurrentIndex(), 2);
    EXPECT_TRUE(scene.list->GetItem(2)->IsHighlighted());
    scene.list->OnFocusOut();
    EXPECT_EQ(scene.list->GetCurrentIndex(), -1);
    EXPECT_FALSE(scene.list->GetItem(2)->IsHighlighted());
    scene.key(46);   // Delete with no current row: nothing
    EXPECT_TRUE(scene.clicks.seen.empty());
    scene.list->OnFocusIn();
    EXPECT_EQ(scene.list->GetCurrentIndex(), 2);
    scene.key(13);
    scene.key(46);
    const std::vector<std::pair<intptr_t, intptr_t>> expected{{2, 0}, {2, 107}};
    EXPECT_EQ(scene.clicks.seen, expected);
    scene.key(38);
    EXPECT_EQ(scene.list->GetCurrentIndex(), 1);
}

TEST(wrsslist, HoverMakesARowCurrent)
{
    ListScene scene(3, 400);
    scene.list->GetItem(1)->OnMouseEnter();
    EXPECT_EQ(scene.list->GetCurrentIndex(), 1);
    EXPECT_TRUE(scene.list->GetItem(1)->IsHighlighted());
    EXPECT_FALSE(scene.list->GetItem(0)->IsHighlighted());
}

TEST(wrsslist, AnItemThatFailsTheQualityFilterShowsOffline)
{
    const struct {
        std::int64_t quality;
        bool allow_all;
        bool playable;
    } cases[] = {{1280, false, true}, {0, false, false}, {0, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        ListScene scene(0, 400);
        scene.logic.allow_all = c.allow_all;
        scene.list->SetItemAt(0, item(0, c.quality));
        UI::wrsslistitem* row = scene.list->GetItem(0);
        EXPECT_EQ(row->IsPlayable(), c.playable);
        EXPECT_EQ(row->FindChild("wimage-offline")->GetShowState(), !c.playable);
        EXPECT_EQ(row->FindChild("wimage-rsslistitem-downloadafile")->GetShowState(), c.playable);
    }
}

}
