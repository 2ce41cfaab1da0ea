#pragma once
// The software rasteriser behind the device: fills, copies and textured
// parallelograms with the texture-stage and blend states the system sets.
// Pixels are D3DCOLOR words; A8R8G8B8 texels hold premultiplied colour.
// A pixel (x, y) covers [x, x + 1) x [y, y + 1) and is sampled at its centre.

#include "platform/d3d9/Direct3D.h"

#include <cstdint>

namespace plat::raster {

struct Image {
    std::uint32_t* pixels;
    int width;
    int height;
    int pitch;     // in pixels
    bool opaque;   // X8R8G8B8: alpha reads as 255 and is written as 255
};

struct Box {
    int left;
    int top;
    int right;
    int bottom;
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

// Clip is already inside the target. A null texture samples opaque white.
void fill_quad(const Image& target, Box clip, const Quad& quad, const Image* texture, const StageState& stage,
               const BlendState& blend);

// Sets every pixel of the box (inside the target) to the colour.
void fill_box(const Image& target, Box box, D3DCOLOR color);

}
