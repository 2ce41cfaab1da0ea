// The UI thread's SDL event pump: SDL events become window messages with
// Windows' numbers and packing. Sent messages (size, activation, focus, close)
// go through the window procedure at once, as Windows sends them; input is
// posted to the window's queue.

#include "PowerEvents.h"
#include "WindowTable.h"

#include "platform/base/Utf.h"

#include <SDL.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace plat {

namespace {

int virtual_key_of(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_LSHIFT: return VK_LSHIFT;
    case SDLK_RSHIFT: return VK_RSHIFT;
    case SDLK_LCTRL: return VK_LCONTROL;
    case SDLK_RCTRL: return VK_RCONTROL;
    case SDLK_LALT: return VK_LMENU;
    case SDLK_RALT: return VK_RMENU;
    default: return 0;
    }
}

// The key a message names: either side of a modifier is the modifier.
int message_key(int side_key)
{
    switch (side_key) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return side_key;
    }
}

bool held(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

SDL_HitTestResult sdl_hit_of(LRESULT code)
{
    switch (code) {
    case HTCAPTION: return SDL_HITTEST_DRAGGABLE;
    case HTLEFT: return SDL_HITTEST_RESIZE_LEFT;
    case HTRIGHT: return SDL_HITTEST_RESIZE_RIGHT;
    case HTTOP: return SDL_HITTEST_RESIZE_TOP;
    case HTBOTTOM: return SDL_HITTEST_RESIZE_BOTTOM;
    case HTTOPLEFT: return SDL_HITTEST_RESIZE_TOPLEFT;
    case HTTOPRIGHT: return SDL_HITTEST_RESIZE_TOPRIGHT;
    case HTBOTTOMLEFT: return SDL_HITTEST_RESIZE_BOTTOMLEFT;
    case HTBOTTOMRIGHT: return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
    default: return SDL_HITTEST_NORMAL;
    }
}

SDL_HitTestResult SDLCALL hit_test(SDL_Window* window, const SDL_Point* area, void*) noexcept
{
    HWND hwnd = window_of_sdl_id(SDL_GetWindowID(window));
    return hwnd ? sdl_hit_of(window_hit_test(hwnd, {area->x, area->y})) : SDL_HITTEST_NORMAL;
}

class SdlEventPump {
public:
    explicit SdlEventPump(DWORD ui) : m_ui(ui), m_wake_type(SDL_RegisterEvents(1)) {}

    void pump(int timeout_ms)
    {
        SDL_Event event;
        const int got = timeout_ms == 0 ? SDL_PollEvent(&event)
                        : timeout_ms < 0 ? SDL_WaitEvent(&event)
                                         : SDL_WaitEventTimeout(&event, timeout_ms);
        if (!got) return;
        // One input event at a time, so the key state GetAsyncKeyState reads is the
        // state when the message being handled was made.
        while (!handle(event) && SDL_PollEvent(&event)) {}
    }

    void wake() const
    {
        if (GetCurrentThreadId() == m_ui) return;
        plat::free_sdl_state_at_thread_exit();
        SDL_Event event{};
        event.type = m_wake_type;
        SDL_PushEvent(&event);
    }

private:
    // True when the event made a posted message.
    bool handle(const SDL_Event& e);
    void post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        m_posted = PostMessageW(hwnd, message, wParam, lParam) || m_posted;
    }
    void paint(HWND hwnd) { m_posted = request_paint(hwnd) || m_posted; }
    void reached_from_desktop(HWND hwnd);
    void window_event(const SDL_WindowEvent& e);
    void size_changed(HWND hwnd, int width, int height);
    bool focus_changed(HWND hwnd, bool gained);   // false when the window had that focus already
    void mouse_button(const SDL_MouseButtonEvent& e);
    void mouse_wheel(const SDL_MouseWheelEvent& e);
    void key(const SDL_KeyboardEvent& e);
    void text(const SDL_TextInputEvent& e);
    WPARAM mouse_keys() const;
    HWND input_target(std::uint32_t sdl_id) const;

    const DWORD m_ui;
    const std::uint32_t m_wake_type;
    WORD m_buttons = 0;   // MK_ buttons held, from the button events received
    bool m_posted = false;   // the event being handled made a posted message
};

