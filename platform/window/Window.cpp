#include "Window.h"

#include "ClassSockets.h"
#include "WindowTable.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Time.h"
#include "platform/base/Utf.h"
#include "platform/sync/Event.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>

namespace plat {

namespace {

struct Table {
    std::mutex lock;
    std::map<std::u16string, WindowClass> classes;              // guarded by lock
    std::map<HWND, std::shared_ptr<WindowRecord>> windows;      // guarded by lock
    std::vector<HWND> order;                                    // guarded by lock; creation order
    std::uintptr_t next_child_handle = 0x10000;                 // guarded by lock
    DWORD ui_thread = 0;                                        // guarded by lock
    std::array<std::atomic<bool>, 256> keys{};                  // written by the UI thread only
};

// Never destroyed, so no window is closed by a static destructor: exit() may come
// from any thread (or from Xlib inside the pump) while others still use windows.
Table& table()
{
    static Table& t = *new Table;
    return t;
}

std::shared_ptr<WindowRecord> find(HWND hwnd)
{
    auto& t = table();
    std::scoped_lock hold(t.lock);
    auto found = t.windows.find(hwnd);
    return found == t.windows.end() ? nullptr : found->second;
}

bool is_atom(LPCWSTR name) { return reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF; }

std::u16string text_of(LPCWSTR text) { return text && !is_atom(text) ? std::u16string(text) : std::u16string(); }

// Internal: a SendMessageW from another thread, received and answered by DispatchMessageW.
constexpr UINT sent_message = 0xBFFF;
struct SentCall {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    Event done{EventReset::Manual, EventState::Clear};
};

void finish_unanswered(const MSG& m) { reinterpret_cast<SentCall*>(m.lParam)->done.set(); }

// The window's top-level SDL flags.
std::uint32_t sdl_flags_for(DWORD style)
{
    std::uint32_t flags = SDL_WINDOW_HIDDEN;
    if ((style & WS_POPUP) || !(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    if (style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) flags |= SDL_WINDOW_RESIZABLE;
    return flags;
}

// Asks the window for its size limits and gives them to SDL.
void apply_size_limits(HWND hwnd, SDL_Window* window)
{
    MINMAXINFO info{};
    info.ptMaxTrackSize = {16384, 16384};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    SDL_SetWindowMinimumSize(window, std::max<int>(info.ptMinTrackSize.x, 1), std::max<int>(info.ptMinTrackSize.y, 1));
    SDL_SetWindowMaximumSize(window, info.ptMaxTrackSize.x, info.ptMaxTrackSize.y);
}

std::shared_ptr<WindowRecord> make_top_level(LPCWSTR title, DWORD style, int x, int y,
                                             int width, int height)
{
    const DWORD thread = GetCurrentThreadId();
    {
        auto& t = table();
        std::scoped_lock hold(t.lock);
        if (t.ui_thread != 0 && t.ui_thread != thread) {
            debug_log("window: only the UI thread makes top-level windows");
            return nullptr;
        }
        t.ui_thread = thread;
    }
    if (width == CW_USEDEFAULT || width <= 0) width = 640;
    if (height == CW_USEDEFAULT || height <= 0) height = 480;
    auto present = PresentWindow::create(utf16_to_utf8(text_of(title)), width, height, sdl_flags_for(style));
    if (!present) return nullptr;
    install_event_pump();
    if (style & WS_POPUP) enable_hit_test(present->sdl_window());
    if (x != CW_USEDEFAULT) SDL_SetWindowPosition(present->sdl_window(), x, y);
    auto record = std::make_shared<WindowRecord>();
    record->hwnd = present->hwnd();
    int left = 0, top = 0;
    SDL_GetWindowPosition(present->sdl_window(), &left, &top);
    record->rect = {left, top, left + width, top + height};
    record->present = std::move(present);
    return record;
}

void forget(HWND hwnd)
{
    std::shared_ptr<WindowRecord> gone;   // let go of outside the lock: it closes its SDL window
    auto& t = table();
    std::scoped_lock hold(t.lock);
    auto found = t.windows.find(hwnd);
    if (found == t.windows.end()) return;
    gone = std::move(found->second);
    t.windows.erase(found);
    std::erase(t.order, hwnd);
}

void set_shown_state(HWND hwnd, bool visible, bool minimized, bool maximized)
{
    bool was_visible = true;
    update_window(hwnd, [&](WindowRecord& r) {
        was_visible = r.visible;
        r.visible = visible;
        r.minimized = minimized;
        r.maximized = maximized;
    });
    if (visible && !was_visible) request_paint(hwnd);
}

// Without a desktop tray a hidden window would be out of reach: it stays on the
// desktop, minimised (see Tray.h).
void hide_in_tray(HWND hwnd, const WindowFacts& facts)
{
    update_window(hwnd, [](WindowRecord& r) { r.tray_hidden = true; });
    // Only a mapped window can be minimised.
    if (!facts.visible && !facts.tray_hidden) SDL_ShowWindow(facts.sdl);
    SDL_MinimizeWindow(facts.sdl);
    set_shown_state(hwnd, false, true, facts.maximized);
    if (!facts.minimized) SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
}

// Shows a top-level window in the state the command asks; WM_SIZE tells a change of state.
void show(HWND hwnd, const WindowFacts& facts, int command)
{
    const bool minimize = command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
    const bool maximize = command == SW_MAXIMIZE;
    // Shown again from the tray, the window comes back from its stand-in minimised state.
    const bool restore = command == SW_RESTORE || command == SW_SHOWNORMAL || command == SW_SHOWDEFAULT ||
                         facts.tray_hidden;
    update_window(hwnd, [](WindowRecord& r) { r.tray_hidden = false; });
    SDL_ShowWindow(facts.sdl);
    if (minimize) SDL_MinimizeWindow(facts.sdl);
    else if (maximize) SDL_MaximizeWindow(facts.sdl);
    else if (restore) SDL_RestoreWindow(facts.sdl);
    const bool minimized = minimize || (facts.minimized && !maximize && !restore);
    const bool maximized = maximize || (facts.maximized && !restore && !minimize);
    set_shown_state(hwnd, true, minimized, maximized);
    if (minimized == facts.minimized && maximized == facts.maximized) return;
    const RECT r = facts.rect;
    SendMessageW(hwnd, WM_SIZE, minimized ? SIZE_MINIMIZED : maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 minimized ? 0 : MAKELPARAM(r.right - r.left, r.bottom - r.top));
}

}

bool request_paint(HWND hwnd)
{
    bool post = false;
    update_window(hwnd, [&](WindowRecord& r) { post = !std::exchange(r.paint_pending, true); });
    return post && PostMessageW(hwnd, WM_PAINT, 0, 0);
}

bool resize_client(HWND hwnd, int width, int height)
{
    bool changed = false;
    bool maximized = false;
    update_window(hwnd, [&](WindowRecord& r) {
        changed = r.rect.right - r.rect.left != width || r.rect.bottom - r.rect.top != height;
        maximized = r.maximized;
        r.rect.right = r.rect.left + width;
        r.rect.bottom = r.rect.top + height;
        if (changed && r.present) r.present->resize(width, height);
    });
    if (changed) SendMessageW(hwnd, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(width, height));
    return changed;
}

bool update_window(HWND hwnd, const std::function<void(WindowRecord&)>& change)
{
    auto& t = table();
    std::scoped_lock hold(t.lock);
    auto found = t.windows.find(hwnd);
    if (found == t.windows.end()) return false;
    change(*found->second);
    return true;
}

std::optional<WindowFacts> window_facts(HWND hwnd)
{
    auto& t = table();
    std::scoped_lock hold(t.lock);
    auto found = t.windows.find(hwnd);
    if (found == t.windows.end()) return std::nullopt;
    const WindowRecord& r = *found->second;
    return WindowFacts{r.window_class.proc, r.window_class.style, r.thread, r.parent, r.control_id, r.rect,
                       r.visible, r.minimized, r.maximized, r.enabled, r.focused, r.tray_hidden, r.tray,
                       r.user_data, r.present ? r.present->sdl_window() : nullptr};
}

HWND window_of_sdl_id(std::uint32_t sdl_id)
{
    auto& t = table();
    std::scoped_lock hold(t.lock);
    for (auto& [hwnd, record] : t.windows)
        if (record->present && SDL_GetWindowID(record->present->sdl_window()) == sdl_id) return hwnd;
    return nullptr;
}

std::vector<HWND> child_windows(HWND parent)
{
    auto& t = table();
    std::scoped_lock hold(t.lock);
    std::vector<HWND> children;
    for (HWND h : t.order)
        if (t.windows.at(h)->parent == parent) children.push_back(h);
    return children;
}

std::vector<HWND> top_level_windows() { return child_windows(nullptr); }

void show_pending_frame(HWND hwnd)
{
    if (auto record = find(hwnd); record && record->present) record->present->show_pending_frame();
}

void set_key_down(int virtual_key, bool down)
{
    if (virtual_key > 0 && virtual_key < 256) table().keys[virtual_key] = down;
}

LRESULT window_hit_test(HWND hwnd, POINT client_point)
{
    RECT r{};
    if (!GetWindowRect(hwnd, &r)) return HTNOWHERE;
    return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + client_point.x, r.top + client_point.y));
}

}

