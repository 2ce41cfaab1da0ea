#include "screens/tree/wrsstree.h"

#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wstatus.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using UI::wrsstreenode;

// A tree of folders f1 (a1, a2, a3), f2 (b1, b2) and f3 (c1), all closed,
// drawn on a fixed 33 ms clock: every draw steps every animation once.
struct TreeScene {
    test::ControlScene scene;
    UI::window holder{"window-rsstree"};
    UI::wrsstree* tree{new UI::wrsstree("wtree-rss")};
    wrsstreenode *f1, *f2, *f3, *a1, *a2, *a3, *b1, *b2, *c1;
    test::EventCounter clicked;

    TreeScene()
    {
        holder.SetSize(175, 500);
        holder.AddChild(tree);
        tree->SetSize(165, 500);
        f1 = tree->AddChildNode(u"My Favorites", 1, "icon_MyFavorite");
        f2 = tree->AddChildNode(u"My Subscriptions", 2, "icon_mychannel");
        f3 = tree->AddChildNode(u"Search Result", 3, "icon_search");
        a1 = f1->AddChildNode(u"Top Rated", 11, "");
        a2 = f1->AddChildNode(u"Most Viewed", 12, "");
        a3 = f1->AddChildNode(u"Recently Featured", 13, "");
        b1 = f2->AddChildNode(u"Cooking", 21, "");
        b2 = f2->AddChildNode(u"Travel", 22, "");
        c1 = f3->AddChildNode(u"cats", 31, "");
        tree->LayoutNodes();
        clicked.Listen(*tree, "treenode_clicked");
    }
    static void click(wrsstreenode* node)
    {
        UI::MouseEventArgs press;
        node->OnMouseDown(press);
    }
    bool busy(const wrsstreenode* node) const
    {
        auto* n = const_cast<wrsstreenode*>(node);
        if (n->GetFolderMove().IsRunning() || n->GetHighlightMove().IsRunning() || n->GetSelfMove().IsRunning() ||
            n->IsWaiting())
            return true;
        for (UI::wtreenode* child : n->GetNodes())
            if (busy(static_cast<wrsstreenode*>(child))) return true;
        return false;
    }
    // Draws until nothing moves; the number of draws it took.
    int settle(int limit = 300)
    {
        for (int draws = 0; draws < limit; ++draws) {
            if (!busy(tree)) return draws;
            tree->Draw();
        }
        ADD_FAILURE() << "the tree never settled";
        return limit;
    }
    static bool any_selected(const wrsstreenode* folder)
    {
        for (UI::wtreenode* child : folder->GetNodes())
            if (child->IsSelected()) return true;
        return false;
    }
};

}  // namespace

