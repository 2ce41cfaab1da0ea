#pragma once
// The main window's private messages: other threads and parts of the program
// post them (never send); the numbers are fixed. They live below every poster
// (the UI manager, the controller, the play logic, the start-up) and the main
// window that answers them.

#include "platform/base/Types.h"

inline constexpr UINT WM_TRAY_NOTIFY = 578;          // icon id 128 / the mouse message
inline constexpr UINT WM_DEVICE_RESET = 2027;        // the render device was lost
inline constexpr UINT WM_CLOSE_BUTTON = 13315;       // exit, or hide in the tray by "ToTray"
inline constexpr UINT WM_RAISE_WINDOW = 13316;
inline constexpr UINT WM_UIBUILDER_NOTIFY = 17414;   // value / -
inline constexpr UINT WM_KEEP_AWAKE = 17429;         // request kind / 1 on, 0 off

inline constexpr UINT TrayIconId = 128;
