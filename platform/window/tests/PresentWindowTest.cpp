#include "platform/window/PresentWindow.h"

#include "platform/fs/testing/ScopedEnvironment.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::unique_ptr<plat::PresentWindow> dummy_window(int w, int h)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    return plat::PresentWindow::create("test", w, h);
}

}

TEST(PresentWindow, FrameLandsInClientAreaAndIsShownOnce)
{
    auto window = dummy_window(8, 6);
    ASSERT_TRUE(window);
    std::vector<std::uint32_t> pixels(4 * 4, 0xff00ff00u);
    pixels[5] = 0xffff0000u;   // (1, 1)
    plat::FrameView frame{pixels.data(), 4, 4, 4};
    ASSERT_TRUE(plat::present_frame(window->hwnd(), frame, RECT{0, 0, 4, 4}, RECT{2, 1, 6, 5}));
    EXPECT_EQ(window->frame_pixel(3, 2), 0xffff0000u);
    EXPECT_EQ(window->frame_pixel(2, 1), 0xff00ff00u);
    EXPECT_EQ(window->frame_pixel(0, 0), 0xff000000u);   // untouched
    EXPECT_TRUE(window->show_pending_frame());
    EXPECT_FALSE(window->show_pending_frame());
}

// Every rectangle pair lands as nearest-pixel sampling of the source says,
// whether the sizes match (rows copied whole) or not (scaled), with the parts
// outside the window or the frame left alone.
TEST(PresentWindow, FramesLandPixelForPixelAsNearestSamplingSays)
{
    constexpr int fw = 7, fh = 5, ww = 9, wh = 6;
    std::vector<std::uint32_t> pixels(fw * fh);
    for (int i = 0; i < fw * fh; ++i) pixels[std::size_t(i)] = 0xff000000u | std::uint32_t(i + 1);
    const plat::FrameView frame{pixels.data(), fw, fh, fw};
    const struct {
        const char* what;
        RECT src, dst;
    } cases[] = {
        {"one size, moved", {1, 1, 5, 4}, {3, 2, 7, 5}},
        {"one size, past the window's right and bottom", {0, 0, 7, 5}, {4, 3, 11, 8}},
        {"one size, from left of the window", {0, 0, 7, 5}, {-3, -1, 4, 4}},
        {"one size, the source past the frame", {4, 2, 10, 6}, {0, 0, 6, 4}},
        {"scaled up", {0, 0, 3, 2}, {0, 0, 9, 6}},
        {"scaled down", {0, 0, 7, 5}, {1, 1, 4, 3}},
        {"scaled, partly outside", {2, 1, 7, 5}, {-2, 2, 8, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto window = dummy_window(ww, wh);
        ASSERT_TRUE(window);
        ASSERT_TRUE(plat::present_frame(window->hwnd(), frame, c.src, c.dst));
        const int sw = c.src.right - c.src.left, sh = c.src.bottom - c.src.top;
        const int dw = c.dst.right - c.dst.left, dh = c.dst.bottom - c.dst.top;
        for (int y = 0; y < wh; ++y)
            for (int x = 0; x < ww; ++x) {
                std::uint32_t expected = 0xff000000u;   // as the window was made
                if (x >= c.dst.left && x < c.dst.right && y >= c.dst.top && y < c.dst.bottom) {
                    const int sx = c.src.left + (x - c.dst.left) * sw / dw, sy = c.src.top + (y - c.dst.top) * sh / dh;
                    if (sx >= 0 && sx < fw && sy >= 0 && sy < fh) expected = pixels[std::size_t(sy * fw + sx)];
                }
                ASSERT_EQ(window->frame_pixel(x, y), expected) << x << ", " << y;
            }
    }
}

// A frame whose top-left corner is exactly the client area changes places
// with the window's own instead of being copied, and comes back at its own
// size; a corner of another size is refused and everything left as it was.
TEST(PresentWindow, AFrameWhoseCornerIsTheClientChangesPlacesWithTheWindows)
{
    auto window = dummy_window(3, 2);
    ASSERT_TRUE(window);
    std::vector<std::uint32_t> frame(6, 0xff112233u);
    ASSERT_TRUE(plat::present_frame_swap(window->hwnd(), frame, 3, 2, 3, 2));
    EXPECT_EQ(window->frame_pixel(2, 1), 0xff112233u);
    EXPECT_EQ(frame, std::vector<std::uint32_t>(6, 0xff000000u)) << "the window's previous frame";
    EXPECT_TRUE(window->show_pending_frame());

    // A screen-sized frame: the client shows its corner.
    std::vector<std::uint32_t> screen(5 * 4);
    for (std::size_t i = 0; i < screen.size(); ++i) screen[i] = 0xff000000u | std::uint32_t(i);
    ASSERT_TRUE(plat::present_frame_swap(window->hwnd(), screen, 5, 4, 3, 2));
    EXPECT_EQ(screen.size(), 20u) << "back at the frame's size";
    EXPECT_EQ(window->frame_pixel(2, 1), 0xff000007u);
    EXPECT_EQ(plat::present_frame_copy(window->hwnd()),
              (std::vector<std::uint32_t>{0xff000000u, 0xff000001u, 0xff000002u, 0xff000005u, 0xff000006u, 0xff000007u}));
    EXPECT_TRUE(window->show_pending_frame());
    // A copy into it afterwards lands on the client's pixels.
    const std::uint32_t dot = 0xffabcdefu;
    ASSERT_TRUE(plat::present_frame(window->hwnd(), plat::FrameView{&dot, 1, 1, 1}, RECT{0, 0, 1, 1}, RECT{1, 1, 2, 2}));
    EXPECT_EQ(window->frame_pixel(1, 1), dot);
    EXPECT_EQ(window->frame_pixel(2, 1), 0xff000007u);
    window->show_pending_frame();

    std::vector<std::uint32_t> other(4, 0xff445566u);
    EXPECT_FALSE(plat::present_frame_swap(window->hwnd(), other, 2, 2, 2, 2));
    EXPECT_EQ(other, std::vector<std::uint32_t>(4, 0xff445566u));
    EXPECT_FALSE(plat::present_frame_swap(window->hwnd(), other, 2, 2, 3, 2)) << "a corner larger than the frame";
    EXPECT_EQ(window->frame_pixel(1, 1), dot);
    EXPECT_FALSE(window->show_pending_frame());
    HWND gone = window->hwnd();
    window.reset();
    EXPECT_FALSE(plat::present_frame_swap(gone, frame, 3, 2, 3, 2));
}

// The compose thread presents while the UI thread may be too busy to pump: SDL's
// queue fills and SDL keeps an error text for the presenting thread, which must
// go with the thread (the process's leak check at exit sees what stays).
TEST(PresentWindow, APresentingThreadLeavesNothingOfSdlBehind)
{
    auto window = dummy_window(1, 1);
    ASSERT_TRUE(window);
    std::uint32_t pixel = 0xff0000ffu;
    const plat::FrameView frame{&pixel, 1, 1, 1};
    constexpr int more_than_sdl_queues = 70000;
    std::thread([&] {
        for (int i = 0; i < more_than_sdl_queues; ++i)
            plat::present_frame(window->hwnd(), frame, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1});
    }).join();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);   // the next test starts with an empty queue
    EXPECT_TRUE(window->show_pending_frame());
    EXPECT_EQ(window->frame_pixel(0, 0), 0xff0000ffu);
}

