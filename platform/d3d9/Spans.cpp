#include "Spans.h"

#include <algorithm>
#include <cstring>
#include <emmintrin.h>

namespace plat::raster {

namespace {

// x * y / 255, rounded: the one product every path uses, so fast and slow paths agree to the bit.
inline int mul(int x, int y)
{
    int t = x * y + 128;
    return (t + (t >> 8)) >> 8;
}

inline int channel(std::uint32_t c, int shift) { return int(c >> shift & 0xff); }

// The stage's result for one channel: texel x factor, or a constant.
struct ChannelRule {
    bool from_texel;
    int value;   // factor when from_texel, else the constant
    bool squared;
};

ChannelRule rule(DWORD op, DWORD arg1, DWORD arg2, bool textured, int diffuse)
{
    auto texel = [&](DWORD arg) { return textured && arg == D3DTA_TEXTURE; };
    // Untextured draws sample opaque white, which makes every rule a constant.
    auto value = [&](DWORD arg) { return arg == D3DTA_TEXTURE ? 255 : diffuse; };
    switch (op) {
    case D3DTOP_SELECTARG1: return texel(arg1) ? ChannelRule{true, 255, false} : ChannelRule{false, value(arg1), false};
    case D3DTOP_SELECTARG2: return texel(arg2) ? ChannelRule{true, 255, false} : ChannelRule{false, value(arg2), false};
    case D3DTOP_MODULATE:
        if (texel(arg1) && texel(arg2)) return ChannelRule{true, 255, true};
        if (texel(arg1)) return ChannelRule{true, value(arg2), false};
        if (texel(arg2)) return ChannelRule{true, value(arg1), false};
        return ChannelRule{false, mul(value(arg1), value(arg2)), false};
    default: return ChannelRule{false, diffuse, false};
    }
}

Test test_of(const BlendState& b)
{
    if (!b.alpha_test) return Test::Always;
    switch (b.alpha_func) {
    case D3DCMP_NEVER: return Test::Never;
    case D3DCMP_LESS: return Test::Less;
    case D3DCMP_EQUAL: return Test::Equal;
    case D3DCMP_LESSEQUAL: return Test::LessEqual;
    case D3DCMP_GREATER: return Test::Greater;
    case D3DCMP_NOTEQUAL: return Test::NotEqual;
    case D3DCMP_GREATEREQUAL: return Test::GreaterEqual;
    default: return Test::Always;
    }
}

Mix mix_of(const BlendState& b)
{
    if (!b.enabled) return Mix::Copy;
    if (b.src != D3DBLEND_ONE || b.dst != D3DBLEND_INVSRCALPHA) return Mix::Factors;
    if (!b.separate_alpha) return Mix::Over;
    if (b.src_alpha == D3DBLEND_ONE && b.dst_alpha == D3DBLEND_INVSRCALPHA) return Mix::Over;
    if (b.src_alpha == D3DBLEND_ONE && b.dst_alpha == D3DBLEND_ONE) return Mix::OverAddAlpha;
    if (b.src_alpha == D3DBLEND_SRCALPHA && b.dst_alpha == D3DBLEND_ONE) return Mix::OverSquareAlpha;
    return Mix::Factors;
}

}

bool passes_alpha(Test test, int alpha, int ref)
{
    switch (test) {
    case Test::Never: return false;
    case Test::Less: return alpha < ref;
    case Test::Equal: return alpha == ref;
    case Test::LessEqual: return alpha <= ref;
    case Test::Greater: return alpha > ref;
    case Test::NotEqual: return alpha != ref;
    case Test::GreaterEqual: return alpha >= ref;
    default: return true;
    }
}

namespace {

int factor(DWORD blend, int src_c, int src_a, int dst_c, int dst_a)
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

// One pixel with any stage and blend the device accepts.
void shade_pixel(std::uint32_t& target, std::uint32_t texel, const SpanOps& ops)
{
    const StageState& st = ops.stage;
    texel |= ops.source_fill;
    int src[4];
    for (int i = 0; i < 4; ++i) {
        bool alpha = i == 3;
        ChannelRule r = rule(alpha ? st.alpha_op : st.color_op, alpha ? st.alpha_arg1 : st.color_arg1,
                             alpha ? st.alpha_arg2 : st.color_arg2, ops.textured, channel(ops.diffuse, i * 8));
        int t = channel(texel, i * 8);
        src[i] = !r.from_texel ? r.value : r.squared ? mul(t, t) : mul(t, r.value);
    }
    if (!passes_alpha(ops.test, src[3], int(ops.ref))) return;
    std::uint32_t d = target | ops.fill;
    int out[4];
    const BlendState& b = ops.blend;
    for (int i = 0; i < 4; ++i) {
        int dc = channel(d, i * 8);
        DWORD sf = i == 3 && b.separate_alpha ? b.src_alpha : b.src;
        DWORD df = i == 3 && b.separate_alpha ? b.dst_alpha : b.dst;
        out[i] = !b.enabled ? src[i]
                            : std::min(255, mul(src[i], factor(sf, src[i], src[3], dc, channel(d, 24))) +
                                                mul(dc, factor(df, src[i], src[3], dc, channel(d, 24))));
    }
    target = (std::uint32_t(out[3]) << 24 | std::uint32_t(out[2]) << 16 | std::uint32_t(out[1]) << 8 |
              std::uint32_t(out[0])) | ops.fill;
}

// Eight 16-bit channels times eight factors, / 255 rounded as `mul`.
inline __m128i mul16(__m128i a, __m128i b)
{
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

inline __m128i alpha16(__m128i p) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xff), 0xff); }

