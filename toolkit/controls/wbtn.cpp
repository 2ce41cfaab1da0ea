#include "toolkit/controls/wbtn.h"

#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <memory>

namespace UI {
namespace {

DWORD argb(fcolor c, DWORD alpha)
{
    return alpha << 24 | DWORD(c.red) << 16 | DWORD(c.green) << 8 | DWORD(c.blue);
}

}  // namespace

wbtn::wbtn(std::string name) : widget(std::move(name)) {}

void wbtn::SetSkin(const std::string& normal, const std::string& highlight, const std::string& pressed,
                   const std::string& disabled)
{
    m_pictures = {SkinPicture(normal), SkinPicture(highlight), SkinPicture(pressed), SkinPicture(disabled)};
    if (m_pictures[Normal])
        SetSize(m_pictures[Normal]->m_width, m_pictures[Normal]->m_height);
    Invalidate();
}

void wbtn::SetSkinByName(const std::string& base)
{
    SetSkin(base + "_normal", base + "_highlight", base + "_pressed", base + "_disabled");
}

void wbtn::SetTextColor(fcolor normal, fcolor highlight)
{
    m_color = normal;
    m_highlight_color = highlight;
}

void wbtn::SetState(short state)
{
    if (!m_cross_fade)
        m_state = state;
    else if (state != m_target_state)
        m_fade = 100;
    m_target_state = state;
    Invalidate();
}

fpoint wbtn::GetTextSize() const
{
    d3dresMgr* manager = d3dresMgr::Instance();
    RenderEngine::font* font = manager ? manager->GetFont(m_font) : nullptr;
    if (!font)
        return {0, 0};
    float width = 0, height = 0;
    for (const WCHAR c : GetText()) {
        const fpoint extent = font->CharExtent(c);
        width += extent.x;
        height = std::max(height, extent.y);
    }
    return {width, height};
}

// The screens use the requested-show flag as the enabled flag.
void wbtn::follow_enabled()
{
    const bool enabled = GetShowState();
    if (!enabled) {
        m_state = m_target_state = Disabled;
    } else if (!m_was_enabled) {
        if (m_state == Disabled)
            m_state = Normal;
        if (m_target_state == Disabled)
            m_target_state = Normal;
    }
    m_was_enabled = enabled;
}

void wbtn::Draw()
{
    follow_enabled();
    if (m_cross_fade && m_state != m_target_state) {
        if (m_fade <= 255) {
            m_fade = short(m_fade + 30);
            Invalidate();
        }
        if (m_fade > 255)
            m_state = m_target_state;
    }
    const fpoint at = DrawPositionOf(*this);
    const frect rect{at.x, at.y, GetWidth(), GetHeight()};
    DrawSkin(m_pictures[m_state], rect, 1.0f, m_borders);
    if (m_cross_fade && m_state != m_target_state)
        DrawSkin(m_pictures[m_target_state], rect, std::min(1.0f, m_fade / 255.0f), m_borders);
    draw_caption(at);
    // What the screens put on the button (an icon, a label) goes over its picture.
    for (widget* child : ChildrenInZOrder())
        if (child->IsVisible()) child->Draw();
    SetDirty(false);
}

void wbtn::draw_caption(const fpoint& at)
{
    const std::u16string text = GetText();
    d3dresMgr* manager = d3dresMgr::Instance();
    if (text.empty() || !manager)
        return;
    const fcolor colour = m_state == Highlight ? m_highlight_color : m_color;
    std::unique_ptr<RenderEngine::fontstyle> style(
        manager->CreateFontStyle(DWORD(m_format), argb(colour, GetShowState() ? 0xff : 0x80), m_font, 1, 1));
    RenderEngine::DrawText(text.c_str(), at.x, at.y, GetWidth(), GetHeight(), style.get());
}

void wbtn::OnMouseEnter()
{
    widget::OnMouseEnter();
    if (GetShowState())
        SetState(Highlight);
}

void wbtn::OnMouseLeave()
{
    if (GetShowState())
        SetState(Normal);
}

void wbtn::OnMouseMove(MouseEventArgs& e) { e.handled = 1; }

void wbtn::OnMouseDown(MouseEventArgs& e)
{
    ValueEventArgs clicked;
    clicked.sender = this;
    FireEvent("button_clicked", clicked);
    if (m_state != Highlight)
        SetState(HitTest(e.position.x, e.position.y) ? Highlight : Normal);
}

void wbtn::OnMouseUp(MouseEventArgs&)
{
    if (m_state != Highlight)
        Invalidate();
}

void wbtn::SetVisible(bool visible)
{
    widget::SetVisible(visible);
    m_state = m_target_state = Normal;
    m_fade = 0;
}

}
