#pragma once
// The window handle and the rectangle and point records that drawing and
// presenting pass around, with their Windows layouts.

#include "platform/base/Types.h"

struct HWND__;
using HWND = HWND__*;

struct HMONITOR__;
using HMONITOR = HMONITOR__*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};
