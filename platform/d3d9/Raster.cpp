// Geometry and sampling: which pixels of a row a quad covers and which texels
// they show. Shading and blending of the sampled rows is Spans.cpp's.

#include "Raster.h"
#include "Spans.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <emmintrin.h>
#include <xmmintrin.h>

namespace plat::raster {

namespace {

// At least `count` elements (none asked for when count <= 0), grown only, so drawing allocates nothing once warm.
template <class T>
T* room(std::vector<T>& buffer, int count)
{
    if (count > 0 && buffer.size() < std::size_t(count)) buffer.resize(std::size_t(count));
    return buffer.data();
}

inline const std::uint32_t* row_of(const Image& t, int y) { return t.pixels + std::size_t(y) * t.pitch; }

// wchar_t is 32 bits here, and the C library's wide fill uses the widest
// stores the processor has: a frame's clear is its largest single write.
static_assert(sizeof(wchar_t) == sizeof(std::uint32_t));

inline void fill_run(std::uint32_t* from, int count, std::uint32_t value)
{
    if (count > 0) std::wmemset(reinterpret_cast<wchar_t*>(from), static_cast<wchar_t>(value), std::size_t(count));
}

// Asks for the first pixels of a row ahead of their use. Rows of a screen lie
// a page or more apart, where the processor's own prefetching stops, so a
// blend's first reads of each row waited on memory; past the first cache
// lines the processor's prefetching keeps up (measured on render_bench: a few
// per cent of the frame; prefetching whole rows, or texture rows, gained nothing more).
inline void prefetch_row_start(const std::uint32_t* from, int count)
{
    constexpr int ahead = 64;   // pixels: four cache lines
    for (int i = 0; i < std::min(count, ahead); i += 16) _mm_prefetch(reinterpret_cast<const char*>(from + i), _MM_HINT_T0);
}

// Shades `count` source pixels into row y of the target from column x. A row
// a pending clear still waits for is written here: the clear around the
// pixels, the pixels shaded over the clear's colour beneath them.
void shade_row(const Image& target, int y, int x, const std::uint32_t* source, int count, const SpanShader& shade)
{
    std::uint32_t* row = target.pixels + std::size_t(y) * target.pitch;
    if (y + 1 < target.height) prefetch_row_start(row + target.pitch + x, count);
    PendingClear* pending = target.pending;
    if (!pending || !pending->waits(y)) {
        shade(row + x, source, count);
        return;
    }
    const Box& clear = pending->box;
    const int end = x + count, under_from = std::max(x, clear.left), under_to = std::min(end, clear.right);
    if (under_from >= under_to) {
        fill_run(row + clear.left, clear.right - clear.left, pending->value);
        shade(row + x, source, count);
    } else {
        fill_run(row + clear.left, under_from - clear.left, pending->value);
        fill_run(row + under_to, clear.right - under_to, pending->value);
        shade(row + x, source, under_from - x);
        shade.over(row + under_from, source + (under_from - x), under_to - under_from, pending->value);
        shade(row + under_to, source + (under_to - x), end - under_to);
    }
    pending->waiting[std::size_t(y - clear.top)] = 0;
    --pending->rows_left;
}

// floor() for coordinates well inside int range, without a library call per pixel.
inline int floor_int(float f)
{
    int i = int(f);
    return i - (float(i) > f ? 1 : 0);
}

inline std::uint32_t sample_point(const Image& t, float u, float v)
{
    int x = std::clamp(floor_int(u * t.width), 0, t.width - 1);
    int y = std::clamp(floor_int(v * t.height), 0, t.height - 1);
    return row_of(t, y)[x];
}

// The weights word of a texel pair: right weight w << 16 | left weight 256 - w.
inline std::uint32_t pair_weights(int w) { return std::uint32_t(w) << 16 | std::uint32_t(256 - w); }

// Per channel, a x (256 - w) + b x w for two texels, as four 32-bit sums.
inline __m128i mix_pair(std::uint32_t a, std::uint32_t b, std::uint32_t weights)
{
    __m128i pair = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b)));
    return _mm_madd_epi16(_mm_unpacklo_epi8(pair, _mm_setzero_si128()), _mm_set1_epi32(int(weights)));
}