using plat::find;
using plat::table;

ATOM RegisterClassExW(const WNDCLASSEXW* wc)
{
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpfnWndProc || !wc->lpszClassName || plat::is_atom(wc->lpszClassName))
        return 0;
    auto& t = table();
    std::scoped_lock hold(t.lock);
    std::u16string name(wc->lpszClassName);
    if (t.classes.count(name)) return 0;
    t.classes[name] = {name, wc->style, wc->lpfnWndProc};
    return static_cast<ATOM>(0xC000 + t.classes.size());
}

BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE)
{
    auto& t = table();
    std::scoped_lock hold(t.lock);
    return t.classes.erase(plat::text_of(class_name)) ? TRUE : FALSE;
}

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    plat::WindowClass cls;
    {
        auto& t = table();
        std::scoped_lock hold(t.lock);
        auto found = t.classes.find(plat::text_of(class_name));
        if (found == t.classes.end()) return nullptr;
        cls = found->second;
    }
    std::shared_ptr<plat::WindowRecord> record;
    if (style & WS_CHILD) {
        if (!IsWindow(parent)) return nullptr;
        record = std::make_shared<plat::WindowRecord>();
        record->rect = {x, y, x + width, y + height};
        record->control_id = reinterpret_cast<UINT_PTR>(menu);
        record->visible = (style & WS_VISIBLE) != 0;
    } else {
        record = plat::make_top_level(title, style, x, y, width, height);
        if (!record) return nullptr;
    }
    record->window_class = cls;
    record->thread = GetCurrentThreadId();
    record->parent = (style & WS_CHILD) ? parent : nullptr;
    record->text = plat::text_of(title);
    {
        auto& t = table();
        std::scoped_lock hold(t.lock);
        if (!record->hwnd) record->hwnd = reinterpret_cast<HWND>(t.next_child_handle += 4);
        t.windows[record->hwnd] = record;
        t.order.push_back(record->hwnd);
    }
    HWND hwnd = record->hwnd;
    SDL_Window* sdl = record->present ? record->present->sdl_window() : nullptr;
    record.reset();
    if (sdl) plat::apply_size_limits(hwnd, sdl);
    CREATESTRUCTW create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                         title, class_name, ex_style};
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!(style & WS_CHILD)) plat::publish_window_class(hwnd, cls.name);
    if (sdl && (style & WS_VISIBLE)) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts || facts->thread != GetCurrentThreadId()) return FALSE;
    // A window procedure that destroys its window again from WM_DESTROY gets FALSE.
    bool again = false;
    plat::update_window(hwnd, [&](plat::WindowRecord& r) { again = std::exchange(r.destroying, true); });
    if (again) return FALSE;
    if (!facts->parent) {
        plat::withdraw_window_class(hwnd);
        plat::remove_tray_item(hwnd);
    }
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : plat::child_windows(hwnd)) DestroyWindow(child);
    if (auto queue = plat::thread_queue(facts->thread)) queue->kill_window_timers(hwnd);
    plat::forget(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return find(hwnd) ? TRUE : FALSE; }

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id)
{
    const auto facts = plat::window_facts(hwnd);
    if (!facts) return 0;
    if (process_id) *process_id = DWORD(getpid());
    return facts->thread;
}

