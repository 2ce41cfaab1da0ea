#include "LevelsEffect.h"

#include "platform/registry/Registry.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <string>

namespace effects {

namespace {

constexpr LONG preset_count = 2;
constexpr std::array<const char16_t*, preset_count> preset_titles{u"Spectrum bars", u"Waveform"};
constexpr char16_t title[] = u"Strimo Levels";
constexpr char16_t entry_name[] = u"StrimoLevels";
constexpr int bar_count = 32;

BSTR make_bstr(const char16_t* text) { return SysAllocString(text); }

void draw_background(cairo_t* cr, double width, double height)
{
    cairo_set_source_rgb(cr, 0.04, 0.05, 0.08);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
}

// Both channels' levels averaged over bar_count bands of the lower half of the spectrum.
void draw_bars(cairo_t* cr, const TimedLevel& levels, double width, double height)
{
    const int band = SA_BUFFER_SIZE / 2 / bar_count;
    const double bar_width = width / bar_count;
    const double gap = bar_width / 8;
    for (int bar = 0; bar < bar_count; ++bar) {
        int sum = 0;
        for (int i = bar * band; i < (bar + 1) * band; ++i) sum += levels.frequency[0][i] + levels.frequency[1][i];
        const double level = sum / (2.0 * band * 255.0);
        const double bar_height = level * height;
        cairo_set_source_rgb(cr, 0.2 + 0.8 * level, 0.9 - 0.5 * level, 0.3);
        cairo_rectangle(cr, bar * bar_width + gap, height - bar_height, bar_width - 2 * gap, bar_height);
        cairo_fill(cr);
    }
}

void draw_waveform(cairo_t* cr, const TimedLevel& levels, double width, double height)
{
    const std::array<std::array<double, 3>, 2> colours{{{0.3, 0.8, 1.0}, {1.0, 0.6, 0.2}}};
    cairo_set_line_width(cr, 1.5);
    for (int channel = 0; channel < 2; ++channel) {
        cairo_set_source_rgb(cr, colours[channel][0], colours[channel][1], colours[channel][2]);
        for (int i = 0; i < SA_BUFFER_SIZE; ++i) {
            const double x = width * i / (SA_BUFFER_SIZE - 1);
            const double y = height * (levels.waveform[channel][i] / 255.0);
            i == 0 ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
        }
        cairo_stroke(cr);
    }
}

LONG set_string(HKEY key, const char16_t* name, const std::u16string& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(char16_t)));
}

std::u16string properties_key() { return std::u16string(wmp_effects_key) + u"\\" + entry_name + u"\\Properties"; }

}

HRESULT LevelsEffect::Render(TimedLevel* levels, HDC dc, RECT* rect)
{
    cairo_t* cr = plat::device_context_cairo(dc);
    if (levels == nullptr || cr == nullptr || rect == nullptr) return E_POINTER;
    const double width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0) return E_INVALIDARG;
    cairo_save(cr);
    cairo_rectangle(cr, rect->left, rect->top, width, height);
    cairo_clip(cr);
    cairo_translate(cr, rect->left, rect->top);
    draw_background(cr, width, height);
    if (m_preset == 0)
        draw_bars(cr, *levels, width, height);
    else
        draw_waveform(cr, *levels, width, height);
    cairo_restore(cr);
    return S_OK;
}

HRESULT LevelsEffect::MediaInfo(LONG, LONG, BSTR) { return S_OK; }

HRESULT LevelsEffect::GetCapabilities(DWORD* capabilities)
{
    if (capabilities == nullptr) return E_POINTER;
    *capabilities = EFFECT_WINDOWEDONLY;
    return S_OK;
}

HRESULT LevelsEffect::GetTitle(BSTR* out)
{
    if (out == nullptr) return E_POINTER;
    *out = make_bstr(title);
    return S_OK;
}

HRESULT LevelsEffect::GetPresetTitle(LONG preset, BSTR* out)
{
    if (out == nullptr) return E_POINTER;
    if (preset < 0 || preset >= preset_count) return E_INVALIDARG;
    *out = make_bstr(preset_titles[preset]);
    return S_OK;
}

HRESULT LevelsEffect::GetPresetCount(LONG* count)
{
    if (count == nullptr) return E_POINTER;
    *count = preset_count;
    return S_OK;
}

HRESULT LevelsEffect::SetCurrentPreset(LONG preset)
{
    if (preset < 0 || preset >= preset_count) return E_INVALIDARG;
    m_preset = preset;
    return S_OK;
}

HRESULT LevelsEffect::GetCurrentPreset(LONG* preset)
{
    if (preset == nullptr) return E_POINTER;
    *preset = m_preset;
    return S_OK;
}

LONG register_effect()
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, properties_key().c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    result = set_string(key, u"classid", plat::format_guid_utf16(CLSID_LevelsEffect));
    RegCloseKey(key);
    return result;
}

LONG unregister_effect()
{
    const std::u16string entry = std::u16string(wmp_effects_key) + u"\\" + entry_name;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, properties_key().c_str());
    const LONG result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, entry.c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

}
