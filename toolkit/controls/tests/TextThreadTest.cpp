// The logic thread sets a field's text while the compose thread draws it and
// the tooltip reads it: each reads a whole text under the field's lock.

#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/tests/SkinRig.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/sync/Mutex.h"

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
