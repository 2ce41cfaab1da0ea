#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/tests/WidgetRig.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> names(const std::vector<UI::widget*>& widgets)
{
    std::vector<std::string> out;
    for (const UI::widget* w : widgets) out.push_back(w->GetName());
    return out;
}

UI::widget* add(UI::widget& parent, UI::widget* child, UI::frect rect, int zorder = 500)
{
    child->SetPos(rect.x, rect.y);
    child->SetSize(rect.width, rect.height);
    child->SetZOrder(zorder);
    parent.AddChild(child);
    return child;
}

}

TEST(WidgetTree, EqualZOrdersKeepInsertionOrderAndTheTopmostIsHit)
{
    test::RecordingScene scene;
    UI::widget root("root");
    root.SetSize(100, 100);
    UI::widget* first = add(root, new test::Swatch("first"), {0, 0, 50, 50}, 500);
    add(root, new test::Swatch("low"), {0, 0, 50, 50}, 400);
    UI::widget* second = add(root, new test::Swatch("second"), {0, 0, 50, 50}, 500);
    EXPECT_EQ(names(root.ChildrenInZOrder()), (std::vector<std::string>{"low", "first", "second"}));
    EXPECT_EQ(root.ChildAt(10, 10), second);

    root.Draw();
    EXPECT_EQ(scene.render->sources(), (std::vector<std::string>{"picture low -> screen", "picture first -> screen",
                                                                 "picture second -> screen"}));
    EXPECT_EQ(root.FindChild("first"), first);
    EXPECT_EQ(root.FindChild("none"), nullptr);
}

