#pragma once
// The window and monitor handles that drawing and presenting pass around.

#include "platform/base/Geometry.h"

struct HWND__;
using HWND = HWND__*;

struct HMONITOR__;
using HMONITOR = HMONITOR__*;
