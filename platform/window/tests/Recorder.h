#pragma once
// A window whose procedure records what it receives, for the window layer's tests.
// Windows are made on the test's (UI) thread under SDL's dummy video driver.

#include "platform/window/Window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received&) const = default;
};

inline std::vector<Received>& received()
{
    static std::vector<Received> log;
    return log;
}

// Records everything; answers WM_CLOSE itself (the window stays) and the rest as DefWindowProc.
inline LRESULT recording_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_GETMINMAXINFO && message != WM_CREATE && message != WM_NCHITTEST)
        received().push_back({message, wParam, lParam});
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

inline void use_dummy_video() { setenv("SDL_VIDEODRIVER", "dummy", 1); }

// A class name registered once per process with this procedure and style.
inline void register_class(const char16_t* name, WNDPROC proc, UINT style)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

// Receives and dispatches everything that is ready now, as a message loop would.
inline void drain()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// Drains until the message has been received (from another thread or process
// too), for up to two seconds; false when it never came.
inline bool wait_for_message(const Received& wanted)
{
    for (int i = 0; i < 400; ++i) {
        drain();
        if (std::find(received().begin(), received().end(), wanted) != received().end()) return true;
        SDL_Delay(5);
    }
    return false;
}

// The SDL window of a top-level window, found by its (unique) title.
inline SDL_Window* sdl_window_titled(const std::string& title)
{
    for (Uint32 id = 1; id < 256; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id); w && title == SDL_GetWindowTitle(w)) return w;
    return nullptr;
}
