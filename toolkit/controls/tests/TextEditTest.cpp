// Editing a text field: characters, keys, the mouse's caret and selection, and
// copy and paste through the clipboard with Control held as the UI thread saw it.

#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/render/font.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include "platform/window/Clipboard.h"
#include "platform/window/testing/ClipboardText.h"
#include "platform/window/tests/Recorder.h"

#include <gtest/gtest.h>

namespace {

float width_of(const std::u16string& text)
{
    float width = 0;
    for (const char16_t c : text) width += UI::d3dresMgr::Instance()->GetFont("font_a12")->CharWidth(c);
    return width;
}

struct EditField {
    UI::wtext field{"search"};
    explicit EditField(const char16_t* text, int caret = 0)
    {
        field.SetFont("font_a12");
        field.SetSize(400, 16);
        field.SetEditable(true);
        field.SetText(text);
        for (int i = 0; i < caret; ++i) key(VK_RIGHT);
    }
    bool type(intptr_t code)
    {
        UI::ValueEventArgs e;
        e.value = code;
        return field.OnChar(e);
    }
    BYTE key(intptr_t vk)
    {
        UI::ValueEventArgs e;
        e.value = vk;
        field.OnKey(e);
        return e.handled;
    }
    void press(float x)
    {
        UI::MouseEventArgs e;
        e.position = {x, 5};
        field.OnMouseDown(e);
    }
    UI::MouseEventArgs move(float x)
    {
        UI::MouseEventArgs e;
        e.position = {x, 5};
        field.OnMouseMove(e);
        return e;
    }
};

}  // namespace

