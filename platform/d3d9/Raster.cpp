#include "Raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plat::raster {

namespace {

struct Rgba {
    int b, g, r, a;
};

inline int mul(int x, int y)
{
    int t = x * y + 128;
    return (t + (t >> 8)) >> 8;
}

inline Rgba unpack(std::uint32_t c, bool opaque)
{
    return {int(c & 0xff), int(c >> 8 & 0xff), int(c >> 16 & 0xff), opaque ? 255 : int(c >> 24)};
}

inline std::uint32_t pack(Rgba c, bool opaque)
{
    int a = opaque ? 255 : c.a;
    return std::uint32_t(a) << 24 | std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | std::uint32_t(c.b);
}

inline Rgba sample_point(const Image& t, float u, float v)
{
    int x = std::clamp(int(std::floor(u * t.width)), 0, t.width - 1);
    int y = std::clamp(int(std::floor(v * t.height)), 0, t.height - 1);
    return unpack(t.pixels[y * t.pitch + x], t.opaque);
}

inline Rgba sample_linear(const Image& t, float u, float v)
{
    float fx = u * t.width - 0.5f, fy = v * t.height - 0.5f;
    float x0f = std::floor(fx), y0f = std::floor(fy);
    int wx = int((fx - x0f) * 256.0f), wy = int((fy - y0f) * 256.0f);
    int x0 = std::clamp(int(x0f), 0, t.width - 1), x1 = std::clamp(int(x0f) + 1, 0, t.width - 1);
    int y0 = std::clamp(int(y0f), 0, t.height - 1), y1 = std::clamp(int(y0f) + 1, 0, t.height - 1);
    Rgba p00 = unpack(t.pixels[y0 * t.pitch + x0], t.opaque), p10 = unpack(t.pixels[y0 * t.pitch + x1], t.opaque);
    Rgba p01 = unpack(t.pixels[y1 * t.pitch + x0], t.opaque), p11 = unpack(t.pixels[y1 * t.pitch + x1], t.opaque);
    auto lerp2 = [&](int a, int b, int c, int d) {
        int top = a * (256 - wx) + b * wx;
        int bottom = c * (256 - wx) + d * wx;
        return (top * (256 - wy) + bottom * wy + (1 << 15)) >> 16;
    };
    return {lerp2(p00.b, p10.b, p01.b, p11.b), lerp2(p00.g, p10.g, p01.g, p11.g), lerp2(p00.r, p10.r, p01.r, p11.r),
            lerp2(p00.a, p10.a, p01.a, p11.a)};
}

inline int pick(DWORD arg, int tex, int diffuse) { return arg == D3DTA_TEXTURE ? tex : diffuse; }

inline int combine(DWORD op, DWORD arg1, DWORD arg2, int tex, int diffuse)
{
    switch (op) {
    case D3DTOP_SELECTARG1: return pick(arg1, tex, diffuse);
    case D3DTOP_SELECTARG2: return pick(arg2, tex, diffuse);
    case D3DTOP_MODULATE: return mul(pick(arg1, tex, diffuse), pick(arg2, tex, diffuse));
    default: return diffuse;
    }
}

inline int factor(DWORD blend, int src_c, int src_a, int dst_c, int dst_a)
{
    switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return src_c;
    case D3DBLEND_INVSRCCOLOR: return 255 - src_c;
    case D3DBLEND_SRCALPHA: return src_a;
    case D3DBLEND_INVSRCALPHA: return 255 - src_a;
    case D3DBLEND_DESTALPHA: return dst_a;
    case D3DBLEND_INVDESTALPHA: return 255 - dst_a;
    case D3DBLEND_DESTCOLOR: return dst_c;
    case D3DBLEND_INVDESTCOLOR: return 255 - dst_c;
    default: return 0;
    }
}

inline int blend_channel(DWORD src_f, DWORD dst_f, int s, int sa, int d, int da)
{
    return std::min(255, mul(s, factor(src_f, s, sa, d, da)) + mul(d, factor(dst_f, s, sa, d, da)));
}

