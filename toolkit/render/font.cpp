#include "font.h"

#include "platform/d3d9/D3DX.h"

namespace RenderEngine {

namespace {

constexpr DWORD measure_format = DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE;

RECT measure(ID3DXFont* font, std::u16string_view text)
{
    RECT r{0, 0, 2000, 2000};
    font->DrawTextW(nullptr, text.data(), INT(text.size()), &r, measure_format, 0xff000000u);
    return r;
}

}

float font::CharWidth(WCHAR) { return 20.0f; }

UI::fpoint font::CharExtent(WCHAR) { return {20.0f, 10.0f}; }

d3dfont::d3dfont(ID3DXFont* font) : m_font(font) {}

d3dfont::~d3dfont() = default;

void d3dfont::ReleaseDeviceObject() { m_font.reset(); }

void d3dfont::RestoreDeviceObject(ID3DXFont* font) { m_font = plat::ComPtr<ID3DXFont>(font); }

float d3dfont::CharWidth(WCHAR c)
{
    if (!m_font) return 0.0f;
    std::u16string text(1, c);
    if (c == u'\t') text = u"00000000";
    else if (c == u'\n' || c == u' ') text = u".";
    RECT r = measure(m_font.get(), text);
    return float(r.right - r.left);
}

UI::fpoint d3dfont::CharExtent(WCHAR c)
{
    if (!m_font) return {0.0f, 0.0f};
    std::u16string text(1, (c == u'\t' || c == u'\n') ? u'N' : c);
    RECT r = measure(m_font.get(), text);
    return {float(r.right - r.left), float(r.bottom - r.top)};
}

}
