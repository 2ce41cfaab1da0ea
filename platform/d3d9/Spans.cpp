#include "SpanKernel.h"

#include <algorithm>
#include <cstring>

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

struct Sse2 {
    using R = __m128i;
    static constexpr int pixels = 4;
    static R load(const std::uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const R*>(p)); }
    static void store(std::uint32_t* p, R v) { _mm_storeu_si128(reinterpret_cast<R*>(p), v); }
    static R zero() { return _mm_setzero_si128(); }
    static R set32(int v) { return _mm_set1_epi32(v); }
    static R set16(short v) { return _mm_set1_epi16(v); }
    static R alpha_lanes16(short v) { return _mm_set_epi16(v, 0, 0, 0, v, 0, 0, 0); }
    static R unpacklo8(R a, R b) { return _mm_unpacklo_epi8(a, b); }
    static R unpackhi8(R a, R b) { return _mm_unpackhi_epi8(a, b); }
    static R packus16(R a, R b) { return _mm_packus_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm_mulhi_epu16(a, b); }
    static R add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R srli16(R a, int n) { return _mm_srli_epi16(a, n); }
    static R srli32(R a, int n) { return _mm_srli_epi32(a, n); }
    static R alpha16(R p) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xff), 0xff); }
    static R or_(R a, R b) { return _mm_or_si128(a, b); }
    static R and_(R a, R b) { return _mm_and_si128(a, b); }
    static R andnot(R a, R b) { return _mm_andnot_si128(a, b); }
    static R xor_(R a, R b) { return _mm_xor_si128(a, b); }
    static R adds8(R a, R b) { return _mm_adds_epu8(a, b); }
    static R cmpeq32(R a, R b) { return _mm_cmpeq_epi32(a, b); }
    static R cmpgt32(R a, R b) { return _mm_cmpgt_epi32(a, b); }
    static bool all(R mask) { return _mm_movemask_epi8(mask) == 0xffff; }
    static bool none(R mask) { return _mm_movemask_epi8(mask) == 0; }
};

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
    static const bool wide = __builtin_cpu_supports("avx2");
    m_run = wide ? wide_kernel(ops) : narrow_kernel(ops);
}

SpanShader::Run narrow_kernel(const SpanOps& ops) { return Kernel<Sse2>::choose(ops); }

void SpanShader::operator()(std::uint32_t* target, const std::uint32_t* source, int count) const
{
    if (count <= 0) return;
    if (m_run) {
        m_run(target, source, count, m_ops, nullptr);
        return;
    }
    for (int i = 0; i < count; ++i) shade_pixel(target[i], source[i], m_ops);
}

void SpanShader::over(std::uint32_t* target, const std::uint32_t* source, int count, std::uint32_t under) const
{
    if (count <= 0) return;
    if (m_run) {
        m_run(target, source, count, m_ops, &under);
        return;
    }
    std::fill_n(target, count, under);
    for (int i = 0; i < count; ++i) shade_pixel(target[i], source[i], m_ops);
}

}
