// The shading kernel at AVX2 width (eight pixels a step); this file alone is built for AVX2 and only
// runs where the processor has it.

#include "SpanKernel.h"

namespace plat::raster {

namespace {

struct Avx2 {
    using R = __m256i;
    static constexpr int pixels = 8;
    static R load(const std::uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const R*>(p)); }
    static void store(std::uint32_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<R*>(p), v); }
    static R zero() { return _mm256_setzero_si256(); }
    static R set32(int v) { return _mm256_set1_epi32(v); }
    static R set16(short v) { return _mm256_set1_epi16(v); }
    static R alpha_lanes16(short v) { return _mm256_set_epi16(v, 0, 0, 0, v, 0, 0, 0, v, 0, 0, 0, v, 0, 0, 0); }
    static R unpacklo8(R a, R b) { return _mm256_unpacklo_epi8(a, b); }
    static R unpackhi8(R a, R b) { return _mm256_unpackhi_epi8(a, b); }
    static R packus16(R a, R b) { return _mm256_packus_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
    static R add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R srli16(R a, int n) { return _mm256_srli_epi16(a, n); }
    static R srli32(R a, int n) { return _mm256_srli_epi32(a, n); }
    static R alpha16(R p)
    {
        const R alpha_words = _mm256_set_epi8(15, 14, 15, 14, 15, 14, 15, 14, 7, 6, 7, 6, 7, 6, 7, 6, 15, 14, 15, 14, 15,
                                              14, 15, 14, 7, 6, 7, 6, 7, 6, 7, 6);
        return _mm256_shuffle_epi8(p, alpha_words);
    }
    static R or_(R a, R b) { return _mm256_or_si256(a, b); }
    static R and_(R a, R b) { return _mm256_and_si256(a, b); }
    static R andnot(R a, R b) { return _mm256_andnot_si256(a, b); }
    static R xor_(R a, R b) { return _mm256_xor_si256(a, b); }
    static R adds8(R a, R b) { return _mm256_adds_epu8(a, b); }
    static R cmpeq32(R a, R b) { return _mm256_cmpeq_epi32(a, b); }
    static R cmpgt32(R a, R b) { return _mm256_cmpgt_epi32(a, b); }
    static bool all(R mask) { return _mm256_movemask_epi8(mask) == -1; }
    static bool none(R mask) { return _mm256_movemask_epi8(mask) == 0; }
};

}

SpanShader::Run wide_kernel(const SpanOps& ops) { return Kernel<Avx2>::choose(ops); }

}
