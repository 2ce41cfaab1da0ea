#include "CFixedFFT.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

constexpr int smallest = 8;
constexpr int largest = 4096;
constexpr int q15_shift = 15;

struct TwiddleTable {
    std::vector<std::int16_t> cosine;
    std::vector<std::int16_t> sine;
};

// One table per block size 8 .. 4096, indexed by log2(size) - 3.
const std::array<TwiddleTable, 10>& twiddle_tables()
{
    static const auto tables = [] {
        std::array<TwiddleTable, 10> made;
        for (int at = 0, n = smallest; n <= largest; ++at, n *= 2) {
            for (int i = 0; i < n / 2; ++i) {
                const double angle = 2.0 * std::numbers::pi * i / n;
                made[at].cosine.push_back(std::int16_t(std::trunc(32767.0 * std::cos(angle))));
                made[at].sine.push_back(std::int16_t(std::trunc(32767.0 * std::sin(angle))));
            }
        }
        return made;
    }();
    return tables;
}

const TwiddleTable& twiddles(int n) { return twiddle_tables()[std::countr_zero(unsigned(n)) - 3]; }

struct Complex {
    std::int32_t re;
    std::int32_t im;
};

std::int16_t clamp16(std::int64_t v) { return std::int16_t(std::clamp<std::int64_t>(v, -32768, 32767)); }

// Halvings round and products round each real product: the result is the
// transform over n and stays in 16 bits for any input of that range.
struct PlainArithmetic {
    static std::int16_t half_add(std::int32_t a, std::int32_t b) { return std::int16_t((a + b + 1) >> 1); }
    static std::int16_t half_sub(std::int32_t a, std::int32_t b) { return std::int16_t((a - b + 1) >> 1); }
    static std::int32_t rounded(std::int32_t product) { return (product + 0x3FFF) >> q15_shift; }
    // x times (c - j s)
    static Complex times(Complex x, std::int32_t c, std::int32_t s)
    {
        return {std::int16_t(rounded(x.re * c) + rounded(x.im * s)), std::int16_t(rounded(x.im * c) - rounded(x.re * s))};
    }
};

// The MMX instructions' arithmetic: saturated 16-bit sums and differences,
// arithmetic shifts without a rounding term, one exact sum per product part.
struct MMXArithmetic {
    static std::int16_t half_add(std::int32_t a, std::int32_t b) { return std::int16_t(clamp16(a + b) >> 1); }
    static std::int16_t half_sub(std::int32_t a, std::int32_t b) { return std::int16_t(clamp16(a - b) >> 1); }
    static Complex times(Complex x, std::int32_t c, std::int32_t s)
    {
        const std::int64_t negated_re = clamp16(-std::int64_t(x.re));
        return {clamp16((std::int64_t(x.re) * c + std::int64_t(x.im) * s) >> q15_shift),
                clamp16((std::int64_t(x.im) * c + negated_re * s) >> q15_shift)};
    }
};

class Block {
public:
    Block(std::int16_t* re, std::int16_t* im) : m_re(re), m_im(im) {}
    Complex get(int i) const { return {m_re[i], m_im[i]}; }
    void set(int i, Complex v)
    {
        m_re[i] = std::int16_t(v.re);
        m_im[i] = std::int16_t(v.im);
    }
    Block at(int offset) const { return {m_re + offset, m_im + offset}; }

private:
    std::int16_t* m_re;
    std::int16_t* m_im;
};

template <class A>
Complex half_add(Complex a, Complex b)
{
    return {A::half_add(a.re, b.re), A::half_add(a.im, b.im)};
}

template <class A>
Complex half_sub(Complex a, Complex b)
{
    return {A::half_sub(a.re, b.re), A::half_sub(a.im, b.im)};
}

template <class A>
Complex times(Complex x, const TwiddleTable& table, int i)
{
    return A::times(x, table.cosine[i], table.sine[i]);
}

// Four quarter-length sequences combined; the quarters then hold the results
// whose index is 0, 2, 1 and 3 modulo 4.
template <class A>
void radix4_pass(Block b, int n)
{
    const int q = n / 4;
    const TwiddleTable& own = twiddles(n);
    const TwiddleTable& half_size = twiddles(n / 2);
    for (int k = 0; k < q; ++k) {
        const Complex x0 = b.get(k), x1 = b.get(k + q), x2 = b.get(k + 2 * q), x3 = b.get(k + 3 * q);
        const Complex a = half_add<A>(x0, x2), c = half_add<A>(x1, x3);
        const Complex t0 = times<A>(half_sub<A>(x0, x2), own, k);
        const Complex t1 = times<A>(half_sub<A>(x1, x3), own, k + q);
        b.set(k, half_add<A>(a, c));
        b.set(k + q, times<A>(half_sub<A>(a, c), half_size, k));
        b.set(k + 2 * q, half_add<A>(t0, t1));
        b.set(k + 3 * q, times<A>(half_sub<A>(t0, t1), half_size, k));
    }
}

// Radix-2 decimation in frequency over 8 or 16 points: results in bit-reversed order.
void plain_leaf(Block b, int n)
{
    const TwiddleTable& table = twiddles(n);
    for (int span = n; span >= 2; span /= 2) {
        const int half = span / 2, step = n / span;
        for (int start = 0; start < n; start += span) {
            for (int j = 0; j < half; ++j) {
                const Complex x = b.get(start + j), y = b.get(start + j + half);
                b.set(start + j, half_add<PlainArithmetic>(x, y));
                b.set(start + j + half, times<PlainArithmetic>(half_sub<PlainArithmetic>(x, y), table, j * step));
            }
        }
    }
}

