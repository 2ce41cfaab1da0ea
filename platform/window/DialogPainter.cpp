#include "DialogPainter.h"

#include "platform/base/Utf.h"
#include "platform/window/PresentWindow.h"

#include <cairo.h>

#include <memory>

namespace plat {

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

constexpr double font_size = 13;

void rectangle(cairo_t* cr, const RECT& r, double inset = 0.5)
{
    cairo_rectangle(cr, r.left + inset, r.top + inset, r.right - r.left - 2 * inset, r.bottom - r.top - 2 * inset);
}

// Left-aligned lines, broken at spaces to fit the rectangle's width.
void draw_wrapped(cairo_t* cr, const std::string& text, const RECT& r)
{
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    double y = r.top + font.ascent;
    std::string line;
    auto flush = [&] {
        cairo_move_to(cr, r.left, y);
        cairo_show_text(cr, line.c_str());
        y += font.height;
        line.clear();
    };
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \n", at), text.size());
        const std::string word = text.substr(at, end - at);
        const std::string candidate = line.empty() ? word : line + " " + word;
        cairo_text_extents_t extents;
        cairo_text_extents(cr, candidate.c_str(), &extents);
        if (!line.empty() && extents.x_advance > r.right - r.left) flush();
        line = line.empty() ? word : line + " " + word;
        if (end < text.size() && text[end] == '\n') flush();
        at = end + 1;
    }
    if (!line.empty()) flush();
}

void draw_centred(cairo_t* cr, const std::string& text, const RECT& r)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, (r.left + r.right - extents.x_advance) / 2.0,
                  (r.top + r.bottom) / 2.0 - (extents.y_bearing + extents.height / 2.0));
    cairo_show_text(cr, text.c_str());
}

void draw_item(cairo_t* cr, const PaintedItem& item)
{
    const std::string text = utf16_to_utf8(item.text);
    switch (item.kind) {
    case DialogItemKind::Text:
        cairo_set_source_rgb(cr, 0, 0, 0);
        draw_wrapped(cr, text, item.rect);
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

void paint_dialog(HWND dialog, int width, int height, const std::vector<PaintedItem>& items)
{
    if (width <= 0 || height <= 0) return;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), &cairo_surface_destroy);
    Context cr(cairo_create(surface.get()), &cairo_destroy);
    cairo_set_source_rgb(cr.get(), 0.94, 0.94, 0.94);
    cairo_paint(cr.get());
    cairo_select_font_face(cr.get(), "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), font_size);
    for (const PaintedItem& item : items) draw_item(cr.get(), item);
    cairo_surface_flush(surface.get());
    // Opaque ARGB32 is the D3DCOLOR layout the present window takes.
    const FrameView frame{reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface.get())), width,
                          height, cairo_image_surface_get_stride(surface.get()) / 4};
    const RECT all{0, 0, width, height};
    present_frame(dialog, frame, all, all);
}

}
