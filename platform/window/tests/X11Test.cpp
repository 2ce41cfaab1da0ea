// The window layer on a real X server (run under xvfb-run): the UI thread's
// wait in X11 is woken by posts and timers, and the clipboard is the X selection.

#include "Recorder.h"

#include "platform/sync/Thread.h"
#include "platform/window/Clipboard.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break its headers.
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>

// SDL's desktop integration keeps a D-Bus connection for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

class X11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display: run under xvfb-run";
        unsetenv("SDL_VIDEODRIVER");
        register_class(u"X11Test", recording_proc, 0);
        m_hwnd = CreateWindowExW(0, u"X11Test", u"x11", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    }
    void TearDown() override
    {
        if (m_hwnd) DestroyWindow(m_hwnd);
    }

    HWND m_hwnd = nullptr;
};

// Receives and dispatches until a message of this number has been dispatched.
void pump_until(UINT message)
{
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        DispatchMessageW(&m);
        if (m.message == message) return;
    }
}

}

TEST_F(X11, PostsFromAnotherThreadWakeTheWaitInX)
{
    plat::Thread poster;
    poster.start([hwnd = m_hwnd] {
        for (int i = 0; i < 50; ++i) PostMessageW(hwnd, WM_USER + 1, i, 0);
        PostMessageW(hwnd, WM_USER + 2, 0, 0);
        return DWORD{0};
    });
    received().clear();
    pump_until(WM_USER + 2);
    poster.join();
    int next = 0;
    for (const Received& m : received())
        if (m.message == WM_USER + 1) {
            EXPECT_EQ(m.wParam, static_cast<WPARAM>(next++));
        }
    EXPECT_EQ(next, 50);
}

TEST_F(X11, TimerEndsTheWaitInX)
{
    SetTimer(m_hwnd, 3, 20, nullptr);
    received().clear();
    pump_until(WM_TIMER);
    EXPECT_EQ(received().back(), (Received{WM_TIMER, 3, 0}));
    KillTimer(m_hwnd, 3);
}

TEST_F(X11, ResizeFromOutsideBecomesSizingAndOneWmSize)
{
    // As a window manager resizes: the X server changes the window, SDL hears of it.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(sdl_window_titled("x11"), &info));
    received().clear();
    XResizeWindow(info.info.x11.display, info.info.x11.window, 260, 140);
    XFlush(info.info.x11.display);
    RECT client{};
    MSG m;
    while (client.right != 260 && GetMessageW(&m, nullptr, 0, 0) > 0) {   // a resize posts WM_PAINT
        DispatchMessageW(&m);
        GetClientRect(m_hwnd, &client);
    }
    EXPECT_EQ(client.bottom, 140);
    pump_until(WM_PAINT);
    const auto count = [](const Received& wanted) { return std::count(received().begin(), received().end(), wanted); };
    EXPECT_EQ(count({WM_SIZE, SIZE_RESTORED, MAKELPARAM(260, 140)}), 1);
    EXPECT_EQ(count({WM_EXITSIZEMOVE, 0, 0}), 1);
    EXPECT_TRUE(std::any_of(received().begin(), received().end(), [](const Received& r) { return r.message == WM_SIZING; }));
}

TEST_F(X11, ClipboardIsTheXSelection)
{
    const std::u16string text = u"Grüße, 中文 and 😀";
    ASSERT_TRUE(OpenClipboard(m_hwnd));
    HGLOBAL block = GlobalAlloc(GHND, (text.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), text.c_str(), text.size() * sizeof(char16_t));
    EmptyClipboard();
    ASSERT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
    CloseClipboard();

    std::unique_ptr<char, decltype(&SDL_free)> seen(SDL_GetClipboardText(), &SDL_free);
    EXPECT_STREQ(seen.get(), "Gr\xC3\xBC\xC3\x9F" "e, \xE4\xB8\xAD\xE6\x96\x87 and \xF0\x9F\x98\x80");
    ASSERT_TRUE(OpenClipboard(m_hwnd));
    HGLOBAL back = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(back))), text);
    CloseClipboard();
}
