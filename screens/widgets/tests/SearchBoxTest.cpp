#include "screens/widgets/wsearcheditbox.h"

#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include "platform/window/Messages.h"

#include <gtest/gtest.h>

namespace {

struct SearchScene {
    test::ControlScene scene;
    UI::window top{"top"};
    wsearcheditbox* box{new wsearcheditbox("searcheditbox")};
    SearchScene()
    {
        top.SetSize(800, 25);
        top.AddChild(box);
        box->SetSize(200, 19);
        box->Setup();
    }
    ~SearchScene() { UI::SetFocusedWidget(nullptr); }
    int texts_drawn(const std::string& text)
    {
        int n = 0;
        for (const auto& op : scene.render().ops) n += op.what == "text" && op.source == text;
        return n;
    }
};

}  // namespace

TEST(wsearcheditbox, SetupSizesTheBoxAndRegistersButtonAndField)
{
    SearchScene s;
    EXPECT_FLOAT_EQ(s.box->GetWidth(), 155);
    EXPECT_FLOAT_EQ(s.box->GetHeight(), 19);
    EXPECT_EQ(UI::GetWidgetById(224), s.box->GetSearchButton());
    EXPECT_EQ(UI::GetWidgetById(225), s.box->GetTextField());
    // The button sits 15 px from the right edge; the field stops 4 px short of it.
    EXPECT_FLOAT_EQ(s.box->GetSearchButton()->GetX(), 155 - 15 - 16);
    UI::wtext* field = s.box->GetTextField();
    EXPECT_FLOAT_EQ(field->GetX() + field->GetWidth() + 4, s.box->GetSearchButton()->GetX());
}

TEST(wsearcheditbox, EnterReportsASearchButtonClickAndDropsTheFocus)
{
    SearchScene s;
    UI::widget* sender = nullptr;
    struct Listener {
        UI::widget** sender;
        bool On(UI::EventArgs& e)
        {
            *sender = e.sender;
            return false;
        }
    } listener{&sender};
    s.box->GetEvent("button_clicked", true)->Subscribe(&Listener::On, &listener);
    s.box->GetTextField()->SetFocus();
    UI::ValueEventArgs enter;
    enter.value = VK_RETURN;
    s.box->GetTextField()->OnKey(enter);
    EXPECT_EQ(sender, s.box->GetSearchButton());
    EXPECT_EQ(UI::GetFocusedWidget(), nullptr);
}

TEST(wsearcheditbox, PromptOfflineTextAndHighlightFollowFocusTextAndState)
{
    const struct { const char* name; bool online; bool focused; const char16_t* text; int prompt; int offline;
                   int highlight; bool focus_after; } cases[] = {
        {"empty, no focus", true, false, u"", 1, 0, 0, false},
        {"empty, focused", true, true, u"", 0, 0, 1, true},
        {"typed, no focus", true, false, u"cats", 0, 0, 0, false},
        {"offline", false, false, u"", 0, 1, 0, false},
        {"offline drops the focus", false, true, u"cats", 0, 1, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SearchScene s;
        s.box->SetOnline(c.online);
        s.box->GetTextField()->SetText(c.text);
        if (c.focused) s.box->GetTextField()->SetFocus();
        s.scene.render().ops.clear();
        s.box->Draw();
        EXPECT_EQ(s.texts_drawn("Search YouTube"), c.prompt);
        EXPECT_EQ(s.texts_drawn("OFFLINE"), c.offline);
        EXPECT_EQ(test::draws_of(s.scene.render(), "search_highlightbk") > 0, c.highlight == 1);
        EXPECT_EQ(UI::GetFocusedWidget() == s.box->GetTextField(), c.focus_after);
    }
}