using MMX = MMXArithmetic;

// A four-point transform in natural order, its outputs written every second place.
void mmx_four_point(const std::array<Complex, 4>& u, Block out)
{
    const Complex f = half_add<MMX>(u[0], u[2]), g = half_add<MMX>(u[1], u[3]), h = half_sub<MMX>(u[0], u[2]);
    const std::int32_t d = MMX::half_sub(u[1].im, u[3].im);
    // The clamped difference is negated by a 16-bit multiply: -32768 stays -32768.
    const auto negated = std::int16_t(std::int16_t(clamp16(u[1].re - u[3].re)) * -1);
    const std::int32_t e = negated >> 1;
    out.set(0, half_add<MMX>(f, g));
    out.set(2, {MMX::half_add(h.re, d), MMX::half_add(h.im, e)});
    out.set(4, half_sub<MMX>(f, g));
    out.set(6, {MMX::half_sub(h.re, d), MMX::half_sub(h.im, e)});
}

void mmx_leaf8(Block b)
{
    const TwiddleTable& table = twiddles(8);
    std::array<Complex, 4> s, t;
    for (int k = 0; k < 4; ++k) {
        s[k] = half_add<MMX>(b.get(k), b.get(k + 4));
        t[k] = times<MMX>(half_sub<MMX>(b.get(k), b.get(k + 4)), table, k);
    }
    mmx_four_point(s, b);
    mmx_four_point(t, b.at(1));
}

void mmx_leaf16(Block b)
{
    const TwiddleTable& table = twiddles(16);
    std::array<Complex, 16> x;
    for (int k = 0; k < 16; ++k) x[k] = b.get(k);
    for (int k = 0; k < 8; ++k) {
        b.set(k, half_add<MMX>(x[k], x[k + 8]));
        b.set(k + 8, times<MMX>(half_sub<MMX>(x[k], x[k + 8]), table, k));
    }
    mmx_leaf8(b);
    mmx_leaf8(b.at(8));
}

template <CFixedFFT::Kernels K>
void kernel(Block b, int n)
{
    if (n <= 16) {
        if constexpr (K == CFixedFFT::Kernels::Plain)
            plain_leaf(b, n);
        else
            n == 8 ? mmx_leaf8(b) : mmx_leaf16(b);
        return;
    }
    if constexpr (K == CFixedFFT::Kernels::Plain)
        radix4_pass<PlainArithmetic>(b, n);
    else
        radix4_pass<MMXArithmetic>(b, n);
    for (int quarter = 0; quarter < 4; ++quarter) kernel<K>(b.at(quarter * n / 4), n / 4);
}

// rev[i] is i with its log2(n) bits reversed, built by doubling.
std::vector<std::uint16_t> bit_reversal(int n)
{
    std::vector<std::uint16_t> rev(n, 0);
    for (int a = 2; a <= n; a *= 2) {
        for (int i = 0; i < a / 2; ++i) {
            rev[i] = std::uint16_t(2 * rev[i]);
            rev[a / 2 + i] = std::uint16_t(rev[i] + 1);
        }
    }
    return rev;
}

// The MMX leaves write their eight points in natural order.
std::vector<std::uint16_t> mmx_permutation(int n)
{
    const int groups = n / 8;
    const std::vector<std::uint16_t> rev = bit_reversal(groups);
    std::vector<std::uint16_t> table(n);
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < groups; ++i) table[j * groups + i] = std::uint16_t(8 * rev[i] + j);
    return table;
}

}

CFixedFFT::Kernels CFixedFFT::ProcessorKernels()
{
    static const Kernels chosen = [] {
#if defined(__x86_64__) || defined(__i386__)
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & (1u << 23))) return Kernels::MMX;
#endif
        return Kernels::Plain;
    }();
    return chosen;
}

std::int16_t CFixedFFT::Cosine(int n, int i) { return twiddles(n).cosine.at(i); }

std::int16_t CFixedFFT::Sine(int n, int i) { return twiddles(n).sine.at(i); }

CFixedFFT::CFixedFFT(Kernels kernels) : m_kernels(kernels) {}

bool CFixedFFT::Init(int n)
{
    if (n < smallest || n > largest || !std::has_single_bit(unsigned(n))) return false;
    m_n = n;
    m_re.assign(n, 0);
    m_im.assign(n, 0);
    m_permutation = m_kernels == Kernels::Plain ? bit_reversal(n) : mmx_permutation(n);
    return true;
}

void CFixedFFT::Transform(std::span<std::int16_t> re, std::span<std::int16_t> im)
{
    if (m_n == 0 || re.size() < std::size_t(m_n) || im.size() < std::size_t(m_n)) return;
    std::copy_n(re.begin(), m_n, m_re.begin());
    std::copy_n(im.begin(), m_n, m_im.begin());
    const Block work(m_re.data(), m_im.data());
    if (m_kernels == Kernels::Plain)
        kernel<Kernels::Plain>(work, m_n);
    else
        kernel<Kernels::MMX>(work, m_n);
    for (int i = 0; i < m_n; ++i) {
        re[i] = m_re[m_permutation[i]];
        im[i] = m_im[m_permutation[i]];
    }
}
