#include "toolkit/controls/wstatus.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/widgets/MouseEventArgs.h"

namespace UI {

wstatus::wstatus(std::string name) : widget(std::move(name)) {}

void wstatus::AddState(int state, const std::string& picture)
{
    if (picture.empty())
        return;
    auto* image = new wimage(GetName() + "_" + std::to_string(state));
    image->SetPicture(picture);
    image->SetPos(0, 0);
    AddChild(image);
    m_images[state] = image;
}

void wstatus::SetHighlightPicture(const std::string& picture)
{
    if (!m_highlight) {
        m_highlight = new wimage("wstatus-highlight");
        AddChild(m_highlight);
    }
    m_highlight->SetPicture(picture);
    m_highlight->SetPos(0, 0);
}

void wstatus::SetHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    Invalidate();
}

void wstatus::Draw()
{
    SetDirty(false);
    if (!IsVisible())
        return;
    widget* shown = nullptr;
    if (m_highlight && m_highlighted && m_state == 0) {
        shown = m_highlight;
    } else if (const auto found = m_images.find(m_state); found != m_images.end()) {
        shown = found->second;
    }
    if (shown) {
        shown->UpdateDrawOrigin();
        shown->Draw();
    }
}

void wstatus::OnMouseMove(MouseEventArgs&) {}

void wstatus::OnMouseDown(MouseEventArgs&)
{
    ValueEventArgs clicked;
    clicked.sender = this;
    FireEvent("button_clicked", clicked);
    Invalidate();
}

void wstatus::OnMouseUp(MouseEventArgs&)
{
    ValueEventArgs tips;
    tips.sender = this;
    FireEvent("status_tips", tips);
    Invalidate();
}

void wstatus::OnMouseEnter()
{
    if (m_state > 0)
        widget::OnMouseEnter();
}

}
