#pragma once
// The window, monitor and other user-interface handles the system passes around.

#include "platform/base/Geometry.h"

struct HWND__;
using HWND = HWND__*;

struct HMONITOR__;
using HMONITOR = HMONITOR__*;

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

struct HICON__;
using HICON = HICON__*;

struct HBRUSH__;
using HBRUSH = HBRUSH__*;

struct HMENU__;
using HMENU = HMENU__*;

struct HACCEL__;
using HACCEL = HACCEL__*;

// A resource id in a name slot, as Windows passes cursor and dialog ids.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id)); }