// Bilinear with 8-bit weights: (top x (256 - wy) + bottom x wy) / 65536 rounded, where
// top and bottom are the rows' texels mixed by (256 - wx, wx). The upright scaler below
// computes the same sums in two passes.
inline std::uint32_t sample_linear(const Image& t, float u, float v)
{
    float fx = u * t.width - 0.5f, fy = v * t.height - 0.5f;
    int left = floor_int(fx), upper = floor_int(fy);
    int wx = int((fx - float(left)) * 256.0f), wy = int((fy - float(upper)) * 256.0f);
    int x0 = std::clamp(left, 0, t.width - 1), x1 = std::clamp(left + 1, 0, t.width - 1);
    const std::uint32_t* r0 = row_of(t, std::clamp(upper, 0, t.height - 1));
    const std::uint32_t* r1 = row_of(t, std::clamp(upper + 1, 0, t.height - 1));
    const __m128i bias = _mm_set1_epi32(32768);
    // Both rows' sums, less 32768 to fit 16 bits, then paired per channel and mixed down as the scaler's rows are.
    __m128i sums = _mm_packs_epi32(_mm_sub_epi32(mix_pair(r0[x0], r0[x1], pair_weights(wx)), bias),
                                   _mm_sub_epi32(mix_pair(r1[x0], r1[x1], pair_weights(wx)), bias));
    __m128i pairs = _mm_unpacklo_epi16(sums, _mm_unpackhi_epi64(sums, sums));
    __m128i mixed = _mm_madd_epi16(pairs, _mm_set1_epi32(int(pair_weights(wy))));
    mixed = _mm_srai_epi32(_mm_add_epi32(mixed, _mm_set1_epi32(32768 * 257)), 16);
    __m128i bytes = _mm_packs_epi32(mixed, mixed);
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(bytes, bytes)));
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

// One texture row filtered across: per column and channel, left x (256 - w) + right x w, less 32768 so it fits 16 bits.
void filter_row(const std::uint32_t* texels, const Scratch& s, int count, std::int16_t* out)
{
    const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi32(32768);
    auto mix = [&](int i) {
        auto n = std::size_t(i);
        return _mm_sub_epi32(mix_pair(texels[s.near[n]], texels[s.far[n]], s.weights[n]), bias);
    };
    int i = 0;
    for (; i + 2 <= count; i += 2)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), _mm_packs_epi32(mix(i), mix(i + 1)));
    if (i < count) _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i), _mm_packs_epi32(mix(i), zero));
}