inline bool passes(DWORD func, int alpha, int ref)
{
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return alpha < ref;
    case D3DCMP_EQUAL: return alpha == ref;
    case D3DCMP_LESSEQUAL: return alpha <= ref;
    case D3DCMP_GREATER: return alpha > ref;
    case D3DCMP_NOTEQUAL: return alpha != ref;
    case D3DCMP_GREATEREQUAL: return alpha >= ref;
    default: return true;
    }
}

// Premultiplied "over" for colour and alpha: what nearly every draw uses.
inline bool is_over(const BlendState& b)
{
    bool colour = b.src == D3DBLEND_ONE && b.dst == D3DBLEND_INVSRCALPHA;
    bool alpha = !b.separate_alpha || (b.src_alpha == D3DBLEND_ONE && b.dst_alpha == D3DBLEND_INVSRCALPHA);
    return colour && alpha;
}

// Pixel-centre x range [first, end) of a row where 0 <= f < 1, f = f0 + slope * (xc - 0) with xc = x + 0.5.
void narrow(float f_at_zero, float slope, int& first, int& end)
{
    if (slope == 0.0f) {
        if (!(f_at_zero >= 0.0f && f_at_zero < 1.0f)) end = first;
        return;
    }
    float at0 = -f_at_zero / slope, at1 = (1.0f - f_at_zero) / slope;
    if (slope > 0) {
        first = std::max(first, int(std::ceil(at0 - 0.5f)));
        end = std::min(end, int(std::ceil(at1 - 0.5f)));
    } else {
        end = std::min(end, int(std::floor(at0 - 0.5f)) + 1);
        first = std::max(first, int(std::floor(at1 - 0.5f)) + 1);
    }
}


// Four channels scaled by one factor 0..255, two lanes at a time.
inline std::uint32_t scale_all(std::uint32_t p, std::uint32_t f)
{
    std::uint32_t rb = (p & 0x00ff00ffu) * f + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
    std::uint32_t ag = ((p >> 8) & 0x00ff00ffu) * f + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00ff00ffu)) & 0xff00ff00u;
    return ag | rb;
}

// Per-byte sum, clamped at 255.
inline std::uint32_t add_saturated(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t rb = (a & 0x00ff00ffu) + (b & 0x00ff00ffu);
    std::uint32_t ag = ((a >> 8) & 0x00ff00ffu) + ((b >> 8) & 0x00ff00ffu);
    rb |= 0x01000100u - ((rb >> 8) & 0x00010001u);
    ag |= 0x01000100u - ((ag >> 8) & 0x00010001u);
    return (rb & 0x00ff00ffu) | (ag & 0x00ff00ffu) << 8;
}

inline std::uint32_t over_pixel(std::uint32_t s, std::uint32_t d)
{
    std::uint32_t sa = s >> 24;
    if (sa == 255) return s;
    return add_saturated(s, scale_all(d, 255 - sa));
}

inline std::uint32_t modulate(std::uint32_t t, std::uint32_t d)
{
    return std::uint32_t(mul(int(t >> 24), int(d >> 24))) << 24 | std::uint32_t(mul(int(t >> 16 & 0xff), int(d >> 16 & 0xff))) << 16 |
           std::uint32_t(mul(int(t >> 8 & 0xff), int(d >> 8 & 0xff))) << 8 | std::uint32_t(mul(int(t & 0xff), int(d & 0xff)));
}

enum class Tint { None, Uniform, PerChannel };

