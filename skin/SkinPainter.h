// Vector drawing of the skin: one dark palette, panels, strips and glyphs.
#pragma once

#include <cstdint>

typedef struct _cairo cairo_t;

namespace skin {

struct Rgb {
    double r, g, b;
};

constexpr Rgb rgb(uint32_t v)
{
    return {((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0};
}

// The palette grows from the frame clear (0x121212): dark surfaces where the
// screens draw white or light grey text, light grey where they draw dark
// text, and one accent for progress and selection.
namespace palette {
constexpr Rgb clear = rgb(0x121212);
constexpr Rgb dark_low = rgb(0x1a1a1a);
constexpr Rgb dark = rgb(0x242424);
constexpr Rgb dark_high = rgb(0x303030);
constexpr Rgb dark_line = rgb(0x3c3c3c);
constexpr Rgb light_low = rgb(0xb4b4b4);
constexpr Rgb light = rgb(0xcdcdcd);
constexpr Rgb light_high = rgb(0xe4e4e4);
constexpr Rgb light_line = rgb(0x8e8e8e);
constexpr Rgb ink = rgb(0x1f1f1f);      // the screens' dark text, grey 31
constexpr Rgb glyph = rgb(0xbcbcbc);    // grey 188
constexpr Rgb glyph_dim = rgb(0x9c9c9c);  // grey 156
constexpr Rgb white = rgb(0xffffff);
constexpr Rgb disabled = rgb(0x5c5c5c);
constexpr Rgb accent = {205 / 255.0, 111 / 255.0, 83 / 255.0};
constexpr Rgb accent_deep = rgb(0xa4533d);
constexpr Rgb accent_soft = rgb(0xe39a82);
}

void set_colour(cairo_t* cr, Rgb c, double alpha = 1.0);
void rounded_rect(cairo_t* cr, double x, double y, double w, double h, double radius);
// A rounded panel with a vertical gradient, an outline and a one-pixel top sheen.
void panel(cairo_t* cr, double x, double y, double w, double h, double radius, Rgb top, Rgb bottom, Rgb line);

}
