#include "toolkit/controls/wlistitem.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>

namespace UI {

wlistitem::wlistitem(std::string name) : window(std::move(name)) {}

void wlistitem::RemoveCellAt(float x, float y)
{
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        if ((*it)->GetX() == x && (*it)->GetY() == y) {
            delete *it;
            it = m_cells.erase(it);
        } else {
            ++it;
        }
    }
}

wtext* wlistitem::AddText(const WCHAR* text, float x, float y, float width, float height)
{
    RemoveCellAt(x, y);
    auto* cell = new wtext("widget-listitem-text");
    cell->SetFont(m_font);
    cell->SetPos(x, y);
    cell->SetSize(width, height);
    cell->SetMouseTransparent(true);
    AddChild(cell);
    cell->SetText(text);
    m_cells.push_back(cell);
    return cell;
}

wimage* wlistitem::AddImage(const std::string& picture, float x, float y, float width, float height)
{
    RemoveCellAt(x, y);
    auto* cell = new wimage("widget-listitem-image");
    cell->SetPicture(picture);
    cell->SetPos(x, y);
    cell->SetSize(width, height);
    AddChild(cell);
    m_cells.push_back(cell);
    return cell;
}

void wlistitem::OnMouseMove(MouseEventArgs& e)
{
    window::OnMouseMove(e);
    EventArgs moved;
    moved.sender = this;
    FireEvent("listitem_moveto", moved);
}

void wlistitem::OnMouseDown(MouseEventArgs& e)
{
    window::OnMouseDown(e);
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.reserved = ClickValue();
    FireEvent("listitem_click", clicked);
}

}
