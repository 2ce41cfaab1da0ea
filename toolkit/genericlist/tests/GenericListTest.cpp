#include "toolkit/genericlist/wtlist.h"

#include "screens/widgets/wdragwindow.h"
#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/genericlist/wtlistitem.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <gtest/gtest.h>

namespace {

constexpr float RowHeight = 58;
constexpr float ViewHeight = 232;   // four rows

// A 199-wide list of `rows` rows of 58 in its own surface, on a desk that is the UI root.
struct TListScene {
    test::ControlScene scene;
    UI::window desk{"desk"};
    UI::wtlist* list;

    explicit TListScene(int rows)
    {
        desk.SetSize(800, 600);
        UI::uiMgr::Instance().SetRoot(&desk);
        list = new UI::wtlist("downloads");
        desk.AddChild(list);
        list->SetPos(20, 30);
        list->CreateBackBuffer(199, unsigned(ViewHeight));
        for (int i = 0; i < rows; ++i) {
            auto* row = new UI::wtlistitem("row");
            row->SetSize(199, RowHeight);
            row->AddText((u"item " + std::u16string(1, char16_t(u'0' + i))).c_str(), 64, 8, 120, 16);
            list->AddRow(row);
        }
    }
    ~TListScene() { UI::uiMgr::Instance().SetRoot(nullptr); }

    void click_row(int index)
    {
        UI::MouseEventArgs e;
        list->GetRow(index)->OnMouseDown(e);
    }
    void key(int code)
    {
        UI::ValueEventArgs e;
        e.value = code;
        list->OnKey(e);
    }
    void wheel(float delta)
    {
        UI::MouseEventArgs e;
        e.second.x = delta;
        list->OnMouseWheel(e);
    }
    // Draws until the scroll rests (at most `limit` frames); the offsets seen.
    std::vector<float> settle(int limit = 200)
    {
        std::vector<float> seen;
        for (int i = 0; i < limit; ++i) {
            desk.Draw();
            seen.push_back(list->GetScrollOffset());
            if (seen.size() > 2 && seen[seen.size() - 1] == seen[seen.size() - 2] && seen.back() == seen[seen.size() - 3])
                break;
        }
        return seen;
    }
};

}  // namespace

TEST(wtlist, RowsStackAtTheirHeights)
{
    TListScene s(5);
    EXPECT_FLOAT_EQ(s.list->GetRow(3)->GetY(), 3 * RowHeight);
    EXPECT_FLOAT_EQ(s.list->GetContentHeight(), 5 * RowHeight);
    s.list->GetRow(1)->Show(false);
    s.list->LayoutRows();
    EXPECT_FLOAT_EQ(s.list->GetRow(3)->GetY(), 3 * RowHeight);   // hidden rows keep their place
    EXPECT_FLOAT_EQ(s.list->GetContentHeight(), 4 * RowHeight);
}

TEST(wtlist, AClickSelectsTheRowAndGivesItTheRemoveButton)
{
    TListScene s(5);
    s.click_row(2);
    EXPECT_EQ(s.list->GetSelection(), 2);
    EXPECT_TRUE(s.list->GetRow(2)->IsSelected());
    EXPECT_EQ(s.list->GetRemoveButton()->GetParent(), s.list->GetRow(2));
    EXPECT_TRUE(s.list->GetRemoveButton()->IsVisible());
    EXPECT_FLOAT_EQ(s.list->GetRemoveButton()->GetX(), 199 - 11 - 16);
    s.click_row(4);
    EXPECT_FALSE(s.list->GetRow(2)->IsSelected());
    EXPECT_EQ(s.list->GetRemoveButton()->GetParent(), s.list->GetRow(4));
}

TEST(wtlist, ClicksWhileLayingOutChangeNothing)
{
    TListScene s(5);
    s.list->KeepLayingOut(2);
    s.click_row(1);
    EXPECT_EQ(s.list->GetSelection(), -1);
    s.desk.Draw();
    s.desk.Draw();
    s.click_row(1);
    EXPECT_EQ(s.list->GetSelection(), 1);
}

