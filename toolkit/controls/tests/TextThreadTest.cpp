// The logic thread sets a field's text while the compose thread draws it and
// the tooltip reads it: each reads a whole text under the field's lock.

#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/tests/SkinRig.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/InputState.h"

#include "platform/sync/Mutex.h"
#include "platform/window/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(wtextThreads, TextsSetWhileDrawnAndReadStayWhole)
{
    test::SkinRig skin;
    UI::wtext field("field");
    field.SetFont("font_a12");
    field.SetSize(60, 16);
    field.SetEllipsis(true);
    const std::u16string texts[] = {u"a short one", u"a text long enough to be cut with an ellipsis at the end"};
    std::atomic<bool> done{false};
    std::thread logic([&] {
        for (int i = 0; i < 2000; ++i) field.SetTextDeferred(texts[i % 2].c_str(), i % 3 == 0);
        done = true;
    });
    int torn = 0;
    while (!done) {
        {
            CMutexGuard frame(UIRenderMutex());
            field.Draw();
        }
        const std::u16string seen = field.GetText();
        torn += seen != texts[0] && seen != texts[1] && !seen.empty();
    }
    logic.join();
    EXPECT_EQ(torn, 0);
}

// The UI thread types and deletes while the compose thread draws the caret
// and the selection: the caret, selection and text are read together.
TEST(wtextThreads, TypingWhileDrawn)
{
    test::SkinRig skin;
    UI::wtext field("search");
    field.SetFont("font_a12");
    field.SetSize(60, 16);
    field.SetEditable(true);
    field.SetFocus();
    field.SetCaretFlag(true);
    std::atomic<bool> done{false};
    std::thread typing([&] {
        for (int i = 0; i < 500; ++i) {
            UI::ValueEventArgs e;
            e.value = i % 5 == 4 ? VK_BACK : i % 7 == 0 ? VK_LEFT : 0;
            if (e.value) {
                field.OnKey(e);
            } else {
                e.value = i % 2 ? u'\u00E9' : u'\u4E2D';
                field.OnChar(e);
            }
            if (i % 11 == 0) field.SetSelection(i % 3, i);
        }
        done = true;
    });
    while (!done) {
        CMutexGuard frame(UIRenderMutex());
        field.Draw();
    }
    typing.join();
    const std::u16string text = field.GetText();
    EXPECT_EQ(text.find_first_not_of(u"\u00E9\u4E2D"), std::u16string::npos);
    EXPECT_LE(field.GetCaret(), int(text.size()));
    UI::SetFocusedWidget(nullptr);
}
