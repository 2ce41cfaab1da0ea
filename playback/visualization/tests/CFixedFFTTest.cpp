#include "playback/visualization/CFixedFFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using Kernels = CFixedFFT::Kernels;
using Values = std::vector<std::int16_t>;

const char* name(Kernels k) { return k == Kernels::Plain ? "plain" : "MMX"; }

TEST(CFixedFFT, PermutationTablesOfBothKernelSets)
{
    const struct {
        Kernels kernels;
        int n;
        std::vector<std::uint16_t> table;
    } cases[] = {
        {Kernels::Plain, 8, {0, 4, 2, 6, 1, 5, 3, 7}},
        {Kernels::Plain, 16, {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}},
        {Kernels::MMX, 8, {0, 1, 2, 3, 4, 5, 6, 7}},
        {Kernels::MMX, 16, {0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << name(c.kernels) << " " << c.n);
        CFixedFFT fft(c.kernels);
        ASSERT_TRUE(fft.Init(c.n));
        const auto table = fft.Permutation();
        EXPECT_EQ(std::vector<std::uint16_t>(table.begin(), table.end()), c.table);
    }
}

TEST(CFixedFFT, InitTakesPowersOfTwoFrom8To4096)
{
    for (const int n : {0, 4, 12, 8192, -8}) {
        CFixedFFT fft(Kernels::Plain);
        EXPECT_FALSE(fft.Init(n)) << n;
    }
    CFixedFFT fft(Kernels::MMX);
    EXPECT_TRUE(fft.Init(4096));
    EXPECT_EQ(fft.Permutation().size(), 4096u);
}

TEST(CFixedFFT, TwiddlesAreTruncatedQ15)
{
    const struct {
        int n, i;
        std::int16_t cosine, sine;
    } cases[] = {
        {16, 0, 32767, 0},  {16, 1, 30272, 12539},  {8, 1, 23169, 23169},
        {16, 3, 12539, 30272}, {16, 5, -12539, 30272}, {4096, 1024, 0, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " " << c.i);
        EXPECT_EQ(CFixedFFT::Cosine(c.n, c.i), c.cosine);
        EXPECT_EQ(CFixedFFT::Sine(c.n, c.i), c.sine);
    }
}

TEST(CFixedFFT, EightPointVectorsOfBothKernelSets)
{
    const struct {
        const char* what;
        Values in;
        Values plain;
        Values mmx;
    } cases[] = {
        {"impulse 1", {1, 0, 0, 0, 0, 0, 0, 0}, Values(8, 1), Values(8, 0)},
        {"impulse 8", {8, 0, 0, 0, 0, 0, 0, 0}, Values(8, 1), {1, 0, 1, 0, 1, 0, 1, 0}},
        {"impulse -1", {-1, 0, 0, 0, 0, 0, 0, 0}, Values(8, 0), Values(8, -1)},
        {"full scale: the MMX sums clamp", Values(8, 32767), {32767, 0, 0, 0, 0, 0, 0, 0},
         {16383, 0, 0, 0, 0, 0, 0, 0}},
        {"two peaks", {20000, 0, 0, 0, 20000, 0, 0, 0}, {5000, 0, 5000, 0, 5000, 0, 5000, 0},
         {4095, 0, 4095, 0, 4095, 0, 4095, 0}},
    };
    for (const auto& c : cases) {
        for (const Kernels kernels : {Kernels::Plain, Kernels::MMX}) {
            SCOPED_TRACE(testing::Message() << c.what << ", " << name(kernels));
            CFixedFFT fft(kernels);
            ASSERT_TRUE(fft.Init(8));
            Values re = c.in, im(8, 0);
            fft.Transform(re, im);
            EXPECT_EQ(re, kernels == Kernels::Plain ? c.plain : c.mmx);
            EXPECT_EQ(im, Values(8, 0));
        }
    }
}

// Both sets compute the transform over n to within a few units at every size.
TEST(CFixedFFT, EverySizeIsTheTransformOverN)
{
    for (int n = 8; n <= 4096; n *= 2) {
        Values re(n), im(n);
        for (int i = 0; i < n; ++i) {
            const double t = 2.0 * std::numbers::pi * i / n;
            re[i] = std::int16_t(9000 * std::cos(3 * t) + 5000 * std::sin(7 * t + 0.3) + (i % 5) * 300);
            im[i] = std::int16_t(3000 * std::sin(2 * t) - (i % 3) * 200);
        }
        for (const Kernels kernels : {Kernels::Plain, Kernels::MMX}) {
            SCOPED_TRACE(testing::Message() << n << " points, " << name(kernels));
            CFixedFFT fft(kernels);
            ASSERT_TRUE(fft.Init(n));
            Values out_re = re, out_im = im;
            fft.Transform(out_re, out_im);
            double worst = 0;
            for (int k = 0; k < n; ++k) {
                double sum_re = 0, sum_im = 0;
                for (int i = 0; i < n; ++i) {
                    const double a = -2.0 * std::numbers::pi * double(k) * i / n;
                    sum_re += re[i] * std::cos(a) - im[i] * std::sin(a);
                    sum_im += re[i] * std::sin(a) + im[i] * std::cos(a);
                }
                worst = std::max({worst, std::abs(sum_re / n - out_re[k]), std::abs(sum_im / n - out_im[k])});
            }
            EXPECT_LE(worst, kernels == Kernels::Plain ? 4.0 : 5.0);
        }
    }
}

TEST(CFixedFFT, TransformWithoutInitOrWithShortSpansChangesNothing)
{
    CFixedFFT fft(Kernels::Plain);
    Values re{1, 2, 3, 4, 5, 6, 7, 8}, im(8, 0);
    fft.Transform(re, im);
    EXPECT_EQ(re, (Values{1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(fft.Init(16));
    fft.Transform(re, im);
    EXPECT_EQ(re, (Values{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(CFixedFFT, TheProcessorTestPicksMMXOnX86)
{
#if defined(__x86_64__)
    EXPECT_EQ(CFixedFFT::ProcessorKernels(), Kernels::MMX);
    EXPECT_EQ(CFixedFFT().KernelSet(), Kernels::MMX);
#else
    GTEST_SKIP() << "not an x86-64 processor";
#endif
}

}