// Two filtered rows mixed down by (256 - wy, wy) into pixels.
void mix_rows(const std::int16_t* top, const std::int16_t* bottom, int wy, int count, std::uint32_t* out)
{
    const __m128i weights = _mm_set1_epi32(int(pair_weights(wy))), round = _mm_set1_epi32(32768 * 257);
    auto lanes = [&](__m128i pairs) { return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), round), 16); };
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 4 * i));
        __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 4 * i));
        __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 4 * i + 8));
        __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 4 * i + 8));
        __m128i lo = _mm_packs_epi32(lanes(_mm_unpacklo_epi16(a0, b0)), lanes(_mm_unpackhi_epi16(a0, b0)));
        __m128i hi = _mm_packs_epi32(lanes(_mm_unpacklo_epi16(a1, b1)), lanes(_mm_unpackhi_epi16(a1, b1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < count; ++i) {
        std::uint32_t p = 0;
        for (int c = 0; c < 4; ++c) {
            int a = top[4 * i + c] + 32768, b = bottom[4 * i + c] + 32768;
            p |= std::uint32_t((a * (256 - wy) + b * wy + 32768) >> 16) << (8 * c);
        }
        out[i] = p;
    }
}

// The scratch slot holding texture row `row` filtered, filling one that `keep` does not hold.
int filtered(const Image& texture, int row, int keep_slot, int count, Scratch& s)
{
    for (int slot = 0; slot < 2; ++slot)
        if (s.filtered_row[slot] == row) return slot;
    int slot = keep_slot == 0 ? 1 : 0;
    filter_row(row_of(texture, row), s, count, room(s.filtered[slot], 4 * count + 8));
    s.filtered_row[slot] = row;
    return slot;
}

struct Upright {
    int left, right, top, bottom;    // pixels covered, cut to the clip
    float x0, y0;                    // the quad's left and top edges (where texel tx0, ty0 lies)
    float tx0, tx_step, ty0, ty_step;   // texel coordinates at the edges, and per pixel
};

bool is_upright(const Quad& q) { return q.y[1] == q.y[0] && q.x[2] == q.x[0] && q.u[2] == q.u[0] && q.v[1] == q.v[0]; }

Upright upright_geometry(Box clip, const Quad& q, const Image& texture)
{
    float x0 = q.x[0], x1 = q.x[1], y0 = q.y[0], y1 = q.y[2];
    float tw = float(texture.width), th = float(texture.height);
    Upright g{};
    g.x0 = x0;
    g.y0 = y0;
    g.tx0 = q.u[0] * tw;
    g.tx_step = (q.u[1] - q.u[0]) * tw / (x1 - x0);
    g.ty0 = q.v[0] * th;
    g.ty_step = (q.v[2] - q.v[0]) * th / (y1 - y0);
    g.left = std::max(clip.left, int(std::ceil(std::min(x0, x1) - 0.5f)));
    g.right = std::min(clip.right, int(std::ceil(std::max(x0, x1) - 0.5f)));
    g.top = std::max(clip.top, int(std::ceil(std::min(y0, y1) - 0.5f)));
    g.bottom = std::min(clip.bottom, int(std::ceil(std::max(y0, y1) - 0.5f)));
    return g;
}

// Linear filtering at one texel a pixel on whole texels samples exactly the texels point sampling does.
bool texel_for_pixel(const Upright& g)
{
    return std::fabs(std::fabs(g.tx_step) - 1.0f) < 1e-4f && std::fabs(std::fabs(g.ty_step) - 1.0f) < 1e-4f &&
           g.x0 == std::floor(g.x0) && g.y0 == std::floor(g.y0) && g.tx0 == std::floor(g.tx0) &&
           g.ty0 == std::floor(g.ty0);
}

// Each run's texel over its pixels; stores may reach three pixels past `count`.
void spread_runs(const std::uint32_t* texels, const int* columns, const std::vector<int>& runs, int count,
                 std::uint32_t* span)
{
    for (std::size_t r = 0; r < runs.size(); ++r) {
        int start = runs[r], end = r + 1 < runs.size() ? runs[r + 1] : count;
        __m128i texel = _mm_set1_epi32(int(texels[columns[start]]));
        for (int i = start; i < end; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(span + i), texel);
    }
}

void upright_point(const Image& target, const Upright& g, const Image& texture, const SpanShader& shade, Scratch& s)
{
    int count = g.right - g.left;
    int* columns = room(s.near, count);
    bool in_order = true;
    for (int x = g.left; x < g.right; ++x) {
        int i = x - g.left;
        columns[i] = std::clamp(int(std::floor(g.tx0 + (x + 0.5f - g.x0) * g.tx_step)), 0, texture.width - 1);
        in_order = in_order && (i == 0 || columns[i] == columns[i - 1] + 1);
    }
    // Magnified, a texel covers a run of pixels: it is stored four at a time instead of fetched for each.
    s.runs.clear();
    for (int i = 0; i < count && !in_order; ++i)
        if (i == 0 || columns[i] != columns[i - 1]) s.runs.push_back(i);
    bool by_runs = int(s.runs.size()) * 2 <= count;
    std::uint32_t* span = room(s.span, count + 4);
    int gathered = -1;   // the texture row in `span`: a magnified row repeats
    for (int y = g.top; y < g.bottom; ++y) {
        int ty = std::clamp(int(std::floor(g.ty0 + (y + 0.5f - g.y0) * g.ty_step)), 0, texture.height - 1);
        const std::uint32_t* texels = row_of(texture, ty);
        if (!in_order && ty != gathered) {
            if (by_runs) spread_runs(texels, columns, s.runs, count, span);
            else
                for (int i = 0; i < count; ++i) span[i] = texels[columns[i]];
            gathered = ty;
        }
        shade_row(target, y, g.left, in_order ? texels + columns[0] : span, count, shade);
    }
}

// Separable bilinear: each texture row is filtered across once, then pairs of rows are mixed per target row.
void upright_linear(const Image& target, const Upright& g, const Image& texture, const SpanShader& shade, Scratch& s)
{
    int count = g.right - g.left;
    room(s.near, count);
    room(s.far, count);
    room(s.weights, count);
    for (int x = g.left; x < g.right; ++x) {
        auto i = std::size_t(x - g.left);
        float fx = g.tx0 + (x + 0.5f - g.x0) * g.tx_step - 0.5f, left = std::floor(fx);
        int wx = int((fx - left) * 256.0f);
        s.near[i] = std::clamp(int(left), 0, texture.width - 1);
        s.far[i] = std::clamp(int(left) + 1, 0, texture.width - 1);
        s.weights[i] = pair_weights(wx);
    }
    s.filtered_row[0] = s.filtered_row[1] = -1;
    std::uint32_t* span = room(s.span, count);
    for (int y = g.top; y < g.bottom; ++y) {
        float fy = g.ty0 + (y + 0.5f - g.y0) * g.ty_step - 0.5f, upper = std::floor(fy);
        int wy = int((fy - upper) * 256.0f);
        int r0 = std::clamp(int(upper), 0, texture.height - 1), r1 = std::clamp(int(upper) + 1, 0, texture.height - 1);
        int a = filtered(texture, r0, -1, count, s);
        int b = filtered(texture, r1, a, count, s);
        mix_rows(s.filtered[a].data(), s.filtered[b].data(), wy, count, span);
        shade_row(target, y, g.left, span, count, shade);
    }
}

// Any parallelogram: the pixel centres inside it, each sampled where it falls.
void fill_general(const Image& target, Box clip, const Quad& q, const Image* texture, bool linear, const SpanShader& shade,
                  Scratch& scratch)
{
    // Invert the parallelogram's edges: (s, t) = M * (p - corner 0).
    float ax = q.x[1] - q.x[0], ay = q.y[1] - q.y[0], bx = q.x[2] - q.x[0], by = q.y[2] - q.y[0];
    float det = ax * by - ay * bx;
    if (std::fabs(det) < 1e-6f) return;
    float s_dx = by / det, s_dy = -bx / det, t_dx = -ay / det, t_dy = ax / det;
    float du_s = q.u[1] - q.u[0], du_t = q.u[2] - q.u[0], dv_s = q.v[1] - q.v[0], dv_t = q.v[2] - q.v[0];
    float y3 = q.y[1] + q.y[2] - q.y[0];
    int top = std::max(clip.top, int(std::floor(std::min({q.y[0], q.y[1], q.y[2], y3}))));
    int bottom = std::min(clip.bottom, int(std::ceil(std::max({q.y[0], q.y[1], q.y[2], y3}))) + 1);
    std::uint32_t* span = room(scratch.span, clip.right - clip.left);
    if (texture == nullptr) std::fill(span, span + (clip.right - clip.left), 0xffffffffu);
    for (int y = top; y < bottom; ++y) {
        float yc = y + 0.5f - q.y[0];
        float s0 = s_dy * yc - s_dx * q.x[0], t0 = t_dy * yc - t_dx * q.x[0];   // values at xc = 0
        int first = clip.left, end = clip.right;
        narrow(s0, s_dx, first, end);
        narrow(t0, t_dx, first, end);
        if (first >= end) continue;
        if (texture)
            for (int x = first; x < end; ++x) {
                float xc = x + 0.5f;
                float s = s0 + s_dx * xc, t = t0 + t_dx * xc;
                float u = q.u[0] + s * du_s + t * du_t, v = q.v[0] + s * dv_s + t * dv_t;
                span[x - first] = linear ? sample_linear(*texture, u, v) : sample_point(*texture, u, v);
            }
        shade_row(target, y, first, span, end - first, shade);
    }
}

// Coverage c as the texel (c, c, c, c): premultiplied white.
void expand_coverage(const std::uint8_t* bits, int count, std::uint32_t* out)
{
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bits + i));
        __m128i lo = _mm_unpacklo_epi8(c, c), hi = _mm_unpackhi_epi8(c, c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(lo, lo));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(lo, lo));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpacklo_epi16(hi, hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 12), _mm_unpackhi_epi16(hi, hi));
    }
    for (; i < count; ++i) out[i] = bits[i] * 0x01010101u;
}

