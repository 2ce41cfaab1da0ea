#include "skin/Glyphs.h"

#include <cairo.h>

#include <algorithm>
#include <utility>
#include <cmath>

namespace skin {
namespace {

// Glyphs are drawn on a 16-unit square grid, scaled to the box.
void stroke(cairo_t* cr, double width)
{
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void triangle(cairo_t* cr, double x0, double y0, double x1, double ym, double y1)
{
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, ym);
    cairo_line_to(cr, x0, y1);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void corners(cairo_t* cr, bool outward)
{
    // Four L shapes in the corners, their tips pointing out of or into the middle.
    const double tips[4][2] = {{2.5, 2.5}, {13.5, 2.5}, {13.5, 13.5}, {2.5, 13.5}};
    for (const auto& t : tips) {
        const double sx = t[0] < 8 ? 1 : -1, sy = t[1] < 8 ? 1 : -1;
        const double cx = outward ? t[0] : t[0] + sx * 3.5, cy = outward ? t[1] : t[1] + sy * 3.5;
        const double dx = outward ? sx : -sx, dy = outward ? sy : -sy;
        cairo_move_to(cr, cx, cy + dy * 4);
        cairo_line_to(cr, cx, cy);
        cairo_line_to(cr, cx + dx * 4, cy);
    }
    stroke(cr, 1.6);
}

void speaker(cairo_t* cr)
{
    cairo_move_to(cr, 2, 6);
    cairo_line_to(cr, 5, 6);
    cairo_line_to(cr, 9, 2.5);
    cairo_line_to(cr, 9, 13.5);
    cairo_line_to(cr, 5, 10);
    cairo_line_to(cr, 2, 10);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void star(cairo_t* cr)
{
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 3.2 : 7.2, a = -M_PI / 2 + i * M_PI / 5;
        cairo_line_to(cr, 8 + r * std::cos(a), 8.4 + r * std::sin(a));
    }
    cairo_close_path(cr);
    cairo_fill(cr);
}

void arrow_down(cairo_t* cr, double top)
{
    cairo_move_to(cr, 8, top);
    cairo_line_to(cr, 8, 10);
    stroke(cr, 1.8);
    cairo_move_to(cr, 4.5, 7);
    cairo_line_to(cr, 8, 10.5);
    cairo_line_to(cr, 11.5, 7);
    stroke(cr, 1.8);
}

// Two arrows chasing each other clockwise round a circle.
void sync_arrows(cairo_t* cr)
{
    for (const double start : {M_PI * 1.08, M_PI * 0.08}) {
        const double end = start + M_PI * 0.7;
        cairo_new_sub_path(cr);
        cairo_arc(cr, 8, 8, 5, start, end);
        stroke(cr, 1.7);
        const double px = 8 + 5 * std::cos(end), py = 8 + 5 * std::sin(end);
        const double tx = -std::sin(end), ty = std::cos(end);   // along the way round
        const double nx = std::cos(end), ny = std::sin(end);    // out of the circle
        cairo_move_to(cr, px + tx * 2.8, py + ty * 2.8);
        cairo_line_to(cr, px + nx * 2.6 - tx * 0.6, py + ny * 2.6 - ty * 0.6);
        cairo_line_to(cr, px - nx * 2.6 - tx * 0.6, py - ny * 2.6 - ty * 0.6);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
}

void draw_unit(cairo_t* cr, Glyph glyph, Rgb c)
{
    set_colour(cr, c);
    switch (glyph) {
    case Glyph::None: return;
    case Glyph::Minimize: cairo_move_to(cr, 4, 11); cairo_line_to(cr, 12, 11); return stroke(cr, 2);
    case Glyph::Maximize: cairo_rectangle(cr, 4, 4, 8, 8); return stroke(cr, 1.6);
    case Glyph::Restore:
        cairo_rectangle(cr, 3.5, 6, 6.5, 6.5); stroke(cr, 1.5);
        cairo_move_to(cr, 6, 4); cairo_line_to(cr, 12.5, 4); cairo_line_to(cr, 12.5, 10.5); return stroke(cr, 1.5);
    case Glyph::Close:
    case Glyph::Cross:
        cairo_move_to(cr, 4.5, 4.5); cairo_line_to(cr, 11.5, 11.5);
        cairo_move_to(cr, 11.5, 4.5); cairo_line_to(cr, 4.5, 11.5); return stroke(cr, 2);
    case Glyph::Tick: cairo_move_to(cr, 4, 8.5); cairo_line_to(cr, 7, 11.5); cairo_line_to(cr, 12.5, 5); return stroke(cr, 2);
    case Glyph::Dot: cairo_arc(cr, 8, 8, 3.2, 0, 2 * M_PI); return cairo_fill(cr);
    case Glyph::Play: return triangle(cr, 4.5, 2.5, 13.5, 8, 13.5);
    case Glyph::Pause: cairo_rectangle(cr, 4, 3, 3, 10); cairo_rectangle(cr, 9, 3, 3, 10); return cairo_fill(cr);
    case Glyph::Previous: cairo_rectangle(cr, 3, 3.5, 2, 9); cairo_fill(cr); return triangle(cr, 13, 3.5, 5.5, 8, 12.5);
    case Glyph::Next: cairo_rectangle(cr, 11, 3.5, 2, 9); cairo_fill(cr); return triangle(cr, 3, 3.5, 10.5, 8, 12.5);
    case Glyph::Forward: triangle(cr, 1.5, 4, 8, 8, 12); return triangle(cr, 8, 4, 14.5, 8, 12);
    case Glyph::Backward: triangle(cr, 14.5, 4, 8, 8, 12); return triangle(cr, 8, 4, 1.5, 8, 12);
    case Glyph::Fullscreen: return corners(cr, true);
    case Glyph::Smallscreen: return corners(cr, false);
    case Glyph::Star: return star(cr);
    case Glyph::Minus: cairo_move_to(cr, 3.5, 8); cairo_line_to(cr, 12.5, 8); return stroke(cr, 2.2);
    case Glyph::Plus:
        cairo_move_to(cr, 3.5, 8); cairo_line_to(cr, 12.5, 8);
        cairo_move_to(cr, 8, 3.5); cairo_line_to(cr, 8, 12.5); return stroke(cr, 2.2);
    case Glyph::Folder:
        cairo_move_to(cr, 2, 4); cairo_line_to(cr, 6.5, 4); cairo_line_to(cr, 8, 5.5); cairo_line_to(cr, 14, 5.5);
        cairo_line_to(cr, 14, 13); cairo_line_to(cr, 2, 13); cairo_close_path(cr); return cairo_fill(cr);
    case Glyph::Download:
        arrow_down(cr, 2);
        cairo_move_to(cr, 3, 13.5); cairo_line_to(cr, 13, 13.5); return stroke(cr, 1.8);
    case Glyph::Speaker:
        speaker(cr);
        cairo_arc(cr, 9, 8, 3, -M_PI / 4, M_PI / 4); stroke(cr, 1.3);
        cairo_arc(cr, 9, 8, 5.5, -M_PI / 4, M_PI / 4); return stroke(cr, 1.3);
    case Glyph::SpeakerOn: speaker(cr); cairo_arc(cr, 9, 8, 3.5, -M_PI / 3, M_PI / 3); return stroke(cr, 1.4);
    case Glyph::SpeakerMuted:
        speaker(cr);
        cairo_move_to(cr, 11, 6); cairo_line_to(cr, 15, 10);
        cairo_move_to(cr, 15, 6); cairo_line_to(cr, 11, 10); return stroke(cr, 1.4);
    case Glyph::Magnifier:
        cairo_arc(cr, 6.8, 6.8, 4.2, 0, 2 * M_PI); stroke(cr, 1.8);
        cairo_move_to(cr, 10, 10); cairo_line_to(cr, 14, 14); return stroke(cr, 2.4);
    case Glyph::Screen:
        rounded_rect(cr, 1.5, 3, 13, 10, 2.5); cairo_fill(cr);
        set_colour(cr, palette::clear); return triangle(cr, 6.5, 5.5, 10.5, 8, 10.5);
    case Glyph::Player:
        rounded_rect(cr, 4, 1.5, 8, 13, 1.8); cairo_fill(cr);
        set_colour(cr, palette::clear); cairo_rectangle(cr, 5.5, 3, 5, 4); cairo_fill(cr);
        cairo_arc(cr, 8, 10.5, 2, 0, 2 * M_PI); return cairo_fill(cr);
    case Glyph::Feed:
        cairo_arc(cr, 3.5, 12.5, 1.6, 0, 2 * M_PI); cairo_fill(cr);
        cairo_arc(cr, 3, 13, 6, -M_PI / 2, 0); stroke(cr, 1.8);
        cairo_arc(cr, 3, 13, 10, -M_PI / 2, 0); return stroke(cr, 1.8);
    case Glyph::Sliders:
        for (double y : {4.0, 8.0, 12.0}) { cairo_move_to(cr, 2.5, y); cairo_line_to(cr, 13.5, y); }
        stroke(cr, 1.2);
        for (auto [x, y] : {std::pair{10.0, 4.0}, {5.0, 8.0}, {9.0, 12.0}}) cairo_arc(cr, x, y, 1.9, 0, 2 * M_PI);
        return cairo_fill(cr);
    case Glyph::Clock:
        cairo_arc(cr, 8, 8, 6, 0, 2 * M_PI); stroke(cr, 1.6);
        cairo_move_to(cr, 8, 4.5); cairo_line_to(cr, 8, 8); cairo_line_to(cr, 10.5, 9.5); return stroke(cr, 1.5);
    case Glyph::Warning:
        cairo_move_to(cr, 8, 1.5); cairo_line_to(cr, 15, 14); cairo_line_to(cr, 1, 14); cairo_close_path(cr);
        cairo_fill(cr); set_colour(cr, palette::clear);
        cairo_move_to(cr, 8, 6); cairo_line_to(cr, 8, 9.5); stroke(cr, 1.6);
        cairo_arc(cr, 8, 11.8, 0.9, 0, 2 * M_PI); return cairo_fill(cr);
    case Glyph::ArrowDown:
        cairo_move_to(cr, 3, 5.5); cairo_line_to(cr, 13, 5.5); cairo_line_to(cr, 8, 11.5); cairo_close_path(cr);
        return cairo_fill(cr);
    case Glyph::ChevronRight: cairo_move_to(cr, 6, 3.5); cairo_line_to(cr, 10.5, 8); cairo_line_to(cr, 6, 12.5); return stroke(cr, 1.8);
    case Glyph::ChevronDoubleRight:
        cairo_move_to(cr, 3.5, 3.5); cairo_line_to(cr, 8, 8); cairo_line_to(cr, 3.5, 12.5);
        cairo_move_to(cr, 8.5, 3.5); cairo_line_to(cr, 13, 8); cairo_line_to(cr, 8.5, 12.5); return stroke(cr, 1.8);
    case Glyph::PrefetchOff: cairo_arc(cr, 8, 8, 5.5, 0, 2 * M_PI); stroke(cr, 1.6); return arrow_down(cr, 5);
    case Glyph::PrefetchOn:
        cairo_arc(cr, 8, 8, 6.5, 0, 2 * M_PI); cairo_fill(cr);
        set_colour(cr, palette::clear); return arrow_down(cr, 4);
    case Glyph::PrefetchDone:
        cairo_arc(cr, 8, 8, 6.5, 0, 2 * M_PI); cairo_fill(cr);
        set_colour(cr, palette::clear);
        cairo_move_to(cr, 4.5, 8.5); cairo_line_to(cr, 7, 11); cairo_line_to(cr, 11.5, 5.5); return stroke(cr, 1.8);
    case Glyph::Sync: return sync_arrows(cr);
    }
}

}  // namespace

void draw_glyph(cairo_t* cr, Glyph glyph, double x, double y, double w, double h, Rgb c)
{
    const double side = std::min(w, h);
    cairo_save(cr);
    cairo_translate(cr, x + (w - side) / 2, y + (h - side) / 2);
    cairo_scale(cr, side / 16, side / 16);
    draw_unit(cr, glyph, c);
    cairo_restore(cr);
}

}
