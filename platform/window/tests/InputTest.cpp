// SDL events, pushed as the desktop would send them, and the window messages
// they become.

#include "Recorder.h"

#include "platform/window/Accelerator.h"

#include <gtest/gtest.h>

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"InputTest", recording_proc, CS_DBLCLKS);
        m_hwnd = CreateWindowExW(0, u"InputTest", u"input test", WS_POPUP, 100, 50, 320, 240, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_sdl = sdl_window_titled("input test");
        ASSERT_NE(m_sdl, nullptr);
        ShowWindow(m_hwnd, SW_SHOW);
        drain();
        received().clear();
    }
    void TearDown() override
    {
        DestroyWindow(m_hwnd);
        drain();
    }

    std::vector<Received> deliver(std::vector<SDL_Event> events)
    {
        received().clear();
        for (SDL_Event& e : events) SDL_PushEvent(&e);
        drain();
        return received();
    }

    SDL_Event motion(int x, int y) const
    {
        SDL_Event e{};
        e.motion = {SDL_MOUSEMOTION, 0, id(), 0, 0, x, y, 0, 0};
        return e;
    }
    SDL_Event button(bool down, Uint8 which, Uint8 clicks, int x, int y) const
    {
        SDL_Event e{};
        e.button = {down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, 0, id(), 0, which,
                    Uint8(down ? SDL_PRESSED : SDL_RELEASED), clicks, 0, x, y};
        return e;
    }
    SDL_Event wheel(int y, Uint32 direction, int mouse_x, int mouse_y) const
    {
        SDL_Event e{};
        e.wheel.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = id();
        e.wheel.y = y;
        e.wheel.direction = direction;
        e.wheel.mouseX = mouse_x;
        e.wheel.mouseY = mouse_y;
        return e;
    }
    SDL_Event key(bool down, SDL_Keycode sym, bool repeat = false) const
    {
        SDL_Event e{};
        e.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = id();
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.sym = sym;
        return e;
    }
    SDL_Event text(const char* utf8) const
    {
        SDL_Event e{};
        e.text.type = SDL_TEXTINPUT;
        e.text.windowID = id();
        SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
        return e;
    }
    SDL_Event window(SDL_WindowEventID event, int data1 = 0, int data2 = 0) const
    {
        SDL_Event e{};
        e.window.type = SDL_WINDOWEVENT;
        e.window.windowID = id();
        e.window.event = event;
        e.window.data1 = data1;
        e.window.data2 = data2;
        return e;
    }

    Uint32 id() const { return SDL_GetWindowID(m_sdl); }

    HWND m_hwnd = nullptr;
    SDL_Window* m_sdl = nullptr;
};

constexpr LPARAM released_key = static_cast<LPARAM>(0xC0000001u);

}

