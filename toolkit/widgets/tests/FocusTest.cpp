#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/focusgroup.h"
#include "toolkit/widgets/widget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A root whose three fields form one focus group, in joining order.
struct Form {
    UI::focusgroup group;   // outlives its members
    UI::widget root{"root"};
    std::vector<UI::widget*> fields;
    Form()
    {
        for (const char* name : {"name", "email", "note"}) {
            auto* w = new UI::widget(name);
            root.AddChild(w);
            w->JoinFocusGroup(&group);
            fields.push_back(w);
        }
    }
    ~Form() { UI::SetFocusedWidget(nullptr); }
    UI::widget* field(const std::string& name)
    {
        for (UI::widget* w : fields)
            if (w->GetName() == name) return w;
        return nullptr;
    }
};

}

TEST(Focus, NextAndPrevSkipHiddenMembersAndWrap)
{
    const struct {
        const char* name;
        const char* current;   // empty: the group has no current member
        const char* hidden;
        bool forward;
        const char* expected;
    } cases[] = {
        {"next from the first", "name", "", true, "email"},
        {"next skips a hidden member", "name", "email", true, "note"},
        {"next from the last wraps to the first", "note", "", true, "name"},
        {"no current member starts at the first", "", "", true, "name"},
        {"the wrap does not test visibility", "note", "name", true, "name"},
        {"prev from the last", "note", "", false, "email"},
        {"prev skips a hidden member", "note", "email", false, "name"},
        {"prev from the first wraps to the last", "name", "", false, "note"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Form form;
        UI::widget* start = form.fields.front();
        if (*c.current) {
            start = form.field(c.current);
            start->SetFocus();
        }
        if (*c.hidden) form.field(c.hidden)->Show(false);
        if (c.forward) start->FocusNext();
        else start->FocusPrev();
        UI::widget* expected = form.field(c.expected);
        EXPECT_EQ(UI::GetFocusedWidget(), expected);
        EXPECT_EQ(form.group.current, expected);
        EXPECT_EQ(form.root.GetActiveChild(), expected);
        EXPECT_TRUE(expected->IsFocusActive());
    }
}

TEST(Focus, MovingThePathDeactivatesTheOldOne)
{
    struct Field : UI::widget {
        using widget::widget;
        int deactivated = 0;
        void OnDeactivated() override { ++deactivated; }
    };
    UI::focusgroup group;
    UI::widget root("root");
    auto* a = new Field("a");
    auto* b = new Field("b");
    for (Field* f : {a, b}) {
        root.AddChild(f);
        f->JoinFocusGroup(&group);
    }
    a->FocusNext();   // no current member yet: the first takes the path
    EXPECT_EQ(UI::GetFocusedWidget(), a);
    a->FocusNext();
    EXPECT_EQ(UI::GetFocusedWidget(), b);
    EXPECT_EQ(a->deactivated, 1);
    EXPECT_FALSE(a->IsFocusActive());
    EXPECT_TRUE(b->IsFocusActive());
    EXPECT_EQ(root.GetActiveChild(), b);
    UI::SetFocusedWidget(nullptr);
}

TEST(Focus, ActivateTakesTheFirstFocusableChildInInsertionOrder)
{
    UI::widget root("root");
    auto* panel = new UI::widget("panel");
    root.AddChild(panel);
    panel->SetFocusable(true);
    auto* label = new UI::widget("label");
    auto* first = new UI::widget("first");
    auto* second = new UI::widget("second");
    first->SetZOrder(900);   // z-order does not matter, insertion order does
    for (UI::widget* w : {label, first, second}) panel->AddChild(w);
    first->SetFocusable(true);
    second->SetFocusable(true);

    EXPECT_FALSE(label->Activate());   // not focusable
    EXPECT_TRUE(panel->Activate());
    EXPECT_EQ(UI::GetFocusedWidget(), first);
    EXPECT_EQ(panel->GetActiveChild(), first);
    EXPECT_EQ(root.GetActiveChild(), panel);
    EXPECT_TRUE(panel->IsFocusActive());
    UI::SetFocusedWidget(nullptr);
}

TEST(Focus, FocusInRunsBeforeTheOldWidgetsFocusOut)
{
    std::vector<std::string> log;
    struct Noted : UI::widget {
        Noted(const char* name, std::vector<std::string>* log) : widget(name), log(log) {}
        std::vector<std::string>* log;
        void OnFocusIn() override { log->push_back(GetName() + " in"); }
        void OnFocusOut() override { log->push_back(GetName() + " out"); }
    };
    Noted a("a", &log), b("b", &log);
    UI::SetFocusedWidget(&a);
    UI::SetFocusedWidget(&a);   // unchanged: nothing runs
    UI::SetFocusedWidget(&b);
    UI::SetFocusedWidget(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a in", "b in", "a out", "b out"}));
}
