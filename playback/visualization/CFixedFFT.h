#pragma once
// A 16-bit fixed-point FFT of 8 to 4096 points. Every butterfly halves, so
// the result is the discrete Fourier transform divided by n. Two kernel sets
// compute it: the plain kernels round every halving and product; the MMX
// kernels saturate sums to 16 bits and truncate toward minus infinity, so
// their results lie a few units lower and differ where a first sum clamps.

#include <cstdint>
#include <span>
#include <vector>

class CFixedFFT {
public:
    enum class Kernels { Plain, MMX };

    // The set the processor test picks: the MMX kernels where CPUID reports MMX.
    static Kernels ProcessorKernels();
    // Q15 twiddle entries of the block size n (32767 x cos and sin of 2 pi i / n,
    // truncated toward zero), for i < n / 2.
    static std::int16_t Cosine(int n, int i);
    static std::int16_t Sine(int n, int i);

    explicit CFixedFFT(Kernels kernels = ProcessorKernels());

    // n a power of two from 8 to 4096; false (and no transform) otherwise.
    bool Init(int n);
    int Size() const { return m_n; }
    Kernels KernelSet() const { return m_kernels; }
    // Bin i of the result is taken from position Permutation()[i] of the work arrays.
    std::span<const std::uint16_t> Permutation() const { return m_permutation; }
    // Transforms n values in place; does nothing before a successful Init or
    // when either span is shorter than n.
    void Transform(std::span<std::int16_t> re, std::span<std::int16_t> im);

private:
    Kernels m_kernels;
    int m_n{0};
    std::vector<std::int16_t> m_re;   // work arrays
    std::vector<std::int16_t> m_im;
    std::vector<std::uint16_t> m_permutation;
};
