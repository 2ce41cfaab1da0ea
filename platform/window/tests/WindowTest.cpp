#include "Recorder.h"

#include "platform/sync/Thread.h"
#include "platform/window/PresentWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"WindowTest", recording_proc, 0);
        received().clear();
    }

    HWND make(const char16_t* title, DWORD style = WS_POPUP)
    {
        HWND hwnd = CreateWindowExW(0, u"WindowTest", title, style, 10, 20, 200, 100, nullptr, nullptr, nullptr, nullptr);
        m_made.push_back(hwnd);
        return hwnd;
    }
    void TearDown() override
    {
        for (HWND h : m_made) DestroyWindow(h);
        drain();
    }

    std::vector<HWND> m_made;
};

// Runs a message loop until a message of this number has been dispatched.
void pump_until(UINT message)
{
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        DispatchMessageW(&m);
        if (m.message == message) return;
    }
}

}

TEST_F(Windows, ClassNamesAreUniqueAndUnknownClassesMakeNoWindow)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = u"WindowTest";
    EXPECT_EQ(RegisterClassExW(&wc), 0) << "taken";
    wc.cbSize = 0;
    wc.lpszClassName = u"Incomplete";
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Windows, CreateShowMoveAndDestroy)
{
    HWND hwnd = make(u"life");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "top-level windows start hidden";
    EXPECT_EQ(FindWindowW(u"WindowTest", nullptr), hwnd);
    EXPECT_EQ(FindWindowW(u"WindowTest", u"other"), nullptr);
    DWORD process = 0;
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, &process), GetCurrentThreadId());
    EXPECT_EQ(process, DWORD(getpid()));

    RECT r{};
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 210);
    EXPECT_EQ(r.bottom, 120);
    ASSERT_TRUE(SetWindowPos(hwnd, HWND_TOPMOST, 30, 40, 301, 201, 0));
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_TRUE(GetClientRect(hwnd, &r));
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 200);
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 30);

    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(ShowWindow(hwnd, SW_MINIMIZE));
    EXPECT_TRUE(IsIconic(hwnd));
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_TRUE(SetForegroundWindow(hwnd));
    EXPECT_TRUE(UpdateWindow(hwnd));
    drain();
    EXPECT_EQ(received(), (std::vector<Received>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(301, 201)},
                                                 {WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200)},
                                                 {WM_SIZE, SIZE_MINIMIZED, 0},
                                                 {WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200)},
                                                 {WM_PAINT, 0, 0}}))
        << "WM_SIZE as the calls make it; one paint, sent by UpdateWindow, not repeated by the posted one";
    received().clear();
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(received(), (std::vector<Received>{{WM_DESTROY, 0, 0}}));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), 0u);
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 0);
}

TEST_F(Windows, DefaultCloseDestroysAndSystemCommandsChangeState)
{
    static BOOL destroyed_again = TRUE;
    static auto close_default = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        received().push_back({m, w, l});
        if (m == WM_DESTROY) destroyed_again = DestroyWindow(h);
        return DefWindowProcW(h, m, w, l);
    };
    register_class(u"CloseDefault", close_default, 0);
    HWND hwnd = CreateWindowExW(0, u"CloseDefault", u"closing", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_TRUE(IsWindowVisible(hwnd));
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_FALSE(IsIconic(hwnd));
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE | 2, 0);   // the low bits are the system's own
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, 0), HTCLIENT);
    received().clear();
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(received(), (std::vector<Received>{{WM_SYSCOMMAND, SC_CLOSE, 0}, {WM_CLOSE, 0, 0}, {WM_DESTROY, 0, 0}}));
    EXPECT_FALSE(destroyed_again) << "destroying from WM_DESTROY does not start over";
}

TEST_F(Windows, PostsFromManyThreadsArriveInEachThreadsOrder)
{
    HWND hwnd = make(u"posts");
    constexpr int threads = 4, each = 300;
    constexpr UINT WM_COUNT = WM_USER + 1;
    std::vector<std::unique_ptr<plat::Thread>> posters;
    for (int t = 0; t < threads; ++t) {
        posters.push_back(std::make_unique<plat::Thread>());
        posters.back()->start([hwnd, t] {
            for (int i = 0; i < each; ++i) PostMessageW(hwnd, WM_COUNT, t, i);
            return DWORD{0};
        });
    }
    std::map<WPARAM, LPARAM> next;
    int seen = 0;
    MSG m;
    while (seen < threads * each && GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message != WM_COUNT) continue;
        EXPECT_EQ(m.hwnd, hwnd);
        EXPECT_EQ(m.lParam, next[m.wParam]++);
        ++seen;
    }
    EXPECT_EQ(seen, threads * each);
    for (auto& p : posters) p->join();
}

TEST_F(Windows, SendFromAnotherThreadIsAnsweredByTheWindowsThread)
{
    static auto doubler = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 7) return static_cast<LRESULT>(w * 2 + (GetCurrentThreadId() == static_cast<DWORD>(l)));
        return DefWindowProcW(h, m, w, l);
    };
    register_class(u"Doubler", doubler, 0);
    HWND hwnd = CreateWindowExW(0, u"Doubler", u"doubler", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    m_made.push_back(hwnd);
    const DWORD ui = GetCurrentThreadId();
    LRESULT answer = 0;
    plat::Thread sender;
    sender.start([&] {
        answer = SendMessageW(hwnd, WM_USER + 7, 20, ui);
        PostMessageW(hwnd, WM_USER + 8, 0, 0);
        return DWORD{0};
    });
    pump_until(WM_USER + 8);
    sender.join();
    EXPECT_EQ(answer, 41);
}