TEST(wtextEdit, CharactersFromSpaceUpAreTypedButControlAndC1Codes)
{
    test::ControlScene scene;
    const struct { intptr_t code; std::u16string text; } cases[] = {
        {'a', u"a"}, {' ', u" "}, {0xE9, u"é"}, {0xFF, u"ÿ"}, {0xA0, u"\u00A0"}, {0x4E2D, u"中"}, {0xD83D, u"\xD83D"},
        {0, u""}, {8, u""}, {13, u""}, {31, u""}, {127, u""}, {129, u""}, {159, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EditField edit(u"");
        EXPECT_TRUE(edit.type(c.code));
        EXPECT_EQ(edit.field.GetText(), c.text);
        EXPECT_EQ(edit.field.GetCaret(), int(c.text.size()));
    }
}

TEST(wtextEdit, TypingGoesInAtTheCaretAndMovesIt)
{
    test::ControlScene scene;
    EditField edit(u"ac", 1);
    edit.type('b');
    EXPECT_EQ(edit.field.GetText(), u"abc");
    EXPECT_EQ(edit.field.GetCaret(), 2);
    EXPECT_FLOAT_EQ(edit.field.GetTextSize().x, width_of(u"abc"));
}

TEST(wtextEdit, KeysEditAndMoveTheCaretWithinTheText)
{
    test::ControlScene scene;
    const struct { const char* name; int caret; std::vector<intptr_t> keys; std::u16string text; int after; } cases[] = {
        {"backspace", 2, {VK_BACK}, u"acd", 1},
        {"backspace at 0", 0, {VK_BACK}, u"abcd", 0},
        {"delete", 1, {VK_DELETE}, u"acd", 1},
        {"delete at the end", 4, {VK_DELETE}, u"abcd", 4},
        {"left", 2, {VK_LEFT}, u"abcd", 1},
        {"left at 0", 0, {VK_LEFT}, u"abcd", 0},
        // Right past the end leaves the caret out; the next edit clamps it.
        {"right past the end", 4, {VK_RIGHT, VK_RIGHT}, u"abcd", 6},
        {"backspace clamps first", 4, {VK_RIGHT, VK_RIGHT, VK_BACK}, u"abc", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditField edit(u"abcd", c.caret);
        for (const intptr_t k : c.keys) EXPECT_EQ(edit.key(k), 1);
        EXPECT_EQ(edit.field.GetText(), c.text);
        EXPECT_EQ(edit.field.GetCaret(), c.after);
    }
}

TEST(wtextEdit, ACaretBeyondTheEndTypesAtTheEnd)
{
    test::ControlScene scene;
    EditField edit(u"ab", 2);
    edit.key(VK_RIGHT);
    edit.type('c');
    EXPECT_EQ(edit.field.GetText(), u"abc");
    EXPECT_EQ(edit.field.GetCaret(), 3);
}

TEST(wtextEdit, LockedArrowsKeepTheCaretAndEnterFinishesTheInput)
{
    test::ControlScene scene;
    EditField edit(u"abcd", 2);
    edit.field.SetArrowsLocked(true);
    edit.key(VK_LEFT);
    edit.key(VK_RIGHT);
    EXPECT_EQ(edit.field.GetCaret(), 2);

    test::EventCounter finished;
    finished.Listen(edit.field, "wtext_input_finish");
    edit.key(VK_RETURN);
    EXPECT_EQ(finished.fired, 1);
    EXPECT_EQ(edit.field.GetText(), u"abcd");
}

TEST(wtextEdit, AFieldThatOnlyDisplaysIgnoresInput)
{
    test::ControlScene scene;
    EditField edit(u"abcd", 0);
    edit.field.SetEditable(false);
    EXPECT_FALSE(edit.type('x'));
    EXPECT_EQ(edit.key(VK_BACK), 0);
    edit.press(1);
    EXPECT_EQ(edit.move(30).handled, 0);
    EXPECT_EQ(edit.field.GetText(), u"abcd");
    EXPECT_NE(UI::GetFocusedWidget(), &edit.field);
}

TEST(wtextEdit, APressPlacesTheCaretAndADragSelects)
{
    test::ControlScene scene;
    EditField edit(u"abcdef");
    UI::widget screen("screen");   // a field takes the focus through its parents
    screen.SetSize(800, 600);
    screen.AddChild(&edit.field);
    screen.UpdateLayout();
    const float ab = width_of(u"ab");
    edit.press(ab + 1);
    EXPECT_EQ(edit.field.GetCaret(), 2);
    EXPECT_EQ(UI::GetFocusedWidget(), &edit.field);
    const auto moved = edit.move(width_of(u"abcd") + 1);
    EXPECT_EQ(moved.handled, 1);
    EXPECT_EQ(moved.cursor_set, 1);
    EXPECT_EQ(edit.field.GetSelection(), (std::pair<int, int>{2, 4}));
    edit.move(1000);
    EXPECT_EQ(edit.field.GetSelection(), (std::pair<int, int>{2, 6}));
    edit.move(-50);
    EXPECT_EQ(edit.field.GetSelection(), (std::pair<int, int>{2, 0}));

    // Once released, the pointer no longer stretches the selection.
    UI::MouseEventArgs up;
    edit.field.OnMouseUp(up);
    edit.move(1000);
    EXPECT_EQ(edit.field.GetSelection(), (std::pair<int, int>{2, 0}));
    UI::SetFocusedWidget(nullptr);
    screen.RemoveChild(&edit.field);
}

TEST(wtextEdit, ALongTextShowsTheCaretAtTheRightEdge)
{
    test::ControlScene scene;
    EditField edit(u"");
    edit.field.SetSize(width_of(u"xxxx") + 1, 16);
    for (const char16_t c : std::u16string(u"abcdefgh")) edit.type(c);
    scene.render().ops.clear();
    edit.field.Draw();
    std::vector<std::string> texts;
    for (const auto& op : scene.render().ops)
        if (op.what == "text") texts.push_back(op.source);
    EXPECT_EQ(texts, std::vector<std::string>{"efgh"});
}

TEST(wtextEdit, TheCaretAndSelectionDrawOnlyInTheFocusedField)
{
    test::ControlScene scene;
    EditField edit(u"abcd", 2);
    edit.field.SetBackgrounds(UI::SkinPicture("caret_select"), UI::SkinPicture("caret_default"));
    edit.field.SetCaretFlag(true);
    edit.field.Draw();
    EXPECT_EQ(test::draws_of(scene.render(), "caret_default"), 1);   // the background only: never clicked nor focused
    edit.field.SetBackgrounds(nullptr, nullptr);
    scene.render().ops.clear();

    edit.field.SetFocus();
    edit.field.Draw();
    EXPECT_EQ(test::draws_of(scene.render(), "caret_default"), 1);
    edit.field.SetSelection(1, 3);
    edit.field.Draw();
    EXPECT_EQ(test::draws_of(scene.render(), "caret_select"), 1);

    UI::SetFocusedWidget(nullptr);
    scene.render().ops.clear();
    edit.field.Draw();
    EXPECT_EQ(test::draws_of(scene.render(), "caret_select") + test::draws_of(scene.render(), "caret_default"), 0);
}

namespace {

// A window of the layer so Control can be pressed through SDL as a user would.
class ClipboardEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"TextEditTest", recording_proc, 0);
        m_hwnd = CreateWindowExW(0, u"TextEditTest", u"text edit", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
    }
    void TearDown() override
    {
        control(false);
        DestroyWindow(m_hwnd);
    }
    void control(bool down)
    {
        SDL_Event e{};
        e.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = SDL_GetWindowID(sdl_window_titled("text edit"));
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = SDLK_LCTRL;
        SDL_PushEvent(&e);
        drain();
        ASSERT_EQ((GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0, down);
    }
    static std::u16string taken()
    {
        std::u16string text;
        if (!OpenClipboard(nullptr)) return u"<closed>";
        if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const char16_t*>(GlobalLock(block));
            GlobalUnlock(block);
        }
        CloseClipboard();
        return text;
    }

    test::ControlScene m_scene;
    HWND m_hwnd = nullptr;
};

}  // namespace

