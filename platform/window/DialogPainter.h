#pragma once
// Draws a dialog and its controls with cairo into the dialog's present window.
// Internal to the window layer.

#include "platform/window/Dialog.h"

namespace plat {

struct PaintedItem {
    DialogItemKind kind;
    std::u16string text;
    RECT rect;
    double progress;   // 0..1, progress bars only
    bool pressed;
};

void paint_dialog(HWND dialog, int width, int height, const std::vector<PaintedItem>& items);

}
