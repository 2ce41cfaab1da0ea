#include "toolkit/controls/wselectbtn.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/MouseEventArgs.h"

namespace UI {

wselectbtn::wselectbtn(std::string name, int style) : widget(std::move(name)), m_style(style) {}

wimage* wselectbtn::AddPicture(const char* name, const std::string& picture)
{
    auto* image = new wimage(name);
    const float width = GetWidth(), height = GetHeight();
    image->SetPicture(picture);
    if (width > image->GetWidth()) image->SetBorders(9, 9, 9, 9);
    image->SetSize(width, height);
    AddChild(image);
    image->SetSizeRule(2, 2, -1, -1);
    return image;
}

void wselectbtn::Setup(const std::string& background, const std::string& hover, const WCHAR* text,
                       const std::string& mark)
{
    if (!background.empty()) m_background = AddPicture("widget-selectbtn-bg", background);
    if (!hover.empty()) {
        m_hover = AddPicture("widget-selectbtn-hignlight", hover);
        m_hover->Show(false);
    }
    if (text) {
        m_caption = new wtext("widget-selectbtn-text");
        m_caption->SetFont("font_s16");
        m_caption->SetMouseTransparent(true);
        m_caption->SetTextFormat(5);
        AddChild(m_caption);
        if (mark.empty()) {
            m_caption->SetSize(GetWidth(), GetHeight());
            m_caption->SetSizeRule(2, 2, -1, -1);
        }
        m_caption->SetText(text);
        m_caption->SetPosRule(4, 4, -1, -1);
    }
    if (!mark.empty()) {
        m_mark = AddPicture("widget-selectbtn-select", mark);
        m_mark->Show(m_selected);
    }
    UpdateLayout();
}

void wselectbtn::OnMouseEnter()
{
    widget::OnMouseEnter();
    if (m_hover == nullptr) return;
    if (m_background) m_background->Show(false);
    m_hover->Show(true);
    Invalidate();
}

void wselectbtn::OnMouseLeave()
{
    if (m_hover == nullptr) return;
    m_hover->Show(false);
    if (m_background) m_background->Show(true);
    Invalidate();
}

void wselectbtn::SetStateImages(widget* unselected, widget* selected)
{
    m_unselected_image = unselected;
    m_selected_image = selected;
    // Shown as the current state asks: a new button is unselected, and
    // SetSelected(false) on it changes nothing, which left both pictures drawn.
    if (m_style == 5 || m_style == 3)
        show(m_unselected_image, !m_selected);
    if (m_style == 3)
        show(m_selected_image, m_selected);
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