bool SdlEventPump::handle(const SDL_Event& e)
{
    m_posted = false;
    if (e.type == PresentWindow::frame_event_type()) {
        for (HWND hwnd : top_level_windows()) show_pending_frame(hwnd);
        return false;
    }
    switch (e.type) {
    case SDL_WINDOWEVENT: window_event(e.window); break;
    case SDL_MOUSEMOTION:
        if (HWND hwnd = input_target(e.motion.windowID))
            post(hwnd, WM_MOUSEMOVE, mouse_keys(), MAKELPARAM(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: mouse_button(e.button); break;
    case SDL_MOUSEWHEEL: mouse_wheel(e.wheel); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: key(e.key); break;
    case SDL_TEXTINPUT: text(e.text); break;
    case SDL_QUIT: end_session_requested(); break;
    default: break;
    }
    return m_posted;
}

HWND SdlEventPump::input_target(std::uint32_t sdl_id) const
{
    HWND hwnd = window_of_sdl_id(sdl_id);
    return hwnd && IsWindowEnabled(hwnd) ? hwnd : nullptr;
}

WPARAM SdlEventPump::mouse_keys() const
{
    return m_buttons | (held(VK_SHIFT) ? MK_SHIFT : 0) | (held(VK_CONTROL) ? MK_CONTROL : 0);
}

void SdlEventPump::mouse_button(const SDL_MouseButtonEvent& e)
{
    struct Button {
        WORD mask;
        UINT down, up, double_click;
    };
    static constexpr Button left{MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK};
    static constexpr Button right{MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK};
    static constexpr Button middle{MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK};
    const Button* b = e.button == SDL_BUTTON_LEFT ? &left : e.button == SDL_BUTTON_RIGHT ? &right
                      : e.button == SDL_BUTTON_MIDDLE ? &middle : nullptr;
    HWND hwnd = input_target(e.windowID);
    if (!b || !hwnd) return;
    const bool down = e.type == SDL_MOUSEBUTTONDOWN;
    m_buttons = down ? (m_buttons | b->mask) : (m_buttons & ~b->mask);
    UINT message = down ? b->down : b->up;
    // As on Windows: every second press of a run is the double click, for classes that ask.
    auto facts = window_facts(hwnd);
    if (down && e.clicks >= 2 && e.clicks % 2 == 0 && facts && (facts->class_style & CS_DBLCLKS)) message = b->double_click;
    post(hwnd, message, mouse_keys(), MAKELPARAM(e.x, e.y));
}

void SdlEventPump::mouse_wheel(const SDL_MouseWheelEvent& e)
{
    HWND hwnd = input_target(e.windowID);
    const int steps = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.y : e.y;
    if (!hwnd || steps == 0) return;
    RECT r{};
    GetWindowRect(hwnd, &r);
    // The wheel's point is on the screen, as Windows gives it.
    post(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(mouse_keys()), steps * WHEEL_DELTA),
                 MAKELPARAM(r.left + e.mouseX, r.top + e.mouseY));
}

void SdlEventPump::key(const SDL_KeyboardEvent& e)
{
    const int side_key = virtual_key_of(e.keysym.sym);
    if (side_key == 0) return;
    const bool down = e.type == SDL_KEYDOWN;
    set_key_down(side_key, down);
    HWND hwnd = input_target(e.windowID);
    if (!hwnd) return;
    const int vk = message_key(side_key);
    const bool alt = held(VK_MENU) || vk == VK_MENU;
    // Repeat count 1; bit 29 Alt held, bit 30 the key was down before, bit 31 released.
    DWORD flags = 1;
    if (alt) flags |= 1u << 29;
    if (!down || e.repeat) flags |= 1u << 30;
    if (!down) flags |= 1u << 31;
    const UINT message = alt && !held(VK_CONTROL) ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    post(hwnd, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(flags));
}

void SdlEventPump::text(const SDL_TextInputEvent& e)
{
    HWND hwnd = input_target(e.windowID);
    if (!hwnd) return;
    // One WM_CHAR per UTF-16 unit: a character beyond the BMP comes as its two surrogates.
    for (char16_t unit : utf8_to_utf16(e.text)) post(hwnd, WM_CHAR, unit, 1);
}

void SdlEventPump::size_changed(HWND hwnd, int width, int height)
{
    if (resize_client(hwnd, width, height)) paint(hwnd);
}

bool SdlEventPump::focus_changed(HWND hwnd, bool gained)
{
    bool changed = false;
    update_window(hwnd, [&](WindowRecord& r) { changed = std::exchange(r.focused, gained) != gained; });
    if (!changed) return false;
    bool other_active = false;
    for (HWND other : top_level_windows())
        if (auto facts = window_facts(other); other != hwnd && facts && facts->focused) other_active = true;
    if (gained) {
        if (!other_active) SendMessageW(hwnd, WM_ACTIVATEAPP, TRUE, 0);
        SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        SendMessageW(hwnd, WM_SETFOCUS, 0, 0);
    } else {
        SendMessageW(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
        if (!other_active) SendMessageW(hwnd, WM_ACTIVATEAPP, FALSE, 0);
        SendMessageW(hwnd, WM_KILLFOCUS, 0, 0);
    }
    return true;
}

// A window hidden in the tray that the desktop brings back asks, like the tray's double click.
void SdlEventPump::reached_from_desktop(HWND hwnd)
{
    auto facts = window_facts(hwnd);
    if (facts && facts->tray_hidden && facts->tray)
        post(hwnd, facts->tray->callback_message, facts->tray->id, WM_LBUTTONDBLCLK);
}

void SdlEventPump::window_event(const SDL_WindowEvent& e)
{
    HWND hwnd = window_of_sdl_id(e.windowID);
    if (!hwnd) return;
    auto facts = window_facts(hwnd);
    const RECT r = facts->rect;
    const LPARAM size = MAKELPARAM(r.right - r.left, r.bottom - r.top);
    switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: return size_changed(hwnd, e.data1, e.data2);
    case SDL_WINDOWEVENT_RESIZED: {
        RECT proposed = r;
        SendMessageW(hwnd, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
        const int width = proposed.right - proposed.left, height = proposed.bottom - proposed.top;
        if (width != r.right - r.left || height != r.bottom - r.top) {
            // The corrected size is the window's now; SDL's own notice of it, if any, repeats it.
            SDL_SetWindowSize(facts->sdl, width, height);
            size_changed(hwnd, width, height);
        }
        SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
        return;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        if (facts->minimized) return;
        update_window(hwnd, [](WindowRecord& w) { w.minimized = true; });
        SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        return;
    case SDL_WINDOWEVENT_MAXIMIZED:
        if (facts->maximized && !facts->minimized) return;
        update_window(hwnd, [](WindowRecord& w) { w.maximized = true; w.minimized = false; });
        SendMessageW(hwnd, WM_SIZE, SIZE_MAXIMIZED, size);
        return;
    case SDL_WINDOWEVENT_RESTORED:
        if (!facts->minimized && !facts->maximized) return;
        update_window(hwnd, [](WindowRecord& w) { w.maximized = w.minimized = false; });
        SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, size);
        return reached_from_desktop(hwnd);
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (focus_changed(hwnd, true)) reached_from_desktop(hwnd);
        return;
    case SDL_WINDOWEVENT_FOCUS_LOST: focus_changed(hwnd, false); return;
    case SDL_WINDOWEVENT_EXPOSED: return paint(hwnd);
    case SDL_WINDOWEVENT_CLOSE:
        if (facts->enabled) SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return;
    default: return;
    }
}

}

void install_event_pump()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Held for the process: the pump keeps SDL's video (and its event queue) up between windows.
        plat::prepare_sdl_video();
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        plat::start_power_events();
        auto pump = std::make_shared<SdlEventPump>(GetCurrentThreadId());
        current_thread_queue().set_event_pump(std::make_shared<const EventPump>(
            EventPump{[pump](int timeout_ms) { pump->pump(timeout_ms); }, [pump] { pump->wake(); }}));
    });
}

void enable_hit_test(SDL_Window* window) { SDL_SetWindowHitTest(window, hit_test, nullptr); }

}