// Rows of the box: the glyphs' coverage side by side (white when untextured), shaded in one span per row.
void coverage_rows(const Image& target, Box box, const Coverage* glyphs, std::size_t count, bool textured,
                   const SpanShader& shade, Scratch& scratch)
{
    int width = box.right - box.left;
    std::uint32_t* span = room(scratch.span, width);
    std::uint8_t* line = room(scratch.coverage, width);
    if (!textured) std::fill(span, span + width, 0xffffffffu);
    for (int y = box.top; y < box.bottom; ++y) {
        if (textured) {
            std::fill(line, line + width, std::uint8_t(0));
            for (std::size_t n = 0; n < count; ++n) {
                const Coverage& g = glyphs[n];
                int from = std::max(box.left, g.x), to = std::min(box.right, g.x + g.width);
                if (y >= g.y && y < g.y + g.height && from < to)
                    std::copy_n(g.bits + std::size_t(y - g.y) * g.pitch + (from - g.x), to - from, line + (from - box.left));
            }
            expand_coverage(line, width, span);
        }
        shade_row(target, y, box.left, span, width, shade);
    }
}

}

void fill_box(const Image& target, Box box, D3DCOLOR color)
{
    const std::uint32_t value = target.opaque ? (color | 0xff000000u) : color;
    const int width = box.right - box.left;
    std::uint32_t* at = target.pixels + std::size_t(box.top) * target.pitch + box.left;
    if (width == target.pitch) {   // whole rows: one run
        fill_run(at, width * (box.bottom - box.top), value);
        return;
    }
    for (int y = box.top; y < box.bottom; ++y, at += target.pitch) fill_run(at, width, value);
}

