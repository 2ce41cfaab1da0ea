#pragma once
// The vector shading kernel, written once over a register type and built for
// SSE2 (Spans.cpp) and AVX2 (SpansWide.cpp). Unpacking and packing act within
// 128-bit lanes, so pixels keep their order at either width. Each file that
// includes this gets its own copy (unnamed namespace), built for its target.

#include "Spans.h"

#include <immintrin.h>

namespace plat::raster {

namespace {

// How a kernel applies the alpha test: not at all, as "alpha above the reference" (what sprites use), or as a range.
enum class Check { None, Above, Range };

// Every alpha test as a range: passes when above `low` and below `high`, or the reverse when `invert`.
struct TestRange {
    int low, high;
    bool invert;
};

TestRange range_of(Test test, int ref)
{
    switch (test) {
    case Test::Never: return {256, -1, false};
    case Test::Less: return {-1, ref, false};
    case Test::Equal: return {ref - 1, ref + 1, false};
    case Test::LessEqual: return {-1, ref + 1, false};
    case Test::Greater: return {ref, 256, false};
    case Test::NotEqual: return {ref - 1, ref + 1, true};
    case Test::GreaterEqual: return {ref - 1, 256, false};
    default: return {-1, 256, false};
    }
}

template <class V>
struct Kernel {
    using R = typename V::R;

    // 16-bit channels times factors, / 255 rounded as the scalar `mul`: for t < 65536,
    // (t + (t >> 8)) >> 8 is the high half of t x 257.
    static R mul16(R a, R b) { return V::mulhi16(V::add16(V::mullo16(a, b), V::set16(128)), V::set16(257)); }

    // The draw's words, loaded into registers once per span (the target could alias `SpanOps`).
    struct Words {
        R scale, keep, fixed, source_fill, fill, low, high, invert;
        bool opaque_passes;   // alpha 255 passes the test
        bool no_fill;         // the target has its own alpha
        explicit Words(const SpanOps& ops)
            : scale(V::unpacklo8(V::set32(int(ops.scale)), V::zero())), keep(V::set32(int(ops.keep))),
              fixed(V::set32(int(ops.fixed))), source_fill(V::set32(int(ops.source_fill))), fill(V::set32(int(ops.fill)))
        {
            TestRange r = range_of(ops.test, int(ops.ref));
            low = V::set32(r.low);
            high = V::set32(r.high);
            invert = V::set32(r.invert ? -1 : 0);
            opaque_passes = passes_alpha(ops.test, 255, int(ops.ref));
            no_fill = ops.fill == 0;
        }
    };

    template <Check check>
    static R test_mask(R s, const Words& w)
    {
        R a = V::srli32(s, 24);
        if constexpr (check == Check::Above) return V::cmpgt32(a, w.low);
        return V::xor_(V::and_(V::cmpgt32(a, w.low), V::cmpgt32(w.high, a)), w.invert);
    }

    // `plain`: every channel is the texel's, and the texture has its own alpha.
    template <bool scaled, bool plain>
    static R shade(R s, const Words& w)
    {
        if (!plain) s = V::or_(s, w.source_fill);
        if (scaled) {
            R zero = V::zero();
            s = V::packus16(mul16(V::unpacklo8(s, zero), w.scale), mul16(V::unpackhi8(s, zero), w.scale));
        }
        return plain ? s : V::or_(V::and_(s, w.keep), w.fixed);
    }

    // The destination's share under "over": d x (255 - source alpha), alpha kept whole when it adds.
    template <Mix mix>
    static R over_rest(R s, R d)
    {
        R zero = V::zero(), c255 = V::set16(255);
        R inv_lo = V::sub16(c255, V::alpha16(V::unpacklo8(s, zero)));
        R inv_hi = V::sub16(c255, V::alpha16(V::unpackhi8(s, zero)));
        if (mix != Mix::Over) {
            R alpha_lanes = V::alpha_lanes16(255);   // 255 - a | 255 = 255 in the alpha lanes
            inv_lo = V::or_(inv_lo, alpha_lanes);
            inv_hi = V::or_(inv_hi, alpha_lanes);
        }
        return V::packus16(mul16(V::unpacklo8(d, zero), inv_lo), mul16(V::unpackhi8(d, zero), inv_hi));
    }

    // Source alpha times itself, the other channels as they are.
    static R square_alpha(R s)
    {
        R zero = V::zero(), lanes = V::alpha_lanes16(-1);
        R lo = V::unpacklo8(s, zero), hi = V::unpackhi8(s, zero);
        lo = V::or_(V::andnot(lanes, lo), V::and_(lanes, mul16(lo, V::alpha16(lo))));
        hi = V::or_(V::andnot(lanes, hi), V::and_(lanes, mul16(hi, V::alpha16(hi))));
        return V::packus16(lo, hi);
    }