TEST_F(Windows, WindowTimersArriveUntilKilled)
{
    HWND hwnd = make(u"timers");
    EXPECT_NE(SetTimer(hwnd, 7, 10, nullptr), 0u);
    pump_until(WM_TIMER);
    EXPECT_EQ(received().back(), (Received{WM_TIMER, 7, 0}));
    EXPECT_TRUE(KillTimer(hwnd, 7));
    EXPECT_FALSE(KillTimer(hwnd, 7));
    // A later timer fires twice; the killed one never comes between.
    SetTimer(hwnd, 8, 10, nullptr);
    received().clear();
    pump_until(WM_TIMER);
    pump_until(WM_TIMER);
    EXPECT_EQ(received(), (std::vector<Received>{{WM_TIMER, 8, 0}, {WM_TIMER, 8, 0}}));
    DestroyWindow(hwnd);
    EXPECT_FALSE(KillTimer(hwnd, 8)) << "a window's timers go with it";
}

TEST_F(Windows, WindowlessTimerCallsItsRoutine)
{
    static std::vector<UINT_PTR> fired;
    fired.clear();
    const UINT_PTR id = SetTimer(nullptr, 0, 10, [](HWND hwnd, UINT message, UINT_PTR timer, DWORD) {
        EXPECT_EQ(hwnd, nullptr);
        EXPECT_EQ(message, WM_TIMER);
        fired.push_back(timer);
    });
    ASSERT_NE(id, 0u);
    pump_until(WM_TIMER);
    EXPECT_EQ(fired, std::vector<UINT_PTR>{id});
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(Windows, PostQuitEndsTheLoopAfterWhatWasPosted)
{
    HWND hwnd = make(u"quit");
    PostMessageW(hwnd, WM_USER + 3, 0, 0);
    PostQuitMessage(4);
    MSG m;
    ASSERT_GT(GetMessageW(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.message, WM_USER + 3u);
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.wParam, 4u);
}

TEST_F(Windows, OnlyTheUiThreadMakesTopLevelWindows)
{
    ASSERT_NE(make(u"ui"), nullptr);
    HWND other = reinterpret_cast<HWND>(1);
    plat::Thread t;
    t.start([&] {
        other = CreateWindowExW(0, u"WindowTest", u"elsewhere", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        return DWORD{0};
    });
    t.join();
    EXPECT_EQ(other, nullptr);
}

TEST_F(Windows, HitTestAsksTheWindowProcedureWithAScreenPoint)
{
    static auto caption_band = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_NCHITTEST) {
            RECT r{};
            GetWindowRect(h, &r);
            return GET_Y_LPARAM(l) < r.top + 5 ? HTTOP : GET_Y_LPARAM(l) < r.top + 27 ? HTCAPTION : HTCLIENT;
        }
        return DefWindowProcW(h, m, w, l);
    };
    register_class(u"CaptionBand", caption_band, 0);
    HWND hwnd = CreateWindowExW(0, u"CaptionBand", u"band", WS_POPUP, 100, 200, 300, 100, nullptr, nullptr, nullptr, nullptr);
    m_made.push_back(hwnd);
    EXPECT_EQ(plat::window_hit_test(hwnd, {50, 3}), HTTOP);
    EXPECT_EQ(plat::window_hit_test(hwnd, {50, 10}), HTCAPTION);
    EXPECT_EQ(plat::window_hit_test(hwnd, {50, 60}), HTCLIENT);
}

TEST_F(Windows, SizeLimitsComeFromGetMinMaxInfo)
{
    static auto limited = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MINMAXINFO*>(l);
            info->ptMinTrackSize = {320, 360};
            info->ptMaxTrackSize = {1600, 1200};
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    };
    register_class(u"Limited", limited, 0);
    HWND hwnd = CreateWindowExW(0, u"Limited", u"limited", WS_POPUP | WS_MAXIMIZEBOX, 0, 0, 400, 400, nullptr,
                                nullptr, nullptr, nullptr);
    m_made.push_back(hwnd);
    SDL_Window* sdl = sdl_window_titled("limited");
    ASSERT_NE(sdl, nullptr);
    int w = 0, h = 0;
    SDL_GetWindowMinimumSize(sdl, &w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 360);
    SDL_GetWindowMaximumSize(sdl, &w, &h);
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 1200);
}

// Xlib ends the process with exit() from inside the UI thread's pump (a lost
// display), while another thread still presents frames: the static
// destructors that run then must not free what the windows still use.
TEST_F(Windows, ExitWithWindowsOpenAndFramesArrivingEndsCleanly)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            HWND hwnd = make(u"open at exit");
            std::atomic<bool> presented{false};
            // Never joined, as no thread is when the process ends this way.
            std::thread([hwnd, &presented] {
                std::vector<std::uint32_t> pixels(16, 0xff336699u);
                const plat::FrameView frame{pixels.data(), 4, 4, 4};
                for (;;) {
                    plat::present_frame(hwnd, frame, RECT{0, 0, 4, 4}, RECT{0, 0, 4, 4});
                    presented = true;
                }
            }).detach();
            while (!presented) drain();
            drain();
            std::exit(7);
        },
        ::testing::ExitedWithCode(7), "");
}
