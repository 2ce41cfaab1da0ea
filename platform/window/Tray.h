#pragma once
// The notification-area icon and its pop-up menu, for a desktop without a tray.
//
// A window with an icon that is hidden (ShowWindow SW_HIDE) stays minimised
// instead, so the desktop's window list still reaches it; when the desktop
// restores or focuses it, the icon's callback message is posted with
// WM_LBUTTONDBLCLK, as a double click on the icon would, and the program shows
// itself as it always does. TrackPopupMenu shows its items in a small window
// at the point given.

#include "platform/window/Window.h"

struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
};

inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;
inline constexpr UINT NIF_MESSAGE = 0x1;
inline constexpr UINT NIF_ICON = 0x2;
inline constexpr UINT NIF_TIP = 0x4;

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_BOTTOMALIGN = 0x0020;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

// One icon per window. FALSE for an unknown window, a second add, or a change or
// removal of an icon that is not there.
BOOL Shell_NotifyIconW(DWORD message, const NOTIFYICONDATAW* data);

HMENU CreatePopupMenu();
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL DestroyMenu(HMENU menu);
// Shows the menu at (x, y), aligned by the TPM_ flags, until an item is chosen or the
// menu is left (Escape, a click elsewhere). The chosen item's WM_COMMAND is posted to
// owner; with TPM_RETURNCMD its id is returned instead. 0 when nothing was chosen.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* unused);