TEST(WidgetTree, SetZOrderReinsertsAfterEqualSiblings)
{
    const struct {
        const char* name;
        const char* moved;
        int zorder;
        std::vector<std::string> expected;
    } cases[] = {
        {"unchanged value changes nothing", "a", 500, {"a", "b", "c"}},
        {"equal to a later sibling goes after it", "a", 600, {"b", "a", "c"}},
        {"below everyone goes first", "c", 100, {"c", "a", "b"}},
        {"above everyone goes last", "a", 900, {"b", "c", "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UI::widget root("root");
        add(root, new UI::widget("a"), {0, 0, 1, 1}, 500);
        add(root, new UI::widget("b"), {0, 0, 1, 1}, 600);
        add(root, new UI::widget("c"), {0, 0, 1, 1}, 700);
        root.FindChild(c.moved)->SetZOrder(c.zorder);
        EXPECT_EQ(names(root.ChildrenInZOrder()), c.expected);
    }
}

TEST(WidgetTree, HitTestsOnEdgesScaleVisibilityAndTransparency)
{
    UI::widget root("root");
    root.SetSize(400, 400);
    UI::widget* box = add(root, new UI::widget("box"), {10, 20, 30, 40});
    const struct {
        const char* name;
        float x, y;
        float scale;
        bool visible;
        bool hit;
    } cases[] = {
        {"top left corner", 10, 20, 1, true, true},
        {"exact right and bottom edges", 40, 60, 1, true, true},
        {"just past the right edge", 40.5f, 30, 1, true, false},
        {"just above the top", 20, 19.5f, 1, true, false},
        {"hidden never hits", 20, 30, 1, false, false},
        {"parent scale 2 moves and grows the box", 80, 120, 2, true, true},
        {"parent scale 2 leaves the unscaled spot", 15, 25, 2, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        root.SetScale(c.scale, c.scale);
        box->Show(c.visible);
        EXPECT_EQ(box->HitTest(c.x, c.y), c.hit);
    }
}

TEST(WidgetTree, TransparentAndHiddenChildrenPassTheClickOn)
{
    UI::widget root("root");
    root.SetSize(200, 200);
    UI::widget* under = add(root, new UI::widget("under"), {0, 0, 100, 100});
    UI::widget* glass = add(root, new UI::widget("glass"), {0, 0, 100, 100});
    glass->SetMouseTransparent(true);
    UI::widget* knob = add(*glass, new UI::widget("knob"), {10, 10, 10, 10});
    UI::widget* cover = add(root, new UI::widget("cover"), {0, 0, 100, 100});
    cover->Show(false);

    EXPECT_EQ(root.ChildAt(50, 50), under);   // cover hidden, glass transparent
    EXPECT_EQ(root.ChildAt(15, 15), knob);    // the transparent widget's child still hits
    EXPECT_EQ(root.ChildAt(150, 150), nullptr);
}

TEST(WidgetTree, InvalidateMarksTheRootAndBufferedWindowsOnTheWay)
{
    test::RecordingScene scene;
    UI::widget root("root");
    auto* buffered = new UI::window("buffered");
    root.AddChild(buffered);
    buffered->CreateBackBuffer(50, 50);
    auto* plain = new UI::window("plain");
    buffered->AddChild(plain);
    auto* leaf = new UI::widget("leaf");
    plain->AddChild(leaf);
    for (UI::widget* w : std::vector<UI::widget*>{&root, buffered, plain, leaf}) w->SetDirty(false);

    leaf->Invalidate();
    EXPECT_TRUE(root.IsDirty());
    EXPECT_TRUE(buffered->IsDirty());
    EXPECT_FALSE(plain->IsDirty());
    EXPECT_FALSE(leaf->IsDirty());
}

TEST(WidgetTree, ADeletedWidgetLeavesItsParentAndEveryInputPointer)
{
    test::RecordingScene scene;
    UI::widget list("list");
    list.SetSize(100, 60);
    UI::widget* row = add(list, new test::Swatch("row"), {0, 0, 100, 20});
    UI::widget* other = add(list, new test::Swatch("other"), {0, 20, 100, 20});
    UI::SetHoverWidget(row);
    UI::SetFocusedWidget(row);
    UI::SetCapturedWidget(row);
    list.FindChild("row");

    delete row;
    EXPECT_EQ(UI::GetHoverWidget(), nullptr);
    EXPECT_EQ(UI::GetFocusedWidget(), nullptr);
    EXPECT_EQ(UI::GetCapturedWidget(), nullptr);
    EXPECT_EQ(names(list.ChildrenInZOrder()), (std::vector<std::string>{"other"}));
    EXPECT_EQ(list.ChildAt(50, 10), nullptr);   // the mouse moving over where the row was
    EXPECT_EQ(list.ChildAt(50, 30), other);
    list.Draw();
    EXPECT_EQ(scene.render->sources(), (std::vector<std::string>{"picture other -> screen"}));
}

TEST(WidgetTree, ParentDeletesItsChildrenAndTextIsCopied)
{
    auto* root = new UI::widget("root");
    auto* child = new UI::widget("child");
    root->AddChild(child);
    child->AddChild(new UI::widget("grandchild"));
    std::u16string text = u"hello";
    child->SetText(text.c_str());
    text[0] = u'j';
    EXPECT_EQ(child->GetText(), u"hello");
    child->SetText(nullptr);
    EXPECT_EQ(child->GetText(), u"");
    delete root;   // the leak checker sees anything left behind
}

TEST(WidgetTree, RemovedChildBelongsToTheCallerAgain)
{
    UI::widget a("a"), b("b");
    auto* child = new UI::widget("child");
    a.AddChild(child);
    b.AddChild(child);   // moving leaves the first parent
    EXPECT_TRUE(a.ChildrenInZOrder().empty());
    EXPECT_EQ(child->GetParent(), &b);
    b.RemoveChild(child);
    EXPECT_EQ(child->GetParent(), nullptr);
    delete child;
}

TEST(WidgetRegistry, SharedNamesKeepTheLiveWidgetsEntries)
{
    auto* first = new UI::widget("widget-listitem-text");
    UI::widget second("widget-listitem-text");
    UI::RegisterWidget("widget-listitem-text", 7001, first);
    UI::RegisterWidget("widget-listitem-text", 7002, &second);
    EXPECT_EQ(UI::GetWidgetIdByName("widget-listitem-text"), 7002);

    delete first;
    EXPECT_EQ(UI::GetWidgetById(7001), nullptr);
    EXPECT_EQ(UI::GetWidgetById(7002), &second);
    EXPECT_EQ(UI::GetWidgetIdByName("widget-listitem-text"), 7002);
}

TEST(WidgetRegistry, LookupsAndReplacement)
{
    UI::widget a("panel"), b("panel");
    UI::RegisterWidget("panel", 7101, &a);
    UI::RegisterWidget("panel", 7101, &b);
    EXPECT_EQ(UI::GetWidgetById(7101), &b);
    EXPECT_EQ(UI::GetWidgetById(2787), nullptr);
    EXPECT_EQ(UI::GetWidgetIdByName("never-registered"), 0);
    EXPECT_EQ(UI::GetWidgetIdByName("never-registered"), 0);
}

TEST(WidgetRegistry, DeletingAWidgetDropsItsNameWithItsId)
{
    auto* pane = new UI::widget("pane-under-test");
    UI::RegisterWidget("pane-under-test", 7201, pane);
    delete pane;
    EXPECT_EQ(UI::GetWidgetById(7201), nullptr);
    EXPECT_EQ(UI::GetWidgetIdByName("pane-under-test"), 0);
}

TEST(WidgetTree, DoubleClickFiresOnlyWhileNoAnimationRuns)
{
    int fired = 0;
    struct Counter {
        int* count;
        bool On(UI::EventArgs&)
        {
            ++*count;
            return false;
        }
    } counter{&fired};
    UI::widget parent("parent");
    auto* child = new UI::widget("child");
    parent.AddChild(child);
    child->GetEvent("widget_doubleclick", true)->Subscribe(&Counter::On, &counter);

    UI::MouseEventArgs e;
    e.handled = 1;
    child->OnDoubleClick(e);
    EXPECT_EQ(e.handled, 0);
    EXPECT_EQ(fired, 1);
    parent.SetSize(100, 100);
    parent.StartAnimation(UI::AnimAlpha);   // an ancestor animates
    child->OnDoubleClick(e);
    EXPECT_EQ(fired, 1);
    // Stopping clears the running flag, so double clicks reach the subtree again.
    parent.StopAnimations();
    child->OnDoubleClick(e);
    EXPECT_EQ(fired, 2);
}
