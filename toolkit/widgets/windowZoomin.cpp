#include "windowZoomin.h"

#include "window.h"

namespace UI {

windowZoomin::windowZoomin(window* target) : slowerkeyframe(target), m_window(target) {}

fpoint windowZoomin::parent_origin() const
{
    const widget* parent = m_window->GetParent();
    return parent ? parent->GetDrawOrigin() : fpoint{0, 0};
}

void windowZoomin::OnBegin()
{
    const fpoint origin = parent_origin();
    m_saved = {m_window->GetX(), m_window->GetY(), m_window->GetWidth(), m_window->GetHeight()};
    m_centre = {origin.x + m_saved.x + m_saved.width / 2, origin.y + m_saved.y + m_saved.height / 2};
    m_zooming = true;
    Init(m_record);
    m_algorithm.Reset();
}

void windowZoomin::Apply()
{
    const fpoint origin = parent_origin();
    const float width = m_saved.width * m_value;
    const float height = m_saved.height * m_value;
    m_window->SetSize(width, height);
    m_window->SetPos(m_centre.x - origin.x - width / 2, m_centre.y - origin.y - height / 2);
    m_window->Invalidate();
}

void windowZoomin::OnEnd()
{
    m_window->SetPos(m_saved.x, m_saved.y);
    m_window->SetSize(m_saved.width, m_saved.height);
    m_window->ReleaseZoomBuffer();
    m_zooming = false;
    m_window->UpdateLayout();
    if (!m_keep_shown) m_window->Show(false);
}

}