TEST(wtlist, TheWheelMovesTheSelectionByWholeNotches)
{
    TListScene s(8);
    s.click_row(3);
    s.wheel(120);
    EXPECT_EQ(s.list->GetSelection(), 2);
    s.wheel(-240);
    EXPECT_EQ(s.list->GetSelection(), 4);
    s.list->Show(false);
    s.wheel(-120);   // a hidden list takes no wheel
    EXPECT_EQ(s.list->GetSelection(), 4);
}

TEST(wtlist, ScrollingPastEitherEndBouncesBack)
{
    TListScene s(8);
    s.click_row(0);
    s.key(38);   // up from the first row pulls above the top
    EXPECT_FLOAT_EQ(s.list->GetSelection(), 0);
    std::vector<float> seen = s.settle();
    EXPECT_LT(*std::min_element(seen.begin(), seen.end()), -100);
    EXPECT_FLOAT_EQ(seen.back(), 0);

    s.click_row(7);
    s.key(40);   // down from the last row: to the end
    s.settle();
    s.key(40);   // and once more pulls past it
    seen = s.settle();
    const float bottom = 8 * RowHeight - ViewHeight;
    EXPECT_GT(*std::max_element(seen.begin(), seen.end()), bottom + 100);
    EXPECT_FLOAT_EQ(seen.back(), bottom);
}

TEST(wtlist, SelectAndScrollHoldsPastTheEndUntilTheOverrideClears)
{
    TListScene s(8);
    s.list->SelectAndScroll(6);
    EXPECT_EQ(s.list->GetSelection(), 6);
    const float held = 8 * RowHeight - ViewHeight + 58;
    std::vector<float> seen = s.settle();
    EXPECT_FLOAT_EQ(seen.back(), held);
    EXPECT_TRUE(s.list->IsScrolling());
    s.list->ClearScrollOverride();
    s.list->ScrollRows(0);   // any scroll lets the clamp apply again
    seen = s.settle();
    EXPECT_FLOAT_EQ(seen.back(), 8 * RowHeight - ViewHeight);
}

TEST(wtlist, KeysActOnTheSelection)
{
    TListScene s(5);
    test::EventCounter list_clicks, row_clicks;
    list_clicks.Listen(*s.list, "list_click");
    row_clicks.Listen(*s.list->GetRow(3), "listitem_click");
    s.key(46);   // Delete with no selection
    s.key(13);   // Enter with no selection
    EXPECT_EQ(list_clicks.fired, 0);
    EXPECT_EQ(row_clicks.fired, 0);

    s.click_row(3);
    row_clicks.fired = 0;
    s.key(13);
    EXPECT_EQ(row_clicks.fired, 1);
    EXPECT_EQ(s.list->GetSelection(), 3);
    s.key(46);
    EXPECT_EQ(list_clicks.fired, 1);
    EXPECT_EQ(list_clicks.last_value, 3);
}

TEST(wtlist, FocusOutKeepsTheSelectionForFocusIn)
{
    TListScene s(5);
    s.click_row(2);
    s.list->OnFocusOut();
    EXPECT_EQ(s.list->GetSelection(), -1);
    EXPECT_FALSE(s.list->GetRemoveButton()->IsVisible());
    s.list->OnFocusIn();
    EXPECT_EQ(s.list->GetSelection(), 2);
}

TEST(wtlist, RemovingARowKeepsTheSelectionOnItsRow)
{
    TListScene s(6);
    test::EventCounter deleted;
    deleted.Listen(*s.list, "listitem_delete", test::EventCounter::Kind::Plain);
    s.click_row(4);
    UI::wtlistitem* selected = s.list->GetRow(4);
    s.list->RemoveRow(1);
    for (int i = 0; i < 30; ++i) s.desk.Draw();
    EXPECT_EQ(deleted.fired, 1);
    ASSERT_EQ(s.list->GetRowCount(), 5);
    EXPECT_EQ(s.list->GetSelection(), 3);
    EXPECT_EQ(s.list->GetRow(3), selected);
    EXPECT_FLOAT_EQ(selected->GetY(), 3 * RowHeight);

    s.list->OnFocusOut();   // a saved selection follows too
    s.list->RemoveRow(0);
    for (int i = 0; i < 30; ++i) s.desk.Draw();
    s.list->OnFocusIn();
    EXPECT_EQ(s.list->GetRow(s.list->GetSelection()), selected);

    s.list->RemoveRow(s.list->GetSelection());   // the selected row itself: none is selected
    for (int i = 0; i < 30; ++i) s.desk.Draw();
    EXPECT_EQ(s.list->GetSelection(), -1);
    EXPECT_EQ(s.list->GetRemoveButton()->GetParent(), nullptr);
}

