#include "DialogPainter.h"

#include "platform/base/Utf.h"
#include "platform/window/PresentWindow.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

constexpr double font_size = 13;

void rectangle(cairo_t* cr, const RECT& r, double inset = 0.5)
{
    cairo_rectangle(cr, r.left + inset, r.top + inset, r.right - r.left - 2 * inset, r.bottom - r.top - 2 * inset);
}

// The face a character is drawn with: the default sans face has no CJK
// characters, and cairo's own font selection takes no others, so those come
// from the CJK face this system ships (as the D3DX font does).
bool is_cjk(char32_t c)
{
    return (c >= 0x2E80 && c < 0xA000) || (c >= 0xAC00 && c < 0xD7B0) || (c >= 0xF900 && c < 0xFB00) ||
           (c >= 0xFF00 && c < 0xFFF0) || c >= 0x20000;
}

void select_face(cairo_t* cr, bool cjk)
{
    cairo_select_font_face(cr, cjk ? "WenQuanYi Micro Hei" : "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font_size);
}

std::u32string code_points(std::u16string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        out.push_back(c);
    }
    return out;
}

// Calls run(utf8, cjk) for each stretch of the text drawn with one face.
template <typename Run>
void for_each_run(std::u32string_view text, Run&& run)
{
    std::size_t start = 0;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i < text.size() && is_cjk(text[i]) == is_cjk(text[start])) continue;
        std::u16string units;
        for (char32_t c : text.substr(start, i - start)) {
            if (c >= 0x10000) {
                units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                units.push_back(static_cast<char16_t>(c));
            }
        }
        run(utf16_to_utf8(units), is_cjk(text[start]));
        start = i;
    }
}

double text_width(cairo_t* cr, std::u32string_view text)
{
    double width = 0;
    for_each_run(text, [&](const std::string& utf8, bool cjk) {
        select_face(cr, cjk);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, utf8.c_str(), &extents);
        width += extents.x_advance;
    });
    return width;
}

// Draws from the current point, which moves on.
void show(cairo_t* cr, std::u32string_view text)
{
    for_each_run(text, [&](const std::string& utf8, bool cjk) {
        select_face(cr, cjk);
        cairo_show_text(cr, utf8.c_str());
    });
}

// Where a line may break: before a word of other characters, and around every
// CJK character (CJK text has no spaces). Spaces stay with the word before them.
std::vector<std::u32string> break_units(std::u32string_view text)
{
    std::vector<std::u32string> units;
    for (char32_t c : text) {
        const bool starts_unit = units.empty() || is_cjk(c) || is_cjk(units.back().back()) ||
                                 (units.back().back() == U' ' && c != U' ');
        if (starts_unit) units.emplace_back();
        units.back().push_back(c);
    }
    return units;
}

// Left-aligned lines broken to fit the width; a newline always breaks. Draws
// them from (left, top) when draw is set; returns the height they take.
double wrap_lines(cairo_t* cr, std::u16string_view text, double left, double top, double width, bool draw)
{
    cairo_font_extents_t font;
    select_face(cr, true);   // the taller face sets the line height
    cairo_font_extents(cr, &font);
    double y = top + font.ascent;
    auto emit = [&](const std::u32string& line) {
        if (draw) {
            cairo_move_to(cr, left, y);
            show(cr, line);
        }
        y += font.height;
    };
    const std::u32string all = code_points(text);
    std::size_t at = 0;
    while (at <= all.size()) {
        const std::size_t end = std::min(all.find(U'\n', at), all.size());
        std::u32string line;
        for (const std::u32string& unit : break_units(std::u32string_view(all).substr(at, end - at))) {
            if (!line.empty() && text_width(cr, line + unit) > width) {
                emit(line);
                line.clear();
            }
            line += unit;
        }
        emit(line);
        at = end + 1;
    }
    return y - font.ascent - top;
}

void draw_centred(cairo_t* cr, std::u16string_view text, const RECT& r)
{
    const std::u32string all = code_points(text);
    cairo_font_extents_t font;
    select_face(cr, false);
    cairo_font_extents(cr, &font);
    cairo_move_to(cr, (r.left + r.right - text_width(cr, all)) / 2.0, (r.top + r.bottom + font.ascent - font.descent) / 2.0);
    show(cr, all);
}