TEST_F(Input, EventsBecomeMessagesWithWindowsPacking)
{
    const struct {
        const char* name;
        std::vector<SDL_Event> events;
        std::vector<Received> expected;
    } cases[] = {
        {"move", {motion(10, 20)}, {{WM_MOUSEMOVE, 0, MAKELPARAM(10, 20)}}},
        {"press and release",
         {button(true, SDL_BUTTON_LEFT, 1, 5, 6), motion(7, 8), button(false, SDL_BUTTON_LEFT, 1, 7, 8)},
         {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6)},
          {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(7, 8)},
          {WM_LBUTTONUP, 0, MAKELPARAM(7, 8)}}},
        {"double click: every second press",
         {button(true, SDL_BUTTON_LEFT, 2, 5, 6), button(false, SDL_BUTTON_LEFT, 2, 5, 6),
          button(true, SDL_BUTTON_LEFT, 3, 5, 6), button(true, SDL_BUTTON_LEFT, 4, 5, 6)},
         {{WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 6)},
          {WM_LBUTTONUP, 0, MAKELPARAM(5, 6)},
          {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6)},
          {WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 6)}}},
        {"right button",
         {button(false, SDL_BUTTON_LEFT, 1, 0, 0), button(true, SDL_BUTTON_RIGHT, 1, 300, 200)},
         {{WM_LBUTTONUP, 0, MAKELPARAM(0, 0)}, {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 200)}}},
        {"negative client point (a drag outside)",
         {button(false, SDL_BUTTON_RIGHT, 1, 0, 0), motion(-3, -4)},
         {{WM_RBUTTONUP, 0, MAKELPARAM(0, 0)}, {WM_MOUSEMOVE, 0, MAKELPARAM(-3, -4)}}},
        {"wheel away: +120 at the screen point",
         {wheel(1, SDL_MOUSEWHEEL_NORMAL, 10, 20)},
         {{WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(110, 70)}}},
        {"wheel towards, two notches", {wheel(-2, SDL_MOUSEWHEEL_NORMAL, 0, 0)},
         {{WM_MOUSEWHEEL, MAKEWPARAM(0, -240), MAKELPARAM(100, 50)}}},
        {"flipped wheel", {wheel(1, SDL_MOUSEWHEEL_FLIPPED, 0, 0)},
         {{WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(100, 50)}}},
        {"e acute", {text("\xC3\xA9")}, {{WM_CHAR, 0xE9, 1}}},
        {"CJK", {text("\xE4\xB8\xAD")}, {{WM_CHAR, 0x4E2D, 1}}},
        {"beyond the BMP: two units", {text("\xF0\x9F\x98\x80")}, {{WM_CHAR, 0xD83D, 1}, {WM_CHAR, 0xDE00, 1}}},
        {"several characters", {text("a\xC3\xA9")}, {{WM_CHAR, 'a', 1}, {WM_CHAR, 0xE9, 1}}},
        {"held key repeats", {key(true, SDLK_LEFT), key(true, SDLK_LEFT, true), key(false, SDLK_LEFT)},
         {{WM_KEYDOWN, VK_LEFT, 1}, {WM_KEYDOWN, VK_LEFT, 0x40000001}, {WM_KEYUP, VK_LEFT, released_key}}},
        {"control and a letter",
         {key(true, SDLK_RCTRL), key(true, SDLK_c), motion(1, 1), key(false, SDLK_c), key(false, SDLK_RCTRL)},
         {{WM_KEYDOWN, VK_CONTROL, 1},
          {WM_KEYDOWN, 'C', 1},
          {WM_MOUSEMOVE, MK_CONTROL, MAKELPARAM(1, 1)},
          {WM_KEYUP, 'C', released_key},
          {WM_KEYUP, VK_CONTROL, released_key}}},
        {"alt makes system keys", {key(true, SDLK_LALT), key(true, SDLK_x), key(false, SDLK_x), key(false, SDLK_LALT)},
         {{WM_SYSKEYDOWN, VK_MENU, 0x20000001},
          {WM_SYSKEYDOWN, 'X', 0x20000001},
          {WM_SYSKEYUP, 'X', static_cast<LPARAM>(0xE0000001u)},
          {WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xE0000001u)}}},
        {"resize", {window(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480)},
         {{WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}, {WM_PAINT, 0, 0}}},
        {"same size again: nothing", {window(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480)}, {}},
        {"minimise and restore", {window(SDL_WINDOWEVENT_MINIMIZED), window(SDL_WINDOWEVENT_RESTORED)},
         {{WM_SIZE, SIZE_MINIMIZED, 0}, {WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}}},
        {"maximise", {window(SDL_WINDOWEVENT_MAXIMIZED)}, {{WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(640, 480)}}},
        {"focus in", {window(SDL_WINDOWEVENT_FOCUS_GAINED)},
         {{WM_ACTIVATEAPP, TRUE, 0}, {WM_ACTIVATE, WA_ACTIVE, 0}, {WM_SETFOCUS, 0, 0}}},
        {"focus out", {window(SDL_WINDOWEVENT_FOCUS_LOST)},
         {{WM_ACTIVATE, WA_INACTIVE, 0}, {WM_ACTIVATEAPP, FALSE, 0}, {WM_KILLFOCUS, 0, 0}}},
        {"exposed", {window(SDL_WINDOWEVENT_EXPOSED)}, {{WM_PAINT, 0, 0}}},
        {"close", {window(SDL_WINDOWEVENT_CLOSE)}, {{WM_CLOSE, 0, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deliver(c.events), c.expected);
    }
    RECT client{};
    ASSERT_TRUE(GetClientRect(m_hwnd, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
}

TEST_F(Input, NamedKeysAndTheCharactersTranslateMessageAdds)
{
    const struct {
        SDL_Keycode sym;
        int vk;
        WPARAM character;   // 0: no WM_CHAR from the key itself
    } keys[] = {{SDLK_BACKSPACE, VK_BACK, 8}, {SDLK_TAB, VK_TAB, 9},      {SDLK_RETURN, VK_RETURN, 13},
                {SDLK_KP_ENTER, VK_RETURN, 13}, {SDLK_ESCAPE, VK_ESCAPE, 27}, {SDLK_SPACE, VK_SPACE, 0},
                {SDLK_PAGEUP, VK_PRIOR, 0},   {SDLK_PAGEDOWN, VK_NEXT, 0}, {SDLK_END, VK_END, 0},
                {SDLK_HOME, VK_HOME, 0},      {SDLK_LEFT, VK_LEFT, 0},    {SDLK_UP, VK_UP, 0},
                {SDLK_RIGHT, VK_RIGHT, 0},    {SDLK_DOWN, VK_DOWN, 0},    {SDLK_DELETE, VK_DELETE, 0},
                {SDLK_a, 'A', 0},             {SDLK_v, 'V', 0},           {SDLK_7, '7', 0},
                {SDLK_F5, VK_F1 + 4, 0}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.vk);
        std::vector<Received> expected{{WM_KEYDOWN, WPARAM(k.vk), 1}};
        if (k.character) expected.push_back({WM_CHAR, k.character, 1});
        expected.push_back({WM_KEYUP, WPARAM(k.vk), released_key});
        EXPECT_EQ(deliver({key(true, k.sym), key(false, k.sym)}), expected);
    }
    EXPECT_TRUE(deliver({key(true, SDLK_CAPSLOCK)}).empty()) << "keys without a virtual key are not sent";
}

TEST_F(Input, ControlIsHeldWhileEitherSideIsDown)
{
    deliver({key(true, SDLK_LCTRL)});
    EXPECT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);
    EXPECT_NE(GetAsyncKeyState(VK_LCONTROL) & 0x8000, 0);
    EXPECT_EQ(GetAsyncKeyState(VK_RCONTROL), 0);
    deliver({key(true, SDLK_RCTRL), key(false, SDLK_LCTRL)});
    EXPECT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);
    deliver({key(false, SDLK_RCTRL)});
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
}

