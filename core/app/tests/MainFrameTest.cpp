#include "core/app/MainFrame.h"

#include "platform/window/Messages.h"

#include <gtest/gtest.h>

namespace {

constexpr RECT window{100, 50, 1124, 818};   // 1024 x 768 at (100, 50)
constexpr ScreenSize screen{1280, 1024};

TEST(MainFrame, HitTestZones)
{
    const LONG middle = 100 + (1024 - 200) / 2;   // the centred 200 pixels start here
    const struct {
        POINT at;
        LRESULT zone;
    } cases[] = {
        {{600, 60}, HTCLIENT},           // 10 below the top, in the middle
        {{300, 60}, HTCAPTION},          // the same height near the left quarter
        {{middle - 1, 60}, HTCAPTION},
        {{middle, 60}, HTCLIENT},
        {{middle + 200, 60}, HTCLIENT},
        {{middle + 201, 60}, HTCAPTION},
        {{1124 - 61, 60}, HTCAPTION},
        {{1124 - 60, 60}, HTCLIENT},     // the band's last 60 pixels hold buttons
        {{600, 53}, HTTOP},              // 3 from the top edge resizes
        {{102, 52}, HTTOPLEFT},
        {{1122, 52}, HTTOPRIGHT},
        {{102, 816}, HTBOTTOMLEFT},
        {{1122, 816}, HTBOTTOMRIGHT},
        {{102, 400}, HTLEFT},
        {{1122, 400}, HTRIGHT},
        {{600, 816}, HTBOTTOM},
        {{600, 400}, HTCLIENT},
        {{300, 55}, HTCLIENT},           // between the edge and the band
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x << "," << c.at.y);
        EXPECT_EQ(main_hit_test(c.at, window, screen), c.zone);
    }
}

TEST(MainFrame, AScreenFillingWindowIsNeitherMovedNorSized)
{
    const RECT full{0, 0, 1280, 1024};
    for (POINT at : {POINT{2, 2}, POINT{300, 10}, POINT{1278, 1022}, POINT{640, 3}})
        EXPECT_EQ(main_hit_test(at, full, screen), HTCLIENT);
}

TEST(MainFrame, SizingStaysWithinTheLimitsAndTheScreen)
{
    const struct {
        RECT dragged;
        RECT kept;
    } cases[] = {
        {{10, 20, 800, 200}, {10, 20, 10 + MinWidth, 20 + MinHeight}},
        {{10, 20, 1200, 700}, {10, 20, 1200, 700}},
        {{10, 20, 2000, 1500}, {10, 20, 10 + 1280, 20 + 1024}},
        {{10, 20, 1034, 380}, {10, 20, 1034, 380}},
    };
    for (const auto& c : cases) {
        RECT r = c.dragged;
        apply_sizing_rule(r, screen);
        EXPECT_EQ(r.left, c.kept.left);
        EXPECT_EQ(r.top, c.kept.top);
        EXPECT_EQ(r.right, c.kept.right);
        EXPECT_EQ(r.bottom, c.kept.bottom);
    }
}

}