// One line in a white field, scrolled so the caret (drawn when focused) stays in view.
void draw_edit(cairo_t* cr, const PaintedItem& item)
{
    constexpr double padding = 4;
    const RECT& r = item.rect;
    cairo_set_source_rgb(cr, 1, 1, 1);
    rectangle(cr, r);
    cairo_fill_preserve(cr);
    const bool focused = item.caret >= 0;
    cairo_set_source_rgb(cr, focused ? 0.2 : 0.5, focused ? 0.4 : 0.5, focused ? 0.8 : 0.5);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    const std::u32string all = code_points(item.text);
    const double inner = r.right - r.left - 2 * padding;
    const double caret_x = focused ? text_width(cr, code_points(std::u16string_view(item.text).substr(0, item.caret))) : 0;
    const double scroll = std::max(0.0, caret_x - inner + 1);
    cairo_font_extents_t font;
    select_face(cr, false);
    cairo_font_extents(cr, &font);
    const double baseline = (r.top + r.bottom + font.ascent - font.descent) / 2.0;

    cairo_save(cr);
    cairo_rectangle(cr, r.left + padding, r.top + 1, inner, r.bottom - r.top - 2);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, r.left + padding - scroll, baseline);
    show(cr, all);
    if (focused) {
        const double x = std::floor(r.left + padding + caret_x - scroll) + 0.5;
        cairo_move_to(cr, x, baseline - font.ascent);
        cairo_line_to(cr, x, baseline + font.descent);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void draw_item(cairo_t* cr, const PaintedItem& item)
{
    const std::u16string& text = item.text;
    switch (item.kind) {
    case DialogItemKind::Text:
        cairo_set_source_rgb(cr, 0, 0, 0);
        wrap_lines(cr, text, item.rect.left, item.rect.top, item.rect.right - item.rect.left, true);
        return;
    case DialogItemKind::Button:
    case DialogItemKind::DefaultButton:
        cairo_set_source_rgb(cr, item.pressed ? 0.78 : 0.9, item.pressed ? 0.78 : 0.9, item.pressed ? 0.78 : 0.9);
        rectangle(cr, item.rect);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
        cairo_set_line_width(cr, item.kind == DialogItemKind::DefaultButton ? 2 : 1);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        draw_centred(cr, text, item.rect);
        return;
    case DialogItemKind::Edit: draw_edit(cr, item); return;
    case DialogItemKind::Progress: {
        cairo_set_source_rgb(cr, 1, 1, 1);
        rectangle(cr, item.rect);
        cairo_fill(cr);
        RECT done = item.rect;
        done.right = done.left + static_cast<LONG>((item.rect.right - item.rect.left) * item.progress);
        cairo_set_source_rgb(cr, 0.02, 0.69, 0.14);
        rectangle(cr, done, 0);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
        cairo_set_line_width(cr, 1);
        rectangle(cr, item.rect);
        cairo_stroke(cr);
        return;
    }
    }
}

}

int wrapped_text_height(std::u16string_view text, int width)
{
    Surface scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1), &cairo_surface_destroy);
    Context cr(cairo_create(scratch.get()), &cairo_destroy);
    return static_cast<int>(std::ceil(wrap_lines(cr.get(), text, 0, 0, width, false)));
}

void paint_dialog(HWND dialog, int width, int height, const std::vector<PaintedItem>& items)
{
    if (width <= 0 || height <= 0) return;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), &cairo_surface_destroy);
    Context cr(cairo_create(surface.get()), &cairo_destroy);
    cairo_set_source_rgb(cr.get(), 0.94, 0.94, 0.94);
    cairo_paint(cr.get());
    for (const PaintedItem& item : items) draw_item(cr.get(), item);
    cairo_surface_flush(surface.get());
    // Opaque ARGB32 is the D3DCOLOR layout the present window takes.
    const FrameView frame{reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface.get())), width,
                          height, cairo_image_surface_get_stride(surface.get()) / 4};
    const RECT all{0, 0, width, height};
    present_frame(dialog, frame, all, all);
}

}