TEST_F(Input, DisabledWindowGetsNoInput)
{
    EnableWindow(m_hwnd, FALSE);
    EXPECT_TRUE(deliver({motion(1, 2), button(true, SDL_BUTTON_LEFT, 1, 1, 2), key(true, SDLK_a), text("x"),
                         window(SDL_WINDOWEVENT_CLOSE)})
                    .empty());
    EnableWindow(m_hwnd, TRUE);
    EXPECT_EQ(deliver({motion(1, 2)}).size(), 1u);
}

TEST_F(Input, AcceleratorBecomesCommandAndTheKeyStops)
{
    const ACCEL entries[] = {{FVIRTKEY | FALT, 'R', 106}, {FVIRTKEY | FALT, 'X', 105}, {FVIRTKEY | FCONTROL, 'A', 7}};
    HACCEL table = CreateAcceleratorTableW(entries, 3);
    ASSERT_NE(table, nullptr);
    auto loop = [&](std::vector<SDL_Event> events) {
        received().clear();
        for (SDL_Event& e : events) SDL_PushEvent(&e);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (TranslateAcceleratorW(m.hwnd, table, &m)) continue;
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        return received();
    };
    EXPECT_EQ(loop({key(true, SDLK_LALT), key(true, SDLK_r), key(false, SDLK_r), key(false, SDLK_LALT)}),
              (std::vector<Received>{{WM_SYSKEYDOWN, VK_MENU, 0x20000001},
                                     {WM_COMMAND, MAKEWPARAM(106, 1), 0},
                                     {WM_SYSKEYUP, 'R', static_cast<LPARAM>(0xE0000001u)},
                                     {WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xE0000001u)}}));
    EXPECT_EQ(loop({key(true, SDLK_r)}), (std::vector<Received>{{WM_KEYDOWN, 'R', 1}})) << "modifiers must match";
    EXPECT_EQ(loop({key(true, SDLK_LCTRL), key(true, SDLK_a), key(false, SDLK_LCTRL)}).at(1),
              (Received{WM_COMMAND, MAKEWPARAM(7, 1), 0}));
    EXPECT_TRUE(DestroyAcceleratorTable(table));
    MSG stale{m_hwnd, WM_KEYDOWN, 'R', 0, 0};
    EXPECT_EQ(TranslateAcceleratorW(m_hwnd, table, &stale), 0);
}

TEST_F(Input, UserResizeFollowsTheSizingRule)
{
    static auto at_least_400 = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_SIZING) {
            auto* r = reinterpret_cast<RECT*>(lParam);
            if (r->right - r->left < 400) r->right = r->left + 400;
        }
        return recording_proc(hwnd, message, wParam, lParam);
    };
    register_class(u"SizingRule", at_least_400, 0);
    HWND hwnd = CreateWindowExW(0, u"SizingRule", u"sizing", WS_POPUP | WS_VISIBLE, 0, 0, 500, 300, nullptr,
                                nullptr, nullptr, nullptr);
    SDL_Window* sdl = sdl_window_titled("sizing");
    ASSERT_NE(sdl, nullptr);
    drain();
    received().clear();
    SDL_Event shrink[2]{};
    for (auto& e : shrink) {
        e.window.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(sdl);
        e.window.data1 = 300;
        e.window.data2 = 200;
    }
    shrink[0].window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    shrink[1].window.event = SDL_WINDOWEVENT_RESIZED;
    for (auto& e : shrink) SDL_PushEvent(&e);
    drain();
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 200);
    int w = 0, h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    EXPECT_EQ(w, 400);
    const auto& log = received();
    EXPECT_EQ(log.front(), (Received{WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200)}));
    EXPECT_NE(std::find(log.begin(), log.end(), Received{WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 200)}), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), Received{WM_EXITSIZEMOVE, 0, 0}), log.end());
    DestroyWindow(hwnd);
}