// The draw's words, loaded into registers once per span (the target could alias `SpanOps`).
struct Words {
    __m128i scale, keep, fixed, source_fill, fill, ref;
    Test test;
    explicit Words(const SpanOps& ops)
        : scale(_mm_unpacklo_epi8(_mm_set1_epi32(int(ops.scale)), _mm_setzero_si128())),
          keep(_mm_set1_epi32(int(ops.keep))), fixed(_mm_set1_epi32(int(ops.fixed))),
          source_fill(_mm_set1_epi32(int(ops.source_fill))), fill(_mm_set1_epi32(int(ops.fill))),
          ref(_mm_set1_epi32(int(ops.ref))), test(ops.test)
    {
    }
};

// Lanes of four pixels that pass the alpha test.
inline __m128i test_mask(__m128i s, const Words& w)
{
    __m128i a = _mm_srli_epi32(s, 24), all = _mm_set1_epi32(-1);
    switch (w.test) {
    case Test::Never: return _mm_setzero_si128();
    case Test::Less: return _mm_cmplt_epi32(a, w.ref);
    case Test::Equal: return _mm_cmpeq_epi32(a, w.ref);
    case Test::LessEqual: return _mm_xor_si128(_mm_cmpgt_epi32(a, w.ref), all);
    case Test::Greater: return _mm_cmpgt_epi32(a, w.ref);
    case Test::NotEqual: return _mm_xor_si128(_mm_cmpeq_epi32(a, w.ref), all);
    case Test::GreaterEqual: return _mm_xor_si128(_mm_cmplt_epi32(a, w.ref), all);
    default: return all;
    }
}

template <bool scaled>
inline __m128i shade4(__m128i s, const Words& w)
{
    s = _mm_or_si128(s, w.source_fill);
    if (scaled) {
        __m128i zero = _mm_setzero_si128();
        s = _mm_packus_epi16(mul16(_mm_unpacklo_epi8(s, zero), w.scale), mul16(_mm_unpackhi_epi8(s, zero), w.scale));
    }
    return _mm_or_si128(_mm_and_si128(s, w.keep), w.fixed);
}

// The destination's share under "over": d x (255 - source alpha), alpha kept whole when it adds.
template <Mix mix>
inline __m128i over_rest(__m128i s, __m128i d)
{
    __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi16(255);
    __m128i inv_lo = _mm_sub_epi16(c255, alpha16(_mm_unpacklo_epi8(s, zero)));
    __m128i inv_hi = _mm_sub_epi16(c255, alpha16(_mm_unpackhi_epi8(s, zero)));
    if (mix != Mix::Over) {
        __m128i alpha_lanes = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
        inv_lo = _mm_or_si128(inv_lo, alpha_lanes);   // 255 - a | 255 = 255 in the alpha lanes
        inv_hi = _mm_or_si128(inv_hi, alpha_lanes);
    }
    return _mm_packus_epi16(mul16(_mm_unpacklo_epi8(d, zero), inv_lo), mul16(_mm_unpackhi_epi8(d, zero), inv_hi));
}

// Source alpha times itself, the other channels as they are.
inline __m128i square_alpha(__m128i s)
{
    __m128i zero = _mm_setzero_si128(), alpha_lanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    __m128i lo = _mm_unpacklo_epi8(s, zero), hi = _mm_unpackhi_epi8(s, zero);
    lo = _mm_or_si128(_mm_andnot_si128(alpha_lanes, lo), _mm_and_si128(alpha_lanes, mul16(lo, alpha16(lo))));
    hi = _mm_or_si128(_mm_andnot_si128(alpha_lanes, hi), _mm_and_si128(alpha_lanes, mul16(hi, alpha16(hi))));
    return _mm_packus_epi16(lo, hi);
}