HWND FindWindowW(LPCWSTR class_name, LPCWSTR title)
{
    {
        auto& t = table();
        std::scoped_lock hold(t.lock);
        for (HWND h : t.order) {
            const auto& r = *t.windows.at(h);
            if (r.parent) continue;
            if (class_name && r.window_class.name != plat::text_of(class_name)) continue;
            if (title && r.text != plat::text_of(title)) continue;
            return h;
        }
    }
    // Another process of this user may have it; only a class can be asked for there.
    return class_name && !title ? plat::find_remote_window(plat::text_of(class_name)) : nullptr;
}

HWND GetParent(HWND hwnd)
{
    auto facts = plat::window_facts(hwnd);
    return facts ? facts->parent : nullptr;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        case SC_CLOSE: SendMessageW(hwnd, WM_CLOSE, 0, 0); break;
        }
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_QUERYENDSESSION:
        return TRUE;   // the session may end
    default:
        return 0;
    }
}

BOOL ShowWindow(HWND hwnd, int command)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts) return FALSE;
    const BOOL was_visible = facts->visible ? TRUE : FALSE;
    if (!facts->sdl) {
        // A control is drawn by its dialog.
        plat::update_window(hwnd, [&](plat::WindowRecord& r) { r.visible = command != SW_HIDE; });
        plat::request_paint(facts->parent);
    } else if (command == SW_HIDE && facts->tray && !facts->tray->on_bus) {
        plat::hide_in_tray(hwnd, *facts);
    } else if (command == SW_HIDE) {
        SDL_HideWindow(facts->sdl);
        plat::set_shown_state(hwnd, false, facts->minimized, facts->maximized);
    } else {
        plat::show(hwnd, *facts, command);
    }
    return was_visible;
}

