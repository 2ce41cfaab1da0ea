#include "skin/SkinPainter.h"

#include <cairo.h>

#include <cmath>

namespace skin {

void set_colour(cairo_t* cr, Rgb c, double alpha)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void rounded_rect(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    const double r = std::fmin(radius, std::fmin(w, h) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void panel(cairo_t* cr, double x, double y, double w, double h, double radius, Rgb top, Rgb bottom, Rgb line)
{
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(fill, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(fill, 1, bottom.r, bottom.g, bottom.b);
    rounded_rect(cr, x + 0.5, y + 0.5, w - 1, h - 1, radius);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    set_colour(cr, line);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (h > 4 && w > 2 * radius + 2) {
        cairo_move_to(cr, x + radius + 1, y + 1.5);
        cairo_line_to(cr, x + w - radius - 1, y + 1.5);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
        cairo_stroke(cr);
    }
}

}