template <Mix mix, bool scaled, bool tested>
inline void shade4_into(std::uint32_t* target, const std::uint32_t* source, const Words& w)
{
    __m128i s = shade4<scaled>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)), w);
    __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target)), out;
    if constexpr (mix == Mix::Copy) {
        out = _mm_or_si128(s, w.fill);
    } else {
        // A transparent source under "over" leaves the target (whose alpha reads 255 if it has none).
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, _mm_setzero_si128())) == 0xffff && _mm_movemask_epi8(w.fill) == 0)
            return;
        __m128i opaque = _mm_cmpeq_epi32(_mm_srli_epi32(s, 24), _mm_set1_epi32(255));
        if (mix == Mix::Over && _mm_movemask_epi8(opaque) == 0xffff) {
            out = _mm_or_si128(s, w.fill);   // an opaque source: nothing of the target shows
        } else {
            __m128i src = mix == Mix::OverSquareAlpha ? square_alpha(s) : s;
            out = _mm_or_si128(_mm_adds_epu8(src, over_rest<mix>(s, _mm_or_si128(raw, w.fill))), w.fill);
        }
    }
    if constexpr (tested) {
        __m128i pass = test_mask(s, w);
        out = _mm_or_si128(_mm_and_si128(pass, out), _mm_andnot_si128(pass, raw));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), out);
}

template <Mix mix, bool scaled, bool tested>
void shade_run(std::uint32_t* target, const std::uint32_t* source, int count, const SpanOps& ops)
{
    const Words w(ops);
    int whole = count & ~3;
    for (int i = 0; i < whole; i += 4) shade4_into<mix, scaled, tested>(target + i, source + i, w);
    if (whole == count) return;
    // The last one to three pixels go through the same four-pixel step on a copy, so they shade alike.
    std::uint32_t src[4]{}, dst[4]{};
    int rest = count - whole;
    for (int i = 0; i < rest; ++i) {
        src[i] = source[whole + i];
        dst[i] = target[whole + i];
    }
    shade4_into<mix, scaled, tested>(dst, src, w);
    for (int i = 0; i < rest; ++i) target[whole + i] = dst[i];
}

template <Mix mix>
SpanShader::Run run_for(bool scaled, bool tested)
{
    if (scaled) return tested ? shade_run<mix, true, true> : shade_run<mix, true, false>;
    return tested ? shade_run<mix, false, true> : shade_run<mix, false, false>;
}

}

SpanOps span_ops(const StageState& stage, const Image* texture, D3DCOLOR diffuse, const BlendState& blend,
                 bool target_opaque)
{
    bool textured = texture != nullptr;
    SpanOps ops;
    ops.source_fill = texture && texture->opaque ? 0xff000000u : 0u;
    ops.stage = stage;
    ops.diffuse = diffuse;
    ops.textured = textured;
    ops.blend = blend;
    ops.fill = target_opaque ? 0xff000000u : 0u;
    ops.test = test_of(blend);
    ops.ref = blend.alpha_ref & 0xff;
    ops.mix = mix_of(blend);
    ops.scale = ops.keep = ops.fixed = 0;
    for (int i = 0; i < 4; ++i) {
        bool alpha = i == 3;
        ChannelRule r = rule(alpha ? stage.alpha_op : stage.color_op, alpha ? stage.alpha_arg1 : stage.color_arg1,
                             alpha ? stage.alpha_arg2 : stage.color_arg2, textured, channel(diffuse, i * 8));
        if (r.squared) ops.per_pixel = true;
        if (r.from_texel) {
            ops.scale |= std::uint32_t(r.value) << (i * 8);
            ops.keep |= 0xffu << (i * 8);
        } else {
            ops.scale |= 0xffu << (i * 8);
            ops.fixed |= std::uint32_t(r.value) << (i * 8);
        }
    }
    ops.scaled = ops.scale != 0xffffffffu;
    if (ops.mix == Mix::Factors) ops.per_pixel = true;
    return ops;
}

SpanShader::SpanShader(const SpanOps& ops) : m_ops(ops)
{
    bool tested = ops.test != Test::Always;
    switch (ops.mix) {
    case Mix::Copy: m_run = run_for<Mix::Copy>(ops.scaled, tested); break;
    case Mix::Over: m_run = run_for<Mix::Over>(ops.scaled, tested); break;
    case Mix::OverAddAlpha: m_run = run_for<Mix::OverAddAlpha>(ops.scaled, tested); break;
    case Mix::OverSquareAlpha: m_run = run_for<Mix::OverSquareAlpha>(ops.scaled, tested); break;
    default: m_run = nullptr;
    }
    if (ops.per_pixel) m_run = nullptr;
}

void SpanShader::operator()(std::uint32_t* target, const std::uint32_t* source, int count) const
{
    if (count <= 0) return;
    if (m_run) {
        m_run(target, source, count, m_ops);
        return;
    }
    for (int i = 0; i < count; ++i) shade_pixel(target[i], source[i], m_ops);
}

}