    template <Check check>
    static void store_tested(std::uint32_t* target, R s, R out, R raw, const Words& w)
    {
        if constexpr (check != Check::None) {
            R pass = test_mask<check>(s, w);
            out = V::or_(V::and_(pass, out), V::andnot(pass, raw));
        }
        V::store(target, out);
    }

    // `fresh`: the target holds `under` in every pixel and is not read (a
    // clear not yet written); what is left alone is written as `under`.
    template <Mix mix, bool scaled, bool plain, Check check>
    static void shade_into(std::uint32_t* target, const std::uint32_t* source, const Words& w, bool fresh, R under)
    {
        constexpr bool tested = check != Check::None;
        const auto target_now = [&] { return fresh ? under : V::load(target); };
        R texels = V::load(source);
        // Plain texels of zero shade to zero: under "over" they leave the target without being shaded.
        if (plain && mix != Mix::Copy && V::all(V::cmpeq32(texels, V::zero())) && w.no_fill) {
            if (fresh) V::store(target, under);
            return;
        }
        R s = shade<scaled, plain>(texels, w);
        if constexpr (mix == Mix::Copy) {
            store_tested<check>(target, s, V::or_(s, w.fill), tested ? target_now() : s, w);
        } else {
            // A transparent source under "over" leaves the target (whose alpha reads 255 if it has none).
            if (V::all(V::cmpeq32(s, V::zero())) && w.no_fill) {
                if (fresh) V::store(target, under);
                return;
            }
            // An opaque source hides the target: it is read only when the test may keep it.
            if (mix == Mix::Over && V::all(V::cmpeq32(V::srli32(s, 24), V::set32(255)))) {
                if (!tested || w.opaque_passes) V::store(target, V::or_(s, w.fill));
                else store_tested<check>(target, s, V::or_(s, w.fill), target_now(), w);
                return;
            }
            R raw = target_now();
            R src = mix == Mix::OverSquareAlpha ? square_alpha(s) : s;
            R out = V::or_(V::adds8(src, over_rest<mix>(s, V::or_(raw, w.fill))), w.fill);
            store_tested<check>(target, s, out, raw, w);
        }
    }

    template <Mix mix, bool scaled, bool plain, Check check>
    static void run(std::uint32_t* target, const std::uint32_t* source, int count, const SpanOps& ops,
                    const std::uint32_t* under)
    {
        const Words w(ops);
        const bool fresh = under != nullptr;
        const R under_v = fresh ? V::set32(int(*under)) : V::zero();
        constexpr int n = V::pixels;
        int whole = count - count % n;
        for (int i = 0; i < whole; i += n)
            shade_into<mix, scaled, plain, check>(target + i, source + i, w, fresh, under_v);
        if (whole == count) return;
        // The last pixels go through the same step on a copy, so they shade alike.
        std::uint32_t src[n]{}, dst[n]{};
        int rest = count - whole;
        for (int i = 0; i < rest; ++i) {
            src[i] = source[whole + i];
            dst[i] = fresh ? *under : target[whole + i];
        }
        shade_into<mix, scaled, plain, check>(dst, src, w, false, under_v);
        for (int i = 0; i < rest; ++i) target[whole + i] = dst[i];
    }

    template <Mix mix, bool scaled, bool plain>
    static SpanShader::Run with_check(Check check)
    {
        switch (check) {
        case Check::None: return run<mix, scaled, plain, Check::None>;
        case Check::Above: return run<mix, scaled, plain, Check::Above>;
        default: return run<mix, scaled, plain, Check::Range>;
        }
    }

    template <Mix mix>
    static SpanShader::Run with_mix(bool scaled, bool plain, Check check)
    {
        if (scaled) return plain ? with_check<mix, true, true>(check) : with_check<mix, true, false>(check);
        return plain ? with_check<mix, false, true>(check) : with_check<mix, false, false>(check);
    }

    // The kernel for a draw's states; null when they need pixel-by-pixel shading.
    static SpanShader::Run choose(const SpanOps& ops)
    {
        if (ops.per_pixel) return nullptr;
        bool plain = ops.keep == 0xffffffffu && ops.fixed == 0 && ops.source_fill == 0;
        Check check = ops.test == Test::Always ? Check::None : ops.test == Test::Greater ? Check::Above : Check::Range;
        switch (ops.mix) {
        case Mix::Copy: return with_mix<Mix::Copy>(ops.scaled, plain, check);
        case Mix::Over: return with_mix<Mix::Over>(ops.scaled, plain, check);
        case Mix::OverAddAlpha: return with_mix<Mix::OverAddAlpha>(ops.scaled, plain, check);
        case Mix::OverSquareAlpha: return with_mix<Mix::OverSquareAlpha>(ops.scaled, plain, check);
        default: return nullptr;
        }
    }
};

}

}
