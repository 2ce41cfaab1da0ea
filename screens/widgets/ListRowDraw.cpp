#include "screens/widgets/ListRowDraw.h"

#include "toolkit/widgets/widget.h"

namespace UI {

void DrawListRow(widget& row, float y, float scale, fpoint list_size, const std::function<void()>& resized)
{
    const frect kept{row.GetX(), row.GetY(), row.GetWidth(), row.GetHeight()};
    if (scale == 1) {
        row.SetY(y);
    } else {
        row.SetWidth(kept.width * scale);
        row.SetHeight(kept.height * scale);
        row.SetY((y - list_size.y / 2) * scale + list_size.y / 2);
        row.SetX((list_size.x - row.GetWidth()) / 2);
        if (resized) resized();
    }
    if (row.GetY() + row.GetHeight() >= 0 && row.GetY() <= list_size.y) {
        row.UpdateDrawOrigin();
        row.Draw();
    }
    row.SetX(kept.x);
    row.SetY(kept.y);
    row.SetWidth(kept.width);
    row.SetHeight(kept.height);
    if (scale != 1 && resized) resized();
    row.UpdateDrawOrigin();
}

}
