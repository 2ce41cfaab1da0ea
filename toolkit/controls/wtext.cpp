#include "toolkit/controls/wtext.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include "platform/window/Clipboard.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace UI {
namespace {

std::unique_ptr<RenderEngine::fontstyle> style_for(DWORD format, DWORD colour, const std::string& font)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    return std::unique_ptr<RenderEngine::fontstyle>(manager ? manager->CreateFontStyle(format, colour, font, 1, 1)
                                                            : nullptr);
}

// What a paste takes from the clipboard at most.
constexpr std::size_t kPasteLimit = 259;

int clamped(int index, std::size_t length) { return std::clamp(index, 0, int(length)); }

// Control characters and the C1 range have no glyph; every other unit is typed,
// Latin letters such as U+00E9 and each half of a surrogate pair included.
bool printable(intptr_t code) { return code >= 32 && code <= 0xFFFF && !(code >= 127 && code <= 159); }

// Either Control key, as the UI thread last saw it.
bool control_held() { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }

float sum_widths(const std::vector<float>& widths, int from, int to)
{
    float sum = 0;
    for (int i = from; i < to; ++i) sum += widths[std::size_t(i)];
    return sum;
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
    TextChanged();
}

void wtext::TextChanged()
{
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

int wtext::GetCaret() const
{
    std::scoped_lock hold(m_text_lock);
    return m_caret;
}

std::pair<int, int> wtext::GetSelection() const
{
    std::scoped_lock hold(m_text_lock);
    return {m_selection_start, m_selection_end};
}

void wtext::SetSelection(int start, int end)
{
    std::scoped_lock hold(m_text_lock);
    m_selection_start = start;
    m_selection_end = end;
}

int wtext::IndexAt(float x) const
{
    const std::u16string text = GetText();
    const float inside = float(int(x - GetScreenOrigin().x) - m_margin);
    CMutexGuard frame(UIRenderMutex());
    const auto style = style_for(DWORD(m_format), PackedColour(), m_font);
    if (!style || !style->pfont)
        return int(text.size());
    float sum = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        sum += style->pfont->CharWidth(text[i]);
        if (sum > inside)
            return int(i);
    }
    return int(text.size());
}

void wtext::OnMouseDown(MouseEventArgs& e)
{
    if (!m_editable)
        return;
    e.handled = 1;
    Activate();
    const int index = IndexAt(e.position.x);
    std::scoped_lock hold(m_text_lock);
    m_caret_shown = true;
    m_caret = clamped(index, m_text.size());
    m_selecting = true;
    m_selection_start = m_selection_end = m_caret;
}

void wtext::OnMouseMove(MouseEventArgs& e)
{
    if (!m_editable) {
        std::scoped_lock hold(m_text_lock);
        m_selecting = false;
        return;
    }
    e.handled = 1;
    e.cursor_set = 1;
    const int index = IndexAt(e.position.x);
    std::scoped_lock hold(m_text_lock);
    if (m_selecting)
        m_selection_end = clamped(index, m_text.size());
}

// A move after the release must not go on stretching the selection.
void wtext::OnMouseUp(MouseEventArgs&)
{
    std::scoped_lock hold(m_text_lock);
    m_selecting = false;
}

bool wtext::OnChar(ValueEventArgs& e)
{
    if (!m_editable)
        return false;
    if (printable(e.value))
        Insert(char16_t(e.value));
    return true;
}

void wtext::Insert(char16_t c)
{
    {
        std::scoped_lock hold(m_text_lock);
        m_caret = clamped(m_caret, m_text.size());
        m_text.insert(std::size_t(m_caret), 1, c);
        ++m_caret;
    }
    TextChanged();
}

void wtext::OnKey(ValueEventArgs& e)
{
    if (!m_editable)
        return;
    e.handled = 1;
    bool changed = false;
    switch (e.value) {
    case VK_BACK: {
        std::scoped_lock hold(m_text_lock);
        m_caret = clamped(m_caret, m_text.size());
        if (m_caret > 0) {
            m_text.erase(std::size_t(--m_caret), 1);
            changed = true;
        }
        break;
    }
    case VK_RETURN: {
        ValueEventArgs finished;
        finished.sender = this;
        FireEvent("wtext_input_finish", finished);
        break;
    }
    case VK_LEFT: {
        std::scoped_lock hold(m_text_lock);
        m_caret = clamped(m_caret, m_text.size());
        if (!m_arrows_locked && m_caret > 0)
            --m_caret;
        break;
    }
    case VK_RIGHT: {
        std::scoped_lock hold(m_text_lock);
        if (!m_arrows_locked)
            ++m_caret;
        break;
    }
    case VK_UP:
        FocusPrev();
        break;
    case VK_DOWN:
        FocusNext();
        break;
    case VK_DELETE: {
        std::scoped_lock hold(m_text_lock);
        m_caret = clamped(m_caret, m_text.size());
        if (std::size_t(m_caret) < m_text.size()) {
            m_text.erase(std::size_t(m_caret), 1);
            changed = true;
        }
        break;
    }
    default:
        break;
    }
    if (changed)
        TextChanged();
    if (!control_held())
        return;
    switch (e.value) {
    case 'C': case 'c': case 'X': case 'x':
        Copy();
        break;
    case 'V': case 'v':
        Paste();
        break;
    default:
        break;
    }
}

