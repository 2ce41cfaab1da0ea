#pragma once
// Drawing one row of a list that scrolls rows of their own heights in its
// own surface (the feed list, the generic list): the row is drawn at a
// shifted place and, while a zoom-in runs, scaled about the list's middle.

#include "toolkit/render/Geometry.h"

#include <functional>

namespace UI {

class widget;

// Draws the row with its top at y (list coordinates) when its bottom is at or
// below the list's top edge and its top at or above the bottom edge; with a scale other than 1 its size is scaled,
// its top scaled about the list's middle and it is centred across. Its place
// and size are put back afterwards. `resized`, when given, runs once the row
// has the size it is drawn at and again once it has its own back.
void DrawListRow(widget& row, float y, float scale, fpoint list_size, const std::function<void()>& resized = {});

}