TEST(ChannelTree, ClickScenarios)
{
    struct Case {
        const char* name;
        void (*run)(TreeScene& t);
    };
    const Case cases[] = {
        {"a first click opens the folder, takes the highlight and reports it when open",
         [](TreeScene& t) {
             TreeScene::click(t.f1);
             t.settle();
             EXPECT_EQ(t.tree->GetSelectedChild(), t.f1);
             EXPECT_TRUE(t.f1->IsSelected());
             EXPECT_FALSE(t.f1->IsCollapsed());
             EXPECT_EQ(t.clicked.fired, 1);
             EXPECT_EQ(t.clicked.last_value, 1);
             EXPECT_FLOAT_EQ(t.f1->GetHeight(), 24 * 4);
             EXPECT_FLOAT_EQ(t.f2->GetY(), 5 + 24 * 4);
             EXPECT_TRUE(t.tree->GetBar()->IsVisible());
             EXPECT_FLOAT_EQ(t.tree->GetBar()->GetY(), t.f1->GetY() + 2);
         }},
        {"a second click on the selected folder toggles it and leaves no child selected",
         [](TreeScene& t) {
             TreeScene::click(t.f1);
             t.settle();
             TreeScene::click(t.a2);
             t.settle();
             ASSERT_EQ(t.f1->GetSelectedChild(), t.a2);
             TreeScene::click(t.f1);
             t.settle();
             EXPECT_TRUE(t.f1->IsCollapsed());
             EXPECT_EQ(t.f1->GetSelectedChild(), nullptr);
             EXPECT_FALSE(TreeScene::any_selected(t.f1));
             EXPECT_FLOAT_EQ(t.f2->GetY(), 5 + 24);
             TreeScene::click(t.f1);
             t.settle();
             EXPECT_FALSE(t.f1->IsCollapsed());
             EXPECT_EQ(t.f1->GetSelectedChild(), nullptr);
             EXPECT_FALSE(TreeScene::any_selected(t.f1));
             EXPECT_EQ(t.clicked.last_value, 1);
         }},
        {"a click while a transfer runs on the chain does nothing",
         [](TreeScene& t) {
             TreeScene::click(t.f1);
             ASSERT_TRUE(t.f1->IsWaiting());
             TreeScene::click(t.a1);
             EXPECT_EQ(t.f1->GetPendingChild(), nullptr);
             EXPECT_FALSE(t.a1->IsWaiting());
             t.settle();
             EXPECT_EQ(t.f1->GetSelectedChild(), nullptr);
             EXPECT_EQ(t.clicked.fired, 1);
         }},
        {"a channel picks up the folder's highlight and is reported when its own fold ends",
         [](TreeScene& t) {
             TreeScene::click(t.f1);
             t.settle();
             TreeScene::click(t.a3);
             t.settle();
             EXPECT_EQ(t.f1->GetSelectedChild(), t.a3);
             EXPECT_TRUE(t.a3->IsSelected());
             EXPECT_FLOAT_EQ(t.f1->GetBar()->GetY(), t.a3->GetY() + 2);
             EXPECT_EQ(t.clicked.last_value, 13);
         }},
        {"a channel under another folder closes the open sibling first, then the highlight moves",
         [](TreeScene& t) {
             TreeScene::click(t.f1);
             t.settle();
             t.f2->SetCollapsed(false);   // open, but not the selected folder
             t.tree->LayoutNodes();
             TreeScene::click(t.b2);
             int closed_at = -1, moved_at = -1, chosen_at = -1;
             for (int draw = 0; draw < 300 && t.busy(t.tree); ++draw) {
                 t.tree->Draw();
                 if (closed_at < 0 && t.f1->IsCollapsed()) closed_at = draw;
                 if (moved_at < 0 && t.tree->GetSelectedChild() == t.f2) moved_at = draw;
                 if (chosen_at < 0 && t.f2->GetSelectedChild() == t.b2) chosen_at = draw;
             }
             ASSERT_GE(closed_at, 0);
             EXPECT_LT(closed_at, moved_at);
             EXPECT_LT(moved_at, chosen_at);
             EXPECT_FALSE(t.f2->IsCollapsed());
             EXPECT_EQ(t.clicked.last_value, 22);
         }},
        {"clicking another folder closes the open one first",
         [](TreeScene& t) {
             TreeScene::click(t.f1);
             t.settle();
             TreeScene::click(t.f3);
             EXPECT_EQ(t.f1->GetFolderMove().GetDirection(), UI::foldermoveAnimation::Closing);
             EXPECT_FALSE(t.tree->GetHighlightMove().IsRunning());
             t.settle();
             EXPECT_TRUE(t.f1->IsCollapsed());
             EXPECT_FALSE(t.f3->IsCollapsed());
             EXPECT_EQ(t.tree->GetSelectedChild(), t.f3);
             EXPECT_FALSE(t.f1->IsSelected());
             EXPECT_EQ(t.clicked.last_value, 3);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TreeScene t;
        c.run(t);
    }
}

TEST(ChannelTree, AFoldEndsOnItsSixteenthDrawHoweverLongTheDraws)
{
    for (int step : {33, 100}) {
        SCOPED_TRACE(step);
        TreeScene t;
        UI::foldermoveAnimation& fold = t.f1->GetFolderMove();
        fold.Open(UI::foldermoveAnimation::ActionClick);
        int steps = 0;
        while (fold.IsRunning() && steps < 100) {
            fold.Step(step);
            ++steps;
            if (fold.IsRunning()) {
                EXPECT_LT(t.f1->GetHeight(), 96);
            }
        }
        EXPECT_EQ(steps, 16);
        EXPECT_FLOAT_EQ(t.f1->GetHeight(), 24 * 4);
        EXPECT_EQ(t.clicked.last_value, 1);
    }
}

TEST(ChannelTree, RemovingAChildHandsTheHighlightToItsNeighbour)
{
    struct Case {
        const char* name;
        wrsstreenode* TreeScene::*folder;
        wrsstreenode* TreeScene::*chosen;    // selected before the removal
        wrsstreenode* TreeScene::*removed;
        wrsstreenode* TreeScene::*expected;  // selected after; null for none
    };
    const Case cases[] = {
        {"the first: the next one", &TreeScene::f1, &TreeScene::a1, &TreeScene::a1, &TreeScene::a2},
        {"the last: the one before", &TreeScene::f1, &TreeScene::a3, &TreeScene::a3, &TreeScene::a2},
        // The highlight goes to the one before, then the press on the child now at its place selects that one.
        {"a middle one: the one after", &TreeScene::f1, &TreeScene::a2, &TreeScene::a2, &TreeScene::a3},
        {"the only one: none", &TreeScene::f3, &TreeScene::c1, &TreeScene::c1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TreeScene t;
        wrsstreenode* folder = t.*c.folder;
        TreeScene::click(folder);
        t.settle();
        TreeScene::click(t.*c.chosen);
        t.settle();
        const std::size_t before = folder->GetNodes().size();
        const int64_t id = (t.*c.removed)->GetId();
        ASSERT_TRUE(folder->RemoveChildNode(id));
        t.settle();
        EXPECT_EQ(folder->GetNodes().size(), before - 1);
        EXPECT_EQ(folder->FindChild(nullptr, &id), nullptr);
        wrsstreenode* expected = c.expected ? t.*c.expected : nullptr;
        EXPECT_EQ(folder->GetSelectedChild(), expected);
        if (expected == nullptr) {
            EXPECT_FALSE(folder->GetBar()->IsVisible());
        }
        EXPECT_FLOAT_EQ(folder->GetHeight(), 24.0f * float(before));
    }
    TreeScene t;
    EXPECT_FALSE(t.f1->RemoveChildNode(99));
}

TEST(ChannelTree, ThePrefetchIconReportsOnItsOwnNodeOnly)
{
    TreeScene t;
    test::EventCounter on_a1, on_a2, on_f1;
    on_a1.Listen(*t.a1, "rsstree_prefetch");
    on_a2.Listen(*t.a2, "rsstree_prefetch");
    on_f1.Listen(*t.f1, "rsstree_prefetch");
    t.a1->SetPrefetchStatus(1);
    EXPECT_TRUE(t.a1->GetPrefetchStatus()->IsVisible());
    UI::MouseEventArgs press;
    t.a1->GetPrefetchStatus()->OnMouseDown(press);
    EXPECT_EQ(on_a1.fired, 1);
    EXPECT_EQ(on_a1.last_value, 11);
    EXPECT_EQ(on_a2.fired, 0);
    EXPECT_EQ(on_f1.fired, 0);
}

// Off and on are told apart; the hover picture shows over the off state only.
TEST(ChannelTree, ThePrefetchIconShowsItsStatesPicture)
{
    const struct {
        int state;
        bool hovered;
        const char* shown;
    } cases[] = {{0, false, "icon_prefetchoff"}, {1, false, "icon_prefetchon"}, {1, true, "icon_prefetchon"},
                 {0, true, "icon_prefetchoff"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.state << (c.hovered ? " hovered" : ""));
        TreeScene t;
        t.b1->SetPrefetchStatus(c.state);
        t.b1->GetPrefetchStatus()->SetHighlighted(c.hovered);
        t.scene.render().ops.clear();
        t.b1->GetPrefetchStatus()->Draw();
        EXPECT_EQ(test::draws_of(t.scene.render(), c.shown), 1);
        for (const char* other : {"icon_prefetchoff", "icon_prefetchon", "icon_prefetchfinish"}) {
            if (std::string(other) == c.shown) continue;
            EXPECT_EQ(test::draws_of(t.scene.render(), other), 0) << other;
        }
    }
}

TEST(ChannelTree, DepthShiftsIconAndTextByFivePixelsAndTextsAreAtLeast120Wide)
{
    TreeScene t;
    const struct { const char* name; wrsstreenode* node; int depth; } cases[] = {
        {"folder", t.f1, 1}, {"channel", t.a1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.node->GetDepth(), c.depth);
        const float d = 5.0f * float(c.depth);
        EXPECT_FLOAT_EQ(c.node->GetTextWidget()->GetX(), d + 27);
        EXPECT_GE(c.node->GetTextWidget()->GetWidth(), 120);
        EXPECT_FLOAT_EQ(c.node->GetPrefetchStatus()->GetX(), d - 1);
        EXPECT_FLOAT_EQ(c.node->GetPrefetchStatus()->GetY(), 4);
    }
    EXPECT_FLOAT_EQ(t.f1->GetTextWidget()->GetX(), 32);
    UI::widget* icon = t.f1->FindChild("node_icon");
    ASSERT_NE(icon, nullptr);
    EXPECT_FLOAT_EQ(icon->GetX(), std::trunc((22 - icon->GetWidth()) / 2) + 5);
    EXPECT_EQ(t.a1->FindChild("node_icon"), nullptr);   // no picture, no icon
    EXPECT_FLOAT_EQ(t.c1->GetTextWidget()->GetWidth(), 120);   // "cats" is short
}

TEST(ChannelTree, NodesAreFoundByNameAndBySixtyFourBitId)
{
    TreeScene t;
    wrsstreenode* negative = t.f3->AddChildNode(u"negative", -5, "");
    wrsstreenode* wide = t.f3->AddChildNode(u"wide", (int64_t(1) << 32) | 5, "");
    const int64_t minus_five = -5, plain_five = 5, low_bits = 0xFFFFFFFB;
    EXPECT_EQ(t.f3->FindChild(nullptr, &minus_five), negative);
    EXPECT_EQ(t.f3->FindChild(nullptr, &plain_five), nullptr);
    EXPECT_EQ(t.f3->FindChild(nullptr, &low_bits), nullptr);
    const int64_t wide_id = (int64_t(1) << 32) | 5;
    EXPECT_EQ(t.f3->FindChild(nullptr, &wide_id), wide);
    EXPECT_EQ(t.tree->FindChild("My Subscriptions", nullptr), t.f2);
    t.f2->SetText(u"Channels", "Channels");
    EXPECT_EQ(t.tree->FindChild("Channels", nullptr), t.f2);
    EXPECT_EQ(t.f2->GetTextWidget()->GetText(), u"Channels");
}

TEST(ChannelTree, HitsReachAFoldedNodesRowButNothingItFoldedAway)
{
    TreeScene t;
    // f1's first child row would lie at y 5 + 24 + 5 while f1 is closed: f2's row is there.
    const float x = 100, y = 5 + 24 + 5;
    UI::widget* hit = t.tree->ChildAt(x, y);
    EXPECT_EQ(hit, t.f2) << (hit ? hit->GetName() : "none") << " at " << (hit ? hit->GetY() : 0);
    EXPECT_EQ(t.tree->ChildAt(x, 10), t.f1);
    TreeScene::click(t.f1);
    t.settle();
    EXPECT_EQ(t.tree->ChildAt(x, y), t.a1);
    EXPECT_EQ(t.tree->ChildAt(x, 5 + 24 * 4 + 5), t.f2);
    EXPECT_EQ(t.tree->ChildAt(x, 480), nullptr);
}