TEST(PresentWindow, UnknownHandlePresentsNowhere)
{
    std::uint32_t pixel = 0xffffffffu;
    plat::FrameView frame{&pixel, 1, 1, 1};
    EXPECT_FALSE(plat::present_frame(reinterpret_cast<HWND>(&pixel), frame, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1}));
    EXPECT_FALSE(plat::present_client_rect(nullptr));
    auto window = dummy_window(5, 3);
    ASSERT_TRUE(window);
    auto rect = plat::present_client_rect(window->hwnd());
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->right, 5);
    EXPECT_EQ(rect->bottom, 3);
    HWND gone = window->hwnd();
    window.reset();
    EXPECT_FALSE(plat::present_frame(gone, frame, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1}));
}

// SDL settles for its off-screen stand-in when no desktop answers: a window no
// one can see, whose pictures go nowhere. No window is the honest answer.
TEST(PresentWindow, NoDesktopThatAnswersMakesNoWindow)
{
    const struct { const char* display; const char* wayland; } cases[] = {
        {nullptr, nullptr},
        {":93", nullptr},                  // named, but no server listens there
        {nullptr, "no-such-compositor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.display ? c.display : "-") + " " + (c.wayland ? c.wayland : "-"));
        plat::ScopedEnvironment any_driver("SDL_VIDEODRIVER", nullptr);
        plat::ScopedEnvironment display("DISPLAY", c.display);
        plat::ScopedEnvironment wayland("WAYLAND_DISPLAY", c.wayland);
        plat::ScopedEnvironment runtime("XDG_RUNTIME_DIR", "/nonexistent");
        EXPECT_EQ(plat::PresentWindow::create("unseen", 8, 6), nullptr);
    }
}