TEST(wtlist, HitsFollowTheScroll)
{
    TListScene s(8);
    s.list->ScrollRows(3);
    s.settle();
    const float offset = s.list->GetScrollOffset();
    ASSERT_GT(offset, 0);
    // A point 10 px into the list's top, in the desk's coordinates.
    UI::widget* hit = s.list->ChildAt(20 + 10, 30 + 10);
    EXPECT_EQ(hit, s.list->GetRow(int((offset + 10) / RowHeight)));
    EXPECT_EQ(s.list->ChildAt(5, 5), nullptr);
}

TEST(wtlist, AFlyInEndsHiddenAndTellsOnce)
{
    TListScene s(3);
    auto* thumb = new UI::wimage("thumb");
    thumb->SetPicture("icon_big_MyFavorite");
    s.desk.AddChild(thumb);
    thumb->SetPos(600, 400);
    UI::RegisterWidget("thumb", 101, thumb);
    test::EventCounter finished;
    finished.Listen(*s.list->GetDragWindow(), "Dragwindow_dragfinished", test::EventCounter::Kind::Plain);
    EXPECT_EQ(s.list->GetDragWindow()->GetParent(), &s.desk);   // hung on the UI root

    s.list->ShowAllRows(false);
    s.list->StartFlyIn(40, 50);
    EXPECT_TRUE(s.list->GetDragWindow()->IsVisible());
    for (int i = 0; i < 100 && s.list->IsFlying(); ++i) s.desk.Draw();
    EXPECT_FALSE(s.list->IsFlying());
    EXPECT_FALSE(s.list->GetDragWindow()->IsVisible());
    EXPECT_FLOAT_EQ(s.list->GetDragWindow()->GetX(), 40);
    EXPECT_FLOAT_EQ(s.list->GetDragWindow()->GetWidth(), 74);
    EXPECT_EQ(finished.fired, 1);
    EXPECT_TRUE(s.list->GetRow(0)->IsShown());
    for (int i = 0; i < 10; ++i) s.desk.Draw();
    EXPECT_EQ(finished.fired, 1);
}

// A dropped item flies in as a new last row; the list holds 58 past its end for the landing, then settles: at
// the top when the rows fit (they were drawn far down the pane before), at its end when they do not.
TEST(wtlist, AfterAFlyInTheListSettlesWithinItsRows)
{
    const struct { int rows; float rest; } cases[] = {{1, 0}, {3, 0}, {8, 8 * RowHeight - ViewHeight}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        TListScene s(c.rows);
        s.list->ShowAllRows(false);
        s.list->StartFlyIn(40, 50);
        s.list->SelectAndScroll(c.rows - 1);
        for (int i = 0; i < 200 && s.list->IsFlying(); ++i) s.desk.Draw();
        ASSERT_FALSE(s.list->IsFlying());
        const std::vector<float> seen = s.settle(400);
        EXPECT_FLOAT_EQ(seen.back(), c.rest);
        EXPECT_FALSE(s.list->IsScrolling());
        EXPECT_EQ(s.list->GetSelection(), c.rows - 1);
    }
}

TEST(wtlist, DrawsTheShownRowsThroughTheScroll)
{
    TListScene s(8);
    s.list->GetRow(1)->SetShown(false);
    s.list->ScrollRows(2);   // selection 0 to 2: 116 px down
    s.settle();
    s.scene.render().ops.clear();
    s.list->Invalidate();
    s.desk.Draw();
    std::vector<std::string> texts;
    for (const auto& op : s.scene.render().ops)
        if (op.what == "text") texts.push_back(op.source);
    EXPECT_EQ(texts, (std::vector<std::string>{"item 2", "item 3", "item 4", "item 5", "item 6"}));
}