BOOL UpdateWindow(HWND hwnd)
{
    bool paint = false;
    if (!plat::update_window(hwnd, [&](plat::WindowRecord& r) { paint = std::exchange(r.paint_pending, false); })) return FALSE;
    if (paint) SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    auto facts = plat::window_facts(hwnd);
    return facts && facts->visible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd)
{
    auto facts = plat::window_facts(hwnd);
    return facts && facts->minimized ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts) return FALSE;
    if (!(flags & SWP_NOMOVE)) {
        plat::update_window(hwnd, [&](plat::WindowRecord& r) {
            r.rect = {x, y, x + (r.rect.right - r.rect.left), y + (r.rect.bottom - r.rect.top)};
        });
        if (facts->sdl) SDL_SetWindowPosition(facts->sdl, x, y);
    }
    if (!(flags & SWP_NOSIZE)) {
        cx = std::max(cx, 1);
        cy = std::max(cy, 1);
        if (facts->sdl) SDL_SetWindowSize(facts->sdl, cx, cy);
        // Sent here, as Windows does; SDL's later notice of the same size changes nothing.
        plat::resize_client(hwnd, cx, cy);
    }
    if (SDL_Window* sdl = facts->sdl; sdl && !(flags & SWP_NOZORDER)) {
        if (insert_after == HWND_TOPMOST) SDL_SetWindowAlwaysOnTop(sdl, SDL_TRUE);
        else if (insert_after == HWND_NOTOPMOST) SDL_SetWindowAlwaysOnTop(sdl, SDL_FALSE);
        else if (insert_after == HWND_TOP && !(flags & SWP_NOACTIVATE)) SDL_RaiseWindow(sdl);
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    return TRUE;
}