// The selection's characters, its ends clamped to the text: a text set from
// elsewhere may have shrunk under a selection made before.
void wtext::Copy() const
{
    std::u16string part;
    {
        std::scoped_lock hold(m_text_lock);
        if (m_text.empty())
            return;
        const int from = clamped(std::min(m_selection_start, m_selection_end), m_text.size());
        const int to = clamped(std::max(m_selection_start, m_selection_end), m_text.size());
        part = m_text.substr(std::size_t(from), std::size_t(to - from));
    }
    if (!OpenClipboard(nullptr))
        return;
    HGLOBAL block = GlobalAlloc(GHND, (part.size() + 1) * sizeof(char16_t));
    if (block) {
        std::memcpy(GlobalLock(block), part.data(), part.size() * sizeof(char16_t));
        GlobalUnlock(block);
    }
    EmptyClipboard();
    if (block && SetClipboardData(CF_UNICODETEXT, block) != block)
        GlobalFree(block);
    CloseClipboard();
}

void wtext::Paste()
{
    if (!OpenClipboard(nullptr))
        return;
    std::u16string pasted;
    if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const char16_t*>(GlobalLock(block))) {
            const std::u16string_view all(units);
            pasted = all.substr(0, kPasteLimit);
        }
        GlobalUnlock(block);
    }
    CloseClipboard();
    if (pasted.empty())
        return;
    {
        std::scoped_lock hold(m_text_lock);
        m_text.insert(std::size_t(clamped(m_selection_start, m_text.size())), pasted);
    }
    TextChanged();
}

void wtext::SetFocus()
{
    {
        std::scoped_lock hold(m_text_lock);
        m_caret_shown = true;
    }
    widget::SetFocus();
}

void wtext::Draw()
{
    LayoutIfPending();
    const fpoint at = DrawPositionOf(*this);
    if (auto* background = GetFocusedWidget() == this ? m_focus_background : m_normal_background)
        DrawSkin(background, frect{at.x, at.y, GetWidth(), GetHeight()}, 1.0f, Borders{});
    const frect area{at.x + float(m_margin), at.y, GetWidth() - 2 * float(m_margin), GetHeight()};
    if (m_ellipsis)
        DrawEllipsis(GetText(), area);
    else
        DrawEditing(area);
    SetDirty(false);
}

// The text is shown from the character that keeps the caret at the right
// edge; the caret and the selection only in the focused field.
void wtext::DrawEditing(const frect& area)
{
    std::u16string text;
    int caret = 0, selection_start = 0, selection_end = 0;
    bool caret_shown = false;
    {
        std::scoped_lock hold(m_text_lock);
        m_caret = clamped(m_caret, m_text.size());
        text = m_text;
        caret = m_caret;
        selection_start = clamped(std::min(m_selection_start, m_selection_end), m_text.size());
        selection_end = clamped(std::max(m_selection_start, m_selection_end), m_text.size());
        caret_shown = m_caret_shown;
    }
    const auto style = style_for(DWORD(m_format), PackedColour(), m_font);
    if (!style || !style->pfont)
        return;
    std::vector<float> widths;
    for (const char16_t c : text) widths.push_back(style->pfont->CharWidth(c));
    int first = 0;
    float sum = 0;
    for (int i = caret - 1; i >= 0; --i) {
        sum += widths[std::size_t(i)];
        if (sum > area.width) {
            first = i + 1;
            break;
        }
    }
    if (!text.empty())
        RenderEngine::DrawText(text.c_str() + first, area.x, area.y, area.width, area.height, style.get());

    const bool selected = selection_start != selection_end;
    if (!caret_shown || GetFocusedWidget() != this || !(GetCaretFlag() || selected))
        return;
    // An empty field still shows its caret, as tall as a space.
    const char16_t sample = text.empty() ? u' ' : text.front();
    const float caret_height = style->pfont->CharExtent(sample).y - 2;
    const float caret_x = area.x + std::min(sum_widths(widths, first, caret), area.width) -
                          style->pfont->CharWidth(sample) / 20;
    const float caret_y = area.y + 1;
    if (selected) {
        const int left = std::max(selection_start, first);
        const float x = area.x + std::min(sum_widths(widths, first, left), area.width);
        const float width = std::min(sum_widths(widths, left, std::max(left, selection_end)), area.width);
        DrawSkin(SkinPicture("caret_select"), frect{x, caret_y, width, caret_height - 2}, 1.0f, Borders{});
    } else if (RenderEngine::picture* caret_picture = SkinPicture("caret_default")) {
        DrawSkin(caret_picture, frect{caret_x, caret_y, caret_picture->GetSize().x, caret_height}, 1.0f, Borders{});
    }
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
