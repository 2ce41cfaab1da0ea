#include "platform/gdiplus/Gdiplus.h"
#include "platform/window/PresentWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Gdiplus;

namespace {

ARGB at(const Bitmap& b, INT x, INT y)
{
    Color c;
    EXPECT_EQ(b.GetPixel(x, y, &c), Ok);
    return c.GetValue();
}

}

TEST(Gdiplus, DrawImageScalesAndFades)
{
    const ARGB texels[4] = {0xffff0000u, 0xff00ff00u, 0x80000080u, 0x00000000u};   // premultiplied
    Bitmap source(2, 2, 8, PixelFormat32bppPARGB, reinterpret_cast<const BYTE*>(texels));
    Bitmap target(8, 8, PixelFormat32bppARGB);
    Graphics g(&target);
    ASSERT_EQ(g.GetLastStatus(), Ok);
    g.Clear(Color(255, 0, 0, 0));
    EXPECT_EQ(g.DrawImage(&source, RectF{2, 2, 2, 2}, 0, 0, 2, 2, UnitPixel, nullptr), Ok);
    EXPECT_EQ(at(target, 2, 2), 0xffff0000u);
    EXPECT_EQ(at(target, 3, 3), 0xff000000u);   // transparent texel leaves black
    EXPECT_EQ(at(target, 2, 3), 0xff000080u);   // half-opaque blue over black
    EXPECT_EQ(at(target, 1, 1), 0xff000000u);
    ColorMatrix half{};
    for (int i = 0; i < 5; ++i) half.m[i][i] = 1.0f;
    half.m[3][3] = 0.5f;
    ImageAttributes attributes;
    attributes.SetColorMatrix(&half);
    g.Clear(Color(0, 0, 0, 0));
    g.DrawImage(&source, RectF{0, 0, 4, 4}, 0, 0, 1, 1, UnitPixel, &attributes);
    ARGB faded = at(target, 1, 1);
    EXPECT_NEAR(int(faded >> 24), 128, 1);
    EXPECT_NEAR(int(faded >> 16 & 0xff), 128, 1);   // never brighter than its alpha
    EXPECT_EQ(at(target, 5, 5), 0u);
}

TEST(Gdiplus, ClearRespectsClipAndBadInputFails)
{
    Bitmap target(4, 4, PixelFormat32bppARGB);
    Graphics g(&target);
    g.Clear(Color(255, 255, 255, 255));
    g.SetClip(Rect{1, 1, 2, 2});
    g.Clear(Color(255, 0, 0, 255));
    g.ResetClip();
    EXPECT_EQ(at(target, 1, 1), 0xff0000ffu);
    EXPECT_EQ(at(target, 0, 0), 0xffffffffu);
    EXPECT_EQ(g.DrawImage(nullptr, RectF{0, 0, 1, 1}, 0, 0, 1, 1, UnitPixel, nullptr), InvalidParameter);
    Graphics nowhere(static_cast<HWND>(nullptr));
    EXPECT_EQ(nowhere.GetLastStatus(), Win32Error);
    Bitmap empty(0, 3, PixelFormat32bppARGB);
    EXPECT_EQ(empty.GetLastStatus(), InvalidParameter);
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    GdiplusShutdown(token);
}

TEST(Gdiplus, WindowGraphicsDrawsOverWhatTheWindowShows)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    auto window = plat::PresentWindow::create("gdi", 4, 4);
    ASSERT_TRUE(window);
    const ARGB red = 0xffff0000u;
    Bitmap dot(1, 1, 4, PixelFormat32bppPARGB, reinterpret_cast<const BYTE*>(&red));
    {
        Graphics g(window->hwnd());
        ASSERT_EQ(g.GetLastStatus(), Ok);
        g.DrawImage(&dot, RectF{1, 1, 1, 1}, 0, 0, 1, 1, UnitPixel, nullptr);
    }
    {
        Graphics g(window->hwnd());
        g.DrawImage(&dot, RectF{2, 2, 1, 1}, 0, 0, 1, 1, UnitPixel, nullptr);
    }
    EXPECT_EQ(window->frame_pixel(1, 1), red);   // the first drawing stays
    EXPECT_EQ(window->frame_pixel(2, 2), red);
    EXPECT_EQ(window->frame_pixel(0, 0), 0xff000000u);
}
