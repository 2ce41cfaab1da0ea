#include "toolkit/controls/wselectbtn.h"

#include "toolkit/widgets/MouseEventArgs.h"

namespace UI {

wselectbtn::wselectbtn(std::string name, int style) : widget(std::move(name)), m_style(style) {}

void wselectbtn::SetStateImages(widget* unselected, widget* selected)
{
    m_unselected_image = unselected;
    m_selected_image = selected;
}

void wselectbtn::show(widget* w, bool on)
{
    if (!w)
        return;
    w->SetVisible(on);
    w->SetShowState(on);
}

void wselectbtn::SetSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    show(m_mark, selected);
    if (m_style == 0)
        show(m_image, !selected);
    if (m_style == 5 || m_style == 3)
        show(m_unselected_image, !selected);
    if (m_style == 3)
        show(m_selected_image, selected);
    if (selected && m_group)
        for (wselectbtn* other : *m_group)
            if (other != this)
                other->SetSelected(false);
    Invalidate();
}

void wselectbtn::OnMouseUp(MouseEventArgs& e)
{
    if (!GetShowState())
        return;
    // A selected member of a group stays selected.
    const bool next = (m_selected && m_group) ? true : !m_selected;
    e.handled = 1;
    SetSelected(next);
    SelectEventArgs clicked;
    clicked.sender = this;
    clicked.selected = next ? 1 : 0;
    FireEvent("selectbtn_clicked", clicked);
    Invalidate();
}

}
