#pragma once
// The main window's own frame: where a point is (the hit test) and how far
// the window may be sized. The window is borderless; its edges, caption band
// and limits are the program's.

#include "platform/base/Geometry.h"
#include "platform/base/Types.h"

struct ScreenSize {
    int width;
    int height;
};

// The WM_NCHITTEST answer for a screen point over the window rectangle. A
// window that fills the screen is all client area: neither moved nor sized.
LRESULT main_hit_test(POINT point, const RECT& window, ScreenSize screen);

// The smallest window: the width the layout needs, the height at which the
// feed list still shows rows. One limit for both the desktop's drag and the
// program's own resizing (SDL keeps one).
inline constexpr int MinWidth = 1024;
inline constexpr int MinHeight = 360;

// Pulls a dragged rectangle within the limits and the screen, keeping the
// edge that is not moved (left and top).
void apply_sizing_rule(RECT& dragged, ScreenSize screen);
