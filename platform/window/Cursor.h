#pragma once
// The system cursors the toolkit sets: LoadCursorW with an IDC_ id and
// SetCursor, over SDL's system cursors. Without a video driver (headless)
// nothing is shown, but the last cursor set is remembered so it can be read.

#include "platform/base/Types.h"
#include "platform/window/Handles.h"

struct HCURSOR__;
using HCURSOR = HCURSOR__*;

inline const LPCWSTR IDC_ARROW = MAKEINTRESOURCEW(32512);
inline const LPCWSTR IDC_SIZENWSE = MAKEINTRESOURCEW(32642);
inline const LPCWSTR IDC_SIZENESW = MAKEINTRESOURCEW(32643);
inline const LPCWSTR IDC_SIZEWE = MAKEINTRESOURCEW(32644);
inline const LPCWSTR IDC_SIZENS = MAKEINTRESOURCEW(32645);
inline const LPCWSTR IDC_HAND = MAKEINTRESOURCEW(32649);

// The shared cursor for a system id (instance null); null for any other id or instance.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Makes the cursor current (null hides it) and returns the one it replaces.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The pointer on the screen (the desktop's, wherever it is); FALSE without a display.
BOOL GetCursorPos(POINT* point);

namespace plat {

// The IDC_ number of a cursor made by LoadCursorW; 0 for null.
WORD cursor_id(HCURSOR cursor);

}