BOOL SetForegroundWindow(HWND hwnd)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts || !facts->sdl) return FALSE;
    SDL_RaiseWindow(facts->sdl);
    return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    bool was_disabled = false;
    plat::update_window(hwnd, [&](plat::WindowRecord& r) {
        was_disabled = !r.enabled;
        r.enabled = enable != FALSE;
    });
    return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    auto facts = plat::window_facts(hwnd);
    return facts && facts->enabled ? TRUE : FALSE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts || !rect) return FALSE;
    *rect = {0, 0, facts->rect.right - facts->rect.left, facts->rect.bottom - facts->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts || !rect) return FALSE;
    *rect = facts->rect;
    return TRUE;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts) return FALSE;
    const std::u16string value = plat::text_of(text);
    plat::update_window(hwnd, [&](plat::WindowRecord& r) { r.text = value; });
    if (facts->sdl) SDL_SetWindowTitle(facts->sdl, plat::utf16_to_utf8(value).c_str());
    // Controls draw their text: the dialog that holds them paints again.
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int max_count)
{
    std::u16string value;
    if (!plat::update_window(hwnd, [&](plat::WindowRecord& r) { value = r.text; }) || !text || max_count <= 0) return 0;
    const int n = std::min<int>(static_cast<int>(value.size()), max_count - 1);
    std::copy_n(value.data(), n, text);
    text[n] = 0;
    return n;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto facts = plat::window_facts(hwnd);
    if (!facts) return 0;
    if (facts->thread == GetCurrentThreadId()) return facts->proc(hwnd, message, wParam, lParam);
    plat::SentCall call{message, wParam, lParam};
    auto queue = plat::thread_queue(facts->thread);
    if (!queue || !queue->post({hwnd, plat::sent_message, 0, reinterpret_cast<LPARAM>(&call), 0}, plat::finish_unanswered))
        return 0;
    call.done.wait(INFINITE);
    return call.result;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
    if (plat::is_remote_window(hwnd)) return plat::post_to_remote_window(hwnd, message, wParam, lParam);
    auto facts = plat::window_facts(hwnd);
    if (!facts) return FALSE;
    auto queue = plat::thread_queue(facts->thread);
    return queue && queue->post({hwnd, message, wParam, lParam, 0}) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (msg->message == plat::sent_message) {
        auto* call = reinterpret_cast<plat::SentCall*>(msg->lParam);
        call->result = SendMessageW(msg->hwnd, call->message, call->wParam, call->lParam);
        call->done.set();
        return 0;
    }
    if (!msg->hwnd) return 0;
    if (msg->message == WM_PAINT) {
        // A paint already answered by UpdateWindow is not repeated.
        bool pending = false;
        plat::update_window(msg->hwnd, [&](plat::WindowRecord& r) { pending = std::exchange(r.paint_pending, false); });
        if (!pending) return 0;
    }
    auto facts = plat::window_facts(msg->hwnd);
    return facts ? facts->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    switch (msg->wParam) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
        return PostMessageW(msg->hwnd, WM_CHAR, msg->wParam, msg->lParam);
    default:
        return FALSE;
    }
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc)
{
    if (!hwnd) return plat::current_thread_queue().set_timer(nullptr, id, elapse_ms, proc);
    auto facts = plat::window_facts(hwnd);
    auto queue = facts ? plat::thread_queue(facts->thread) : nullptr;
    return queue ? queue->set_timer(hwnd, id, elapse_ms, proc) : 0;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    if (!hwnd) return plat::current_thread_queue().kill_timer(nullptr, id) ? TRUE : FALSE;
    auto facts = plat::window_facts(hwnd);
    if (!facts) return FALSE;
    auto queue = plat::thread_queue(facts->thread);
    return queue && queue->kill_timer(hwnd, id) ? TRUE : FALSE;
}

SHORT GetAsyncKeyState(int virtual_key)
{
    auto& keys = table().keys;
    auto down = [&](int vk) { return vk > 0 && vk < 256 && keys[vk].load(); };
    bool is_down = down(virtual_key);
    if (virtual_key == VK_CONTROL) is_down = down(VK_LCONTROL) || down(VK_RCONTROL);
    if (virtual_key == VK_SHIFT) is_down = down(VK_LSHIFT) || down(VK_RSHIFT);
    if (virtual_key == VK_MENU) is_down = down(VK_LMENU) || down(VK_RMENU);
    return is_down ? static_cast<SHORT>(0x8000) : 0;
}
