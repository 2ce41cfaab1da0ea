#include "toolkit/controls/wtext.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/render/font.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <memory>

namespace UI {
namespace {

std::unique_ptr<RenderEngine::fontstyle> style_for(DWORD format, DWORD colour, const std::string& font)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    return std::unique_ptr<RenderEngine::fontstyle>(manager ? manager->CreateFontStyle(format, colour, font, 1, 1)
                                                            : nullptr);
}

}  // namespace

wtext::wtext(std::string name) : widget(std::move(name)) {}

// The text changes under its own lock; measuring and invalidating under the
// UI render lock, as every change of widgets from another thread does.
void wtext::SetText(const WCHAR* text)
{
    {
        std::scoped_lock hold(m_text_lock);
        m_text = text ? text : u"";
    }
    CMutexGuard frame(UIRenderMutex());
    Measure();
    Invalidate();
}

void wtext::SetTextDeferred(const WCHAR* text, bool deferred)
{
    if (!deferred) {
        SetText(text);
        return;
    }
    {
        std::scoped_lock hold(m_text_lock);
        m_text = text ? text : u"";
        m_relayout = true;
    }
    CMutexGuard frame(UIRenderMutex());
    Invalidate();
}

std::u16string wtext::GetText() const
{
    std::scoped_lock hold(m_text_lock);
    return m_text;
}

void wtext::Measure()
{
    const std::u16string text = GetText();
    if (text.empty())
        return;
    CMutexGuard hold(UIRenderMutex());
    const auto style = style_for(DWORD(m_format), PackedColour(), m_font);
    if (!style || !style->pfont)
        return;
    float width = 0;
    for (const WCHAR c : text)
        width += style->pfont->CharWidth(c);
    m_text_width = width;
    m_text_height = style->pfont->CharExtent(text.front()).y;
    if (GetHeight() == 0) {
        SetHeight(m_text_height);
        UpdateLayout();
    }
    if (GetWidth() == 0) {
        SetWidth(m_text_width);
        UpdateLayout();
    }
}

void wtext::SetFont(std::string font)
{
    m_font = std::move(font);
    Measure();
}

void wtext::SetColor(fcolor colour)
{
    m_colour = colour;
    Invalidate();
}

void wtext::SetEditable(bool editable)
{
    m_editable = editable;
    SetFocusable(editable);
}

DWORD wtext::PackedColour() const
{
    return DWORD(GetAlpha()) << 24 | DWORD(m_colour.red) << 16 | DWORD(m_colour.green) << 8 | DWORD(m_colour.blue);
}

void wtext::LayoutIfPending()
{
    {
        std::scoped_lock hold(m_text_lock);
        if (!m_relayout)
            return;
        m_relayout = false;
    }
    Measure();
}

void wtext::Draw()
{
    LayoutIfPending();
    const fpoint at = DrawPositionOf(*this);
    const frect area{at.x, at.y, GetWidth(), GetHeight()};
    const std::u16string text = GetText();
    if (m_ellipsis) {
        DrawEllipsis(text, area);
    } else if (!text.empty()) {
        const auto style = style_for(DWORD(m_format), PackedColour(), m_font);
        RenderEngine::DrawText(text.c_str(), area.x, area.y, area.width, area.height, style.get());
    }
    SetDirty(false);
}

// Before a character of width w goes in, it must leave room for three more
// of its kind; where it would not, "..." ends the line instead.
void wtext::DrawEllipsis(const std::u16string& text, const frect& area)
{
    const auto style = style_for(DWORD(m_format), PackedColour(), m_font);
    if (!style || !style->pfont)
        return;
    std::u16string shown;
    float width = 0;
    for (const WCHAR c : text) {
        const float w = style->pfont->CharWidth(c);
        if (area.width - 3 * w < width + w) {
            shown += u"...";
            break;
        }
        shown += c;
        width += w;
    }
    if (!shown.empty())
        RenderEngine::DrawText(shown.c_str(), area.x, area.y, area.width, area.height, style.get());
}

}
