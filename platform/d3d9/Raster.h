#pragma once
// The software rasteriser behind the device: fills, copies and textured
// parallelograms with the texture-stage and blend states the system sets.
// Pixels are D3DCOLOR words; A8R8G8B8 texels hold premultiplied colour.
// A pixel (x, y) covers [x, x + 1) x [y, y + 1) and is sampled at its centre.

#include "platform/d3d9/Direct3D.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat::raster {

struct Box {
    int left;
    int top;
    int right;
    int bottom;
};

// A clear of a box not yet written. The first draw that reaches a row of it
// writes that row: the clear's colour around what the draw covers, and the
// draw shaded over that colour beneath it (the row is never written twice).
// Rows no draw reached are written when the pixels are read. A frame's clear
// thus costs nothing where its first draw covers the frame.
struct PendingClear {
    Box box{};
    std::uint32_t value{0};              // the pixel as the clear writes it
    std::vector<std::uint8_t> waiting;   // per row of the box: 1 until written
    int rows_left{0};
    bool waits(int y) const { return y >= box.top && y < box.bottom && waiting[std::size_t(y - box.top)]; }
};

struct Image {
    std::uint32_t* pixels;
    int width;
    int height;
    int pitch;     // in pixels
    bool opaque;   // X8R8G8B8: alpha reads as 255 and is written as 255
    PendingClear* pending{nullptr};   // a draw target's clear not yet written; draws write it as they go
};

struct StageState {
    DWORD color_op{D3DTOP_MODULATE};
    DWORD color_arg1{D3DTA_TEXTURE};
    DWORD color_arg2{D3DTA_DIFFUSE};
    DWORD alpha_op{D3DTOP_SELECTARG1};
    DWORD alpha_arg1{D3DTA_TEXTURE};
    DWORD alpha_arg2{D3DTA_DIFFUSE};
    bool linear{false};   // magnification/minification filter linear, else point
};

struct BlendState {
    bool enabled{false};
    DWORD src{D3DBLEND_ONE};
    DWORD dst{D3DBLEND_ZERO};
    bool separate_alpha{false};
    DWORD src_alpha{D3DBLEND_ONE};
    DWORD dst_alpha{D3DBLEND_ZERO};
    bool alpha_test{false};
    DWORD alpha_func{D3DCMP_ALWAYS};
    DWORD alpha_ref{0};
};

// A parallelogram: corner 0, corner 1 (along the first edge) and corner 2
// (along the second edge), each with its texture coordinates (0..1).
struct Quad {
    float x[3];
    float y[3];
    float u[3];
    float v[3];
    D3DCOLOR diffuse;
};

// Buffers a device reuses from draw to draw (under its lock), so drawing
// allocates nothing once they have grown to the largest row.
struct Scratch {
    std::vector<std::uint32_t> span;            // one row of sampled source pixels
    std::vector<std::uint8_t> coverage;         // one row of a line of glyphs' coverage
    std::vector<int> near;                      // per column: the texel, or the left one of a filtered pair
    std::vector<int> far;                       // per column: the right one of a filtered pair
    std::vector<int> runs;                      // first columns of runs of one texel
    std::vector<std::uint32_t> weights;         // per column: right weight << 16 | left weight (of 256)
    std::vector<std::int16_t> filtered[2];      // two texture rows filtered across, less 32768
    int filtered_row[2]{-1, -1};                // which texture rows those are; -1 for none
};

// 8-bit coverage of one glyph, drawn 1:1 with its top-left texel at (x, y).
struct Coverage {
    const std::uint8_t* bits;
    int pitch;   // in bytes
    int width;
    int height;
    int x;
    int y;
};

// Clip is already inside the target. A null texture samples opaque white.
void fill_quad(const Image& target, Box clip, const Quad& quad, const Image* texture, const StageState& stage,
               const BlendState& blend, Scratch& scratch);

// Draws glyphs as textures of premultiplied white (coverage in all four
// channels) would be drawn unscaled with these states, in order.
void fill_coverage(const Image& target, Box clip, const Coverage* glyphs, std::size_t count, const StageState& stage,
                   D3DCOLOR diffuse, const BlendState& blend, Scratch& scratch);

// Sets every pixel of the box (inside the target) to the colour.
void fill_box(const Image& target, Box box, D3DCOLOR color);

// The same as fill_box, left to the draws that follow and to write_pending.
void defer_fill(PendingClear& pending, const Image& target, Box box, D3DCOLOR color);
// Writes the rows of the pending clear that no draw reached.
void write_pending(const Image& target, PendingClear& pending);

}