void defer_fill(PendingClear& pending, const Image& target, Box box, D3DCOLOR color)
{
    pending.box = box;
    pending.value = target.opaque ? (color | 0xff000000u) : color;
    pending.rows_left = box.bottom - box.top;
    pending.waiting.assign(std::size_t(pending.rows_left), 1);
}

void write_pending(const Image& target, PendingClear& pending)
{
    for (int y = pending.box.top; pending.rows_left > 0 && y < pending.box.bottom; ++y) {
        if (!pending.waits(y)) continue;
        fill_run(target.pixels + std::size_t(y) * target.pitch + pending.box.left, pending.box.right - pending.box.left,
                 pending.value);
        pending.waiting[std::size_t(y - pending.box.top)] = 0;
        --pending.rows_left;
    }
}

void fill_quad(const Image& target, Box clip, const Quad& q, const Image* texture, const StageState& stage,
               const BlendState& blend, Scratch& scratch)
{
    if (stage.color_op == D3DTOP_DISABLE) texture = nullptr;   // the stage samples nothing: opaque white
    const SpanShader shade(span_ops(stage, texture, q.diffuse, blend, target.opaque));
    if (texture == nullptr || !is_upright(q)) {
        fill_general(target, clip, q, texture, stage.linear, shade, scratch);
        return;
    }
    Upright g = upright_geometry(clip, q, *texture);
    if (g.left >= g.right || g.top >= g.bottom) return;
    if (stage.linear && !texel_for_pixel(g)) upright_linear(target, g, *texture, shade, scratch);
    else upright_point(target, g, *texture, shade, scratch);
}

void fill_coverage(const Image& target, Box clip, const Coverage* glyphs, std::size_t count, const StageState& stage,
                   D3DCOLOR diffuse, const BlendState& blend, Scratch& scratch)
{
    // Any image stands for the glyph textures: they are A8R8G8B8, so their alpha is their own.
    const Image coverage_texture{nullptr, 0, 0, 0, false};
    bool textured = stage.color_op != D3DTOP_DISABLE;
    SpanOps ops = span_ops(stage, textured ? &coverage_texture : nullptr, diffuse, blend, target.opaque);
    const SpanShader shade(ops);
    // Glyphs whose boxes do not overlap can share one span per row when a texel of no coverage leaves the target as
    // it is, which gives the same pixels as drawing them one after another.
    bool blank_keeps = textured && ops.keep == 0xffffffffu && ops.fixed == 0 && !ops.per_pixel &&
                       (ops.mix != Mix::Copy || !passes_alpha(ops.test, 0, int(ops.ref)));
    for (std::size_t first = 0, end = 0; first < count; first = end) {
        Box box{glyphs[first].x, glyphs[first].y, glyphs[first].x + glyphs[first].width,
                glyphs[first].y + glyphs[first].height};
        for (end = first + 1; blank_keeps && end < count && glyphs[end].x >= box.right; ++end)
            box = Box{box.left, std::min(box.top, glyphs[end].y), glyphs[end].x + glyphs[end].width,
                      std::max(box.bottom, glyphs[end].y + glyphs[end].height)};
        box = Box{std::max(clip.left, box.left), std::max(clip.top, box.top), std::min(clip.right, box.right),
                  std::min(clip.bottom, box.bottom)};
        if (box.left < box.right)   // else the glyphs lie beside the clip
            coverage_rows(target, box, glyphs + first, end - first, textured, shade, scratch);
    }
}

}
