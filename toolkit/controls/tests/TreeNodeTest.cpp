#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wtext.h"
#include "toolkit/controls/wtreenode.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <gtest/gtest.h>

namespace {

UI::wtreenode* node(UI::wtreenode& parent, const std::string& name, int value, bool editable = false)
{
    auto* made = new UI::wtreenode(name);
    made->SetNodeValue(value);
    made->SetEditable(editable);
    auto* label = new UI::wtext(name + "-label");
    made->AddChild(label);
    made->SetEditWidget(label);
    parent.AddNode(made);
    return made;
}

// A top node with folders a (holding a1, a2) and b.
struct Tree {
    test::ControlScene scene;
    UI::wtreenode top{"top"};
    UI::wtreenode *a, *a1, *a2, *b;
    Tree()
    {
        top.SetSize(200, 24);
        a = node(top, "a", 1, true);
        a1 = node(*a, "a1", 11, true);
        a2 = node(*a, "a2", 12);
        b = node(top, "b", 2, true);
        top.SetCollapsed(false);
        a->SetCollapsed(false);
        top.LayoutNodes();
    }
    static void click(UI::widget& w)
    {
        UI::MouseEventArgs e;
        w.OnMouseDown(e);
        EXPECT_TRUE(e.handled);
    }
    static void double_click(UI::widget& w)
    {
        UI::MouseEventArgs e;
        w.OnDoubleClick(e);
    }
};

}  // namespace

TEST(wtreenode, ChildrenStackBelowTheirNodeAndCollapsingClosesTheGap)
{
    Tree t;
    EXPECT_FLOAT_EQ(t.a->GetY(), 24);
    EXPECT_FLOAT_EQ(t.a1->GetX(), 5);
    EXPECT_FLOAT_EQ(t.a1->GetY(), 24);
    EXPECT_FLOAT_EQ(t.a2->GetY(), 48);
    EXPECT_FLOAT_EQ(t.b->GetY(), 24 + 24 + 48);
    EXPECT_FLOAT_EQ(t.a->GetWidth(), 200);

    t.a->SetCollapsed(true);
    EXPECT_FALSE(t.a1->IsVisible());
    EXPECT_FALSE(t.a2->GetShowState());
    EXPECT_FLOAT_EQ(t.a->GetExtent(), 0);
    t.top.LayoutNodes();
    EXPECT_FLOAT_EQ(t.b->GetY(), 48);
}

TEST(wtreenode, AClickSelectsOnlyTheClickedChild)
{
    Tree t;
    test::EventCounter clicked;
    clicked.Listen(t.top, "treenode_clicked");
    Tree::click(*t.b);
    EXPECT_TRUE(t.b->IsSelected());
    EXPECT_FALSE(t.a->IsSelected());
    EXPECT_EQ(clicked.fired, 1);
    EXPECT_EQ(clicked.last_value, 0);   // the top node's value, the clicked node as sender
    EXPECT_TRUE(t.b->FindChild("wimage_rssitemhighlight")->IsVisible());
    Tree::click(*t.a);
    EXPECT_FALSE(t.b->IsSelected());
    EXPECT_FALSE(t.b->FindChild("wimage_rssitemhighlight")->IsVisible());
    t.top.SelectNode(t.b);
    EXPECT_TRUE(t.b->IsSelected());
    EXPECT_FALSE(t.a->IsSelected());
}

TEST(wtreenode, ADoubleClickExpandsAndRenamesAndAClickAnywhereEndsIt)
{
    Tree t;
    t.b->SetCollapsed(true);
    test::EventCounter renamed;
    renamed.Listen(*t.b, "treenode_textchange");
    Tree::double_click(*t.b);
    EXPECT_FALSE(t.b->IsCollapsed());
    EXPECT_EQ(UI::wtreenode::GetEditedNode(), t.b);
    auto* field = static_cast<UI::wtext*>(t.b->FindChild("b-label"));
    EXPECT_TRUE(field->IsEditable());

    Tree::click(*t.b);   // a click on the renamed node itself keeps the rename
    EXPECT_EQ(UI::wtreenode::GetEditedNode(), t.b);
    Tree::click(*t.a2);   // a node that cannot be renamed still ends another's rename
    EXPECT_EQ(UI::wtreenode::GetEditedNode(), nullptr);
    EXPECT_FALSE(field->IsEditable());
    EXPECT_EQ(renamed.fired, 1);
    EXPECT_EQ(renamed.last_value, 2);
    Tree::click(*t.a);
    EXPECT_EQ(renamed.fired, 1);
}

TEST(wtreenode, ANodeThatIsNotEditableNeverRenames)
{
    Tree t;
    Tree::double_click(*t.a2);
    EXPECT_EQ(UI::wtreenode::GetEditedNode(), nullptr);
    EXPECT_FALSE(static_cast<UI::wtext*>(t.a2->FindChild("a2-label"))->IsEditable());
}

// Each child node is deleted once, by the widget tree (the leak and
// double-free checkers watch every case).
TEST(wtreenode, ChildNodesHaveOneOwner)
{
    {
        Tree t;   // destroyed with its whole tree
    }
    Tree t;
    Tree::double_click(*t.a1);   // the node being renamed goes too
    t.a->ClearNodes();
    EXPECT_TRUE(t.a->GetNodes().empty());
    EXPECT_EQ(t.a->FindChild("a1"), nullptr);
    EXPECT_EQ(UI::wtreenode::GetEditedNode(), nullptr);
    delete t.b;   // a deleted child leaves its parent's node list
    EXPECT_EQ(t.top.GetNodes(), std::vector<UI::wtreenode*>{t.a});
    t.top.LayoutNodes();
    Tree::click(*t.a);
}
