#pragma once
// The rectangle and point records that drawing, presenting and media formats
// pass around, with their Windows layouts.

#include "platform/base/Types.h"

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
static_assert(sizeof(RECT) == 16);

struct POINT {
    LONG x;
    LONG y;
};

struct SIZE {
    LONG cx;
    LONG cy;
};