TEST_F(ClipboardEdit, CopyTakesTheSelectionClampedToTheText)
{
    const struct { const char* name; int start, end; const char16_t* copied; } cases[] = {
        {"forward", 1, 3, u"bé"}, {"backward", 3, 1, u"bé"}, {"empty", 2, 2, u""},
        {"past the end", 2, 40, u"éd"}, {"before the start", -5, 2, u"ab"}, {"wholly past", 9, 12, u""},
    };
    control(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(plat::put_clipboard_text(u"before"));
        EditField edit(u"abéd");
        edit.field.SetSelection(c.start, c.end);
        edit.key('x');
        EXPECT_EQ(taken(), c.copied);
        EXPECT_EQ(edit.field.GetText(), u"abéd");   // x copies and keeps the text
    }
}

TEST_F(ClipboardEdit, PasteInsertsAtTheClampedSelectionStartAndKeepsTheCaret)
{
    const struct { const char* name; int start; const char16_t* text; } cases[] = {
        {"inside", 1, u"a中文bc"}, {"before the start", -3, u"中文abc"}, {"past the end", 10, u"abc中文"},
    };
    control(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(plat::put_clipboard_text(u"中文"));
        EditField edit(u"abc", 1);
        edit.field.SetSelection(c.start, c.start);
        edit.key('V');
        EXPECT_EQ(edit.field.GetText(), c.text);
        EXPECT_EQ(edit.field.GetCaret(), 1);
    }
}

TEST_F(ClipboardEdit, PasteTakesAtMost259UnitsAndNeedsControl)
{
    ASSERT_TRUE(plat::put_clipboard_text(std::u16string(300, u'z')));
    EditField edit(u"");
    edit.key('v');
    EXPECT_EQ(edit.field.GetText(), u"");
    control(true);
    edit.key('v');
    EXPECT_EQ(edit.field.GetText(), std::u16string(259, u'z'));
}
