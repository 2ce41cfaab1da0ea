// The window layer on a real X server (run under xvfb-run): the UI thread's
// wait in X11 is woken by posts and timers, and the clipboard is the X selection.

#include "Recorder.h"

#include "platform/base/DebugLog.h"
#include "platform/sync/Thread.h"
#include "platform/window/Clipboard.h"
#include "platform/window/PresentWindow.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break its headers.
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include <sys/socket.h>

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

// Puts the text on the clipboard through the window layer.
void copy(HWND owner, const std::u16string& text)
{
    ASSERT_TRUE(OpenClipboard(owner));
    HGLOBAL block = GlobalAlloc(GHND, (text.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), text.c_str(), text.size() * sizeof(char16_t));
    EmptyClipboard();
    ASSERT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
    CloseClipboard();
}

// The X connection and window behind the fixture's window.
SDL_SysWMinfo x11_info()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    EXPECT_TRUE(SDL_GetWindowWMInfo(sdl_window_titled("x11"), &info));
    return info;
}

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
    const SDL_SysWMinfo info = x11_info();
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
    copy(m_hwnd, text);

    std::unique_ptr<char, decltype(&SDL_free)> seen(SDL_GetClipboardText(), &SDL_free);
    EXPECT_STREQ(seen.get(), "Gr\xC3\xBC\xC3\x9F" "e, \xE4\xB8\xAD\xE6\x96\x87 and \xF0\x9F\x98\x80");
    ASSERT_TRUE(OpenClipboard(m_hwnd));
    HGLOBAL back = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(back))), text);
    CloseClipboard();
}

// Another program asks for the clipboard and closes its window before the
// answer: the answer names a window that is gone, and the server refuses it.
// That is the other program's end, not this one's.
TEST_F(X11, AWindowAnotherClientDestroyedIsNoReasonToEnd)
{
    copy(m_hwnd, u"kept");
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    plat::DebugCapture log;
    const Window requestor = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(other, XInternAtom(other, "CLIPBOARD", False), XInternAtom(other, "UTF8_STRING", False),
                      XInternAtom(other, "PASTE_HERE", False), requestor, CurrentTime);
    XDestroyWindow(other, requestor);
    XSync(other, False);
    XCloseDisplay(other);

    SetTimer(m_hwnd, 4, 10, nullptr);   // keeps the pump turning while the answer goes out
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!log.contains("BadWindow") && std::chrono::steady_clock::now() < limit) pump_until(WM_TIMER);
    KillTimer(m_hwnd, 4);
    EXPECT_TRUE(log.contains("BadWindow"));
    PostMessageW(m_hwnd, WM_USER + 3, 0, 0);
    pump_until(WM_USER + 3);
    std::unique_ptr<char, decltype(&SDL_free)> still(SDL_GetClipboardText(), &SDL_free);
    EXPECT_STREQ(still.get(), "kept");
}

// The X server went away (the session died) while a frame waits to be shown:
// the process ends at once with 1 and says why in the debug output, rather than
// crashing in a graphics library or running its static destructors under the
// threads that still draw.
TEST_F(X11, ALostDisplayEndsTheProcessAtOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("STRIMO_DEBUG_LOG", "-", 1);
    EXPECT_EXIT(
        {
            auto window = plat::PresentWindow::create("shown", 64, 48);
            SDL_ShowWindow(window->sdl_window());
            const int connection = ConnectionNumber(x11_info().info.x11.display);
            std::vector<std::uint32_t> pixels(16, 0xff336699u);
            // Resized each time, so each show makes the window's surface again, as after a resize.
            for (int i = 0;; ++i) {
                if (i == 20) shutdown(connection, SHUT_RDWR);
                SDL_SetWindowSize(window->sdl_window(), 64 + i % 7, 48 + i % 5);
                window->resize(64 + i % 7, 48 + i % 5);
                plat::present_frame(window->hwnd(), plat::FrameView{pixels.data(), 4, 4, 4}, RECT{0, 0, 4, 4},
                                    RECT{0, 0, 4, 4});
                window->show_pending_frame();
            }
        },
        ::testing::ExitedWithCode(1), "connection to the X server is lost");
    unsetenv("STRIMO_DEBUG_LOG");
}