// Upright rectangles with point sampling (or linear at one texel a pixel), the
// texture modulated by the diffuse colour, copied or blended "over": nearly
// every sprite. Returns false for anything else.
bool fill_upright(const Image& target, Box clip, const Quad& q, const Image* texture, const StageState& stage,
                  const BlendState& blend)
{
    if (texture == nullptr || q.y[1] != q.y[0] || q.x[2] != q.x[0] || q.u[2] != q.u[0] || q.v[1] != q.v[0]) return false;
    bool tex_colour = stage.color_op == D3DTOP_SELECTARG1 && stage.color_arg1 == D3DTA_TEXTURE;
    bool mod_colour = stage.color_op == D3DTOP_MODULATE &&
                      ((stage.color_arg1 == D3DTA_TEXTURE) != (stage.color_arg2 == D3DTA_TEXTURE));
    bool tex_alpha = stage.alpha_op == D3DTOP_SELECTARG1 && stage.alpha_arg1 == D3DTA_TEXTURE;
    bool mod_alpha = stage.alpha_op == D3DTOP_MODULATE &&
                     ((stage.alpha_arg1 == D3DTA_TEXTURE) != (stage.alpha_arg2 == D3DTA_TEXTURE));
    if (!(tex_colour || mod_colour) || !(tex_alpha || mod_alpha)) return false;
    bool over = blend.enabled && is_over(blend);
    if (blend.enabled && !over) return false;
    std::uint32_t d = q.diffuse;
    std::uint32_t tint_colour = mod_colour ? d | 0xff000000u : 0xffffffffu;
    std::uint32_t tint = (tint_colour & 0x00ffffffu) | (mod_alpha ? d & 0xff000000u : 0xff000000u);
    Tint kind = tint == 0xffffffffu ? Tint::None
                : (tint >> 24 == (tint & 0xff) && tint >> 24 == (tint >> 8 & 0xff) && tint >> 24 == (tint >> 16 & 0xff))
                    ? Tint::Uniform
                    : Tint::PerChannel;
    float x0 = q.x[0], x1 = q.x[1], y0 = q.y[0], y1 = q.y[2];
    float tw = float(texture->width), th = float(texture->height);
    // Texel coordinates at the left and top edges, and per pixel.
    float tx0 = q.u[0] * tw, tx_step = (q.u[1] - q.u[0]) * tw / (x1 - x0);
    float ty0 = q.v[0] * th, ty_step = (q.v[2] - q.v[0]) * th / (y1 - y0);
    if (stage.linear && !(std::fabs(std::fabs(tx_step) - 1.0f) < 1e-4f && std::fabs(std::fabs(ty_step) - 1.0f) < 1e-4f &&
                          x0 == std::floor(x0) && y0 == std::floor(y0) && tx0 == std::floor(tx0) && ty0 == std::floor(ty0)))
        return false;   // linear filtering at other scales takes the general path
    int left = std::max(clip.left, int(std::ceil(std::min(x0, x1) - 0.5f)));
    int right = std::min(clip.right, int(std::ceil(std::max(x0, x1) - 0.5f)));
    int top = std::max(clip.top, int(std::ceil(std::min(y0, y1) - 0.5f)));
    int bottom = std::min(clip.bottom, int(std::ceil(std::max(y0, y1) - 0.5f)));
    if (left >= right || top >= bottom) return true;
    std::uint32_t alpha_ref = blend.alpha_ref & 0xff;
    bool test = blend.alpha_test && blend.alpha_func != D3DCMP_ALWAYS;
    std::uint32_t fill = target.opaque ? 0xff000000u : 0u;
    std::vector<int> columns(std::size_t(right - left));
    for (int x = left; x < right; ++x)
        columns[std::size_t(x - left)] =
            std::clamp(int(std::floor(tx0 + (x + 0.5f - x0) * tx_step)), 0, texture->width - 1);
    for (int y = top; y < bottom; ++y) {
        int ty = std::clamp(int(std::floor(ty0 + (y + 0.5f - y0) * ty_step)), 0, texture->height - 1);
        const std::uint32_t* src = texture->pixels + std::size_t(ty) * texture->pitch;
        std::uint32_t* row = target.pixels + std::size_t(y) * target.pitch;
        for (int x = left; x < right; ++x) {
            std::uint32_t s = src[columns[std::size_t(x - left)]];
            if (texture->opaque) s |= 0xff000000u;
            if (kind == Tint::Uniform) s = scale_all(s, tint >> 24);
            else if (kind == Tint::PerChannel) s = modulate(s, tint);
            if (test && !passes(blend.alpha_func, int(s >> 24), int(alpha_ref))) continue;
            row[x] = (over ? over_pixel(s, row[x] | fill) : s) | fill;
        }
    }
    return true;
}

}

void fill_box(const Image& target, Box box, D3DCOLOR color)
{
    std::uint32_t value = target.opaque ? (color | 0xff000000u) : color;
    for (int y = box.top; y < box.bottom; ++y)
        std::fill(target.pixels + y * target.pitch + box.left, target.pixels + y * target.pitch + box.right, value);
}

