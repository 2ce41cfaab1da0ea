#include "toolkit/controls/wimage.h"

#include "toolkit/render/picture.h"
#include "toolkit/widgets/MouseEventArgs.h"

namespace UI {

wimage::wimage(std::string name) : widget(std::move(name)) { SetMouseTransparent(true); }

void wimage::SetPicture(const std::string& name, const Borders& borders)
{
    m_picture = SkinPicture(name);
    if (m_picture)
        SetSize(m_picture->m_width, m_picture->m_height);
    m_borders = borders;
    Invalidate();
}

void wimage::OnMouseDown(MouseEventArgs& e)
{
    if (m_swallow_clicks)
        e.handled = 1;
}

void wimage::OnMouseUp(MouseEventArgs& e)
{
    if (m_swallow_clicks)
        e.handled = 1;
}

void wimage::Draw()
{
    const fpoint at = DrawPositionOf(*this);
    DrawSkin(m_picture, {at.x, at.y, GetWidth(), GetHeight()}, GetAlpha() / 255.0f, m_borders);
    SetDirty(false);
}

}
