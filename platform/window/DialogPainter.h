#pragma once
// Draws a dialog and its controls with cairo into the dialog's present window.
// Internal to the window layer.

#include "platform/window/Dialog.h"

#include <string_view>

namespace plat {

struct PaintedItem {
    DialogItemKind kind;
    std::u16string text;
    RECT rect;
    double progress;   // 0..1, progress bars only
    bool pressed;
    int caret = -1;    // edit fields: the caret's place in text (UTF-16 units) when it has the focus, else -1
};

void paint_dialog(HWND dialog, int width, int height, const std::vector<PaintedItem>& items);

// The height a text item of this width needs for the text, wrapped as it is drawn.
int wrapped_text_height(std::u16string_view text, int width);

}