void fill_quad(const Image& target, Box clip, const Quad& q, const Image* texture, const StageState& stage,
               const BlendState& blend)
{
    if (fill_upright(target, clip, q, texture, stage, blend)) return;
    // Invert the parallelogram's edges: (s, t) = M * (p - corner 0).
    float ax = q.x[1] - q.x[0], ay = q.y[1] - q.y[0], bx = q.x[2] - q.x[0], by = q.y[2] - q.y[0];
    float det = ax * by - ay * bx;
    if (std::fabs(det) < 1e-6f) return;
    float s_dx = by / det, s_dy = -bx / det, t_dx = -ay / det, t_dy = ax / det;
    float du_s = q.u[1] - q.u[0], du_t = q.u[2] - q.u[0], dv_s = q.v[1] - q.v[0], dv_t = q.v[2] - q.v[0];
    Rgba diffuse = unpack(q.diffuse, false);
    bool sample = texture != nullptr && (stage.color_op != D3DTOP_DISABLE);
    bool over = blend.enabled && is_over(blend);
    float y3 = q.y[1] + q.y[2] - q.y[0];
    int top = std::max(clip.top, int(std::floor(std::min({q.y[0], q.y[1], q.y[2], y3}))));
    int bottom = std::min(clip.bottom, int(std::ceil(std::max({q.y[0], q.y[1], q.y[2], y3}))) + 1);
    for (int y = top; y < bottom; ++y) {
        float yc = y + 0.5f - q.y[0];
        float s0 = s_dy * yc - s_dx * q.x[0], t0 = t_dy * yc - t_dx * q.x[0];   // values at xc = 0
        int first = clip.left, end = clip.right;
        narrow(s0, s_dx, first, end);
        narrow(t0, t_dx, first, end);
        if (first >= end) continue;
        std::uint32_t* row = target.pixels + y * target.pitch;
        for (int x = first; x < end; ++x) {
            float xc = x + 0.5f;
            float s = s0 + s_dx * xc, t = t0 + t_dx * xc;
            Rgba tex{255, 255, 255, 255};
            if (sample) {
                float u = q.u[0] + s * du_s + t * du_t, v = q.v[0] + s * dv_s + t * dv_t;
                tex = stage.linear ? sample_linear(*texture, u, v) : sample_point(*texture, u, v);
            }
            Rgba src{combine(stage.color_op, stage.color_arg1, stage.color_arg2, tex.b, diffuse.b),
                     combine(stage.color_op, stage.color_arg1, stage.color_arg2, tex.g, diffuse.g),
                     combine(stage.color_op, stage.color_arg1, stage.color_arg2, tex.r, diffuse.r),
                     combine(stage.alpha_op, stage.alpha_arg1, stage.alpha_arg2, tex.a, diffuse.a)};
            if (blend.alpha_test && !passes(blend.alpha_func, src.a, int(blend.alpha_ref & 0xff))) continue;
            if (!blend.enabled) {
                row[x] = pack(src, target.opaque);
                continue;
            }
            Rgba dst = unpack(row[x], target.opaque);
            Rgba out;
            if (over) {
                int keep = 255 - src.a;
                out = {std::min(255, src.b + mul(dst.b, keep)), std::min(255, src.g + mul(dst.g, keep)),
                       std::min(255, src.r + mul(dst.r, keep)), std::min(255, src.a + mul(dst.a, keep))};
            } else {
                DWORD sa_f = blend.separate_alpha ? blend.src_alpha : blend.src;
                DWORD da_f = blend.separate_alpha ? blend.dst_alpha : blend.dst;
                out = {blend_channel(blend.src, blend.dst, src.b, src.a, dst.b, dst.a),
                       blend_channel(blend.src, blend.dst, src.g, src.a, dst.g, dst.a),
                       blend_channel(blend.src, blend.dst, src.r, src.a, dst.r, dst.a),
                       blend_channel(sa_f, da_f, src.a, src.a, dst.a, dst.a)};
            }
            row[x] = pack(out, target.opaque);
        }
    }
}

}
