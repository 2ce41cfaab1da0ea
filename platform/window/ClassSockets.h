#pragma once
// Inside the window layer: top-level windows that the user's other processes
// find by class (FindWindowW) and post to (PostMessageW). A process's first
// top-level window of a class listens on "window-<class>.sock" in
// plat::runtime_folder(); a post from elsewhere is one fixed record (message,
// wParam, lParam as 32, 64 and 64 bits, little-endian host order) on its own
// connection, posted on to that window. Only numbers cross: a parameter that
// is a pointer means nothing in the other process. Only peers of this user
// are heard (the socket is 0600, and the peer's uid is checked).

#include "platform/window/Window.h"

#include <string>

namespace plat {

// After a top-level window is made; a class another live process serves stays theirs.
void publish_window_class(HWND hwnd, const std::u16string& class_name);
// Before the window goes: its socket goes too.
void withdraw_window_class(HWND hwnd);
// A handle for the window of the class in another process; null when none listens.
HWND find_remote_window(const std::u16string& class_name);
// Whether the handle is one find_remote_window gave.
bool is_remote_window(HWND hwnd);
// FALSE when the other process no longer listens.
BOOL post_to_remote_window(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}
