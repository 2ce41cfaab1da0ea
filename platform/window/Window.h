#pragma once
// Windows over SDL2: window classes, top-level windows (each an SDL window that
// frames are presented into, see PresentWindow.h), child controls (drawn by
// their dialog), the window procedure and the message loop's calls.
//
// A window belongs to the thread that made it, as on Windows; its posted
// messages go to that thread's queue (MessageQueue.h). Only one thread, the UI
// thread, makes top-level windows: the first to make one. It alone pumps SDL:
// while its receive waits, SDL events become messages (see README.md), sent
// ones through the window procedure, posted ones into its queue.

#include "platform/window/Handles.h"
#include "platform/window/Messages.h"

#include <string>

struct HCURSOR__;
using HCURSOR = HCURSOR__*;
using ATOM = WORD;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

inline constexpr UINT CS_DBLCLKS = 0x0008;

inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;

// A class name is unique in the process; 0 when the name is taken or the record incomplete.
ATOM RegisterClassExW(const WNDCLASSEXW* wc);
BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance);

// Sends WM_GETMINMAXINFO, then WM_CREATE (-1 from it destroys the window and returns
// null). A top-level window starts hidden unless WS_VISIBLE. Null when the class is
// unknown, SDL video cannot start, or a thread other than the UI thread asks for a
// top-level window.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// On the window's thread: sends WM_DESTROY to it and its children, drops its timers
// and posted messages stay undeliverable. FALSE for an unknown window or another thread.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// The thread that made the window, whose queue its messages go to (and this process's id
// in process_id, when given); 0 for an unknown window.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id);
// The top-level window of a class (and title, when given) made by this process;
// asked by class alone, also one of another process of this user, to post to
// (see ClassSockets.h: only numbers cross).
HWND FindWindowW(LPCWSTR class_name, LPCWSTR title);
HWND GetParent(HWND hwnd);

// The default answers: WM_CLOSE destroys the window, WM_SYSCOMMAND minimises,
// maximises, restores or closes, WM_NCHITTEST answers HTCLIENT,
// WM_QUERYENDSESSION lets the session end (TRUE); others 0.
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Returns whether the window was visible. Hiding a window that has a tray icon keeps
// it reachable (see Tray.h).
BOOL ShowWindow(HWND hwnd, int command);
// Sends WM_PAINT when the window waits for one.
BOOL UpdateWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
BOOL SetForegroundWindow(HWND hwnd);
// A disabled window receives no input (its modal dialog's owner).
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// Client rectangle: origin 0,0. Window rectangle: on the screen (a child's: its parent's client area).
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
// Characters copied, without the terminator, into at most max_count units with one.
int GetWindowTextW(HWND hwnd, LPWSTR text, int max_count);

// On the window's thread: the window procedure's answer. From another thread the
// caller waits until the window's thread receives it (0 when that thread has ended).
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Any thread. A null window posts a thread message to the calling thread.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the message's window procedure, or a timer's TIMERPROC; 0 for thread messages.
LRESULT DispatchMessageW(const MSG* msg);
// Posts WM_CHAR for the keys SDL gives no text for (Backspace, Tab, Enter, Escape);
// the characters of every other key come from SDL's text input.
BOOL TranslateMessage(const MSG* msg);

// A timer of the window's thread (hwnd null: of the calling thread); see MessageQueue.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// The high bit (0x8000) when the key is down, from the key events the UI thread has
// received (VK_CONTROL, VK_SHIFT, VK_MENU: either side).
SHORT GetAsyncKeyState(int virtual_key);

namespace plat {

// Connects to the display (held for the process); false with SDL's reason
// when no video driver starts, before any window is made.
bool display_available(std::string& reason);

// The WM_NCHITTEST answer of a window at a client point, as SDL's hit test asks it.
LRESULT window_hit_test(HWND hwnd, POINT client_point);

}
