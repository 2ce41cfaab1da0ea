#pragma once
// The process's windows and classes, shared by the files of the window layer
// (not for callers). One lock guards the table; nothing calls a window
// procedure while holding it.

#include "platform/window/Dialog.h"
#include "platform/window/PresentWindow.h"
#include "platform/window/Window.h"

#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct WindowClass {
    std::u16string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
};

// What the tray stand-in keeps for a window that has an icon: the callback it posts.
struct TrayLink {
    UINT id = 0;
    UINT callback_message = 0;
    bool on_bus = false;   // a StatusNotifierItem shows it: hiding hides for real
};

struct WindowRecord {
    HWND hwnd = nullptr;
    WindowClass window_class;
    DWORD thread = 0;
    HWND parent = nullptr;
    UINT_PTR control_id = 0;          // a child's id (the menu slot of CreateWindowExW)
    std::unique_ptr<PresentWindow> present;   // top-level windows only
    std::u16string text;
    RECT rect{};                      // top-level: on the screen (no frame: the client area); child: in the parent
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool enabled = true;
    bool focused = false;
    bool paint_pending = false;
    bool destroying = false;          // WM_DESTROY is being sent
    std::optional<TrayLink> tray;
    bool tray_hidden = false;         // hidden while it has a tray icon: kept minimised, see Tray.h
    LONG_PTR user_data = 0;           // the message box's MB_ type
};

// Posts WM_PAINT unless one waits already (DispatchMessageW and UpdateWindow answer it);
// true when it posted.
bool request_paint(HWND hwnd);

// Records a new client size and sends WM_SIZE; false (nothing sent) when the size is the same.
bool resize_client(HWND hwnd, int width, int height);

// Runs change on the record under the table lock; false for an unknown window.
bool update_window(HWND hwnd, const std::function<void(WindowRecord&)>& change);
// A copy of what a record says (no present window); none for an unknown window.
struct WindowFacts {
    WNDPROC proc;
    UINT class_style;
    DWORD thread;
    HWND parent;
    UINT_PTR control_id;
    RECT rect;
    bool visible, minimized, maximized, enabled, focused;
    bool tray_hidden;
    std::optional<TrayLink> tray;
    LONG_PTR user_data;
    SDL_Window* sdl;
};
std::optional<WindowFacts> window_facts(HWND hwnd);

// The top-level window of an SDL window id; null when none.
HWND window_of_sdl_id(std::uint32_t sdl_id);
// The children of a window, in creation order.
std::vector<HWND> child_windows(HWND parent);
// Drops the window's StatusNotifierItem, if it has one (the window is going).
void remove_tray_item(HWND hwnd);
// Every top-level window, for frames waiting to be shown.
std::vector<HWND> top_level_windows();
// Presents what waits for this top-level window (UI thread).
void show_pending_frame(HWND hwnd);

// Key state kept from the key events the UI thread received (GetAsyncKeyState).
void set_key_down(int virtual_key, bool down);

// Shows a dialog from a template and runs its modal loop (Dialog.cpp); at places it as a
// frameless pop-up at that screen point.
INT_PTR run_dialog(const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param, std::optional<POINT> at);

// Puts the SDL event pump on the calling (UI) thread's queue, once.
void install_event_pump();
// Borderless windows draw their own frame: SDL asks the window procedure's WM_NCHITTEST.
void enable_hit_test(SDL_Window* window);

}
