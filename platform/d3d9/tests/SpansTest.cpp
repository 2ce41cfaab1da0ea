#include "platform/d3d9/Spans.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace plat::raster;

namespace {

constexpr StageState modulate{D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, false};
constexpr StageState texel_only{D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, false};
// Colour from the diffuse alone, alpha from the texel: channels that ignore the texel.
constexpr StageState diffuse_colour{D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, false};

constexpr BlendState blend(bool enabled, DWORD src_alpha, DWORD dst_alpha, bool separate, DWORD func, DWORD ref)
{
    return BlendState{enabled, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, separate, src_alpha, dst_alpha, func != D3DCMP_ALWAYS,
                      func, ref};
}

// Pixels that reach every shortcut: runs of transparent and of opaque texels, and anything in between.
std::vector<std::uint32_t> pixels(std::mt19937& random, int count)
{
    std::vector<std::uint32_t> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::uint32_t p = random();
        int run = (i / 8) % 4;
        out[std::size_t(i)] = run == 0 ? 0u : run == 1 ? (p | 0xff000000u) : run == 2 ? (p & 0x7f7f7f7fu) : p;
    }
    return out;
}

}

// The vector kernels must give exactly what the pixel-by-pixel shading gives, for every state the device meets.
TEST(Spans, VectorKernelsShadeAsPixelByPixel)
{
    const struct {
        const char* name;
        StageState stage;
        BlendState blend;
        D3DCOLOR diffuse;
        bool texture_opaque;
        bool target_opaque;
    } cases[] = {
        {"copy", texel_only, blend(false, 0, 0, false, D3DCMP_ALWAYS, 0), 0xffffffffu, false, false},
        {"copy of texels above zero", modulate, blend(false, 0, 0, false, D3DCMP_GREATER, 0), 0xffffffffu, false, false},
        {"over, faded", modulate, blend(true, 0, 0, false, D3DCMP_GREATER, 0), 0xe6e6e6e6u, false, false},
        {"over from an X8R8G8B8 texture", modulate, blend(true, 0, 0, false, D3DCMP_ALWAYS, 0), 0xffffffffu, true, false},
        {"over into an X8R8G8B8 target", modulate, blend(true, 0, 0, false, D3DCMP_GREATER, 0), 0x80808080u, false, true},
        {"text: colour over, alpha adds", modulate,
         blend(true, D3DBLEND_ONE, D3DBLEND_ONE, true, D3DCMP_GREATER, 0), 0xc0c06010u, false, false},
        {"source alpha added to target alpha", modulate,
         blend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE, true, D3DCMP_GREATER, 0), 0xffffffffu, false, false},
        {"colour from the diffuse", diffuse_colour, blend(true, 0, 0, false, D3DCMP_ALWAYS, 0), 0x80402010u, false, false},
        {"alpha test less", modulate, blend(true, 0, 0, false, D3DCMP_LESS, 0x80), 0xffffffffu, false, false},
        {"alpha test equal", texel_only, blend(false, 0, 0, false, D3DCMP_EQUAL, 0xff), 0xffffffffu, false, false},
        {"alpha test not equal", texel_only, blend(true, 0, 0, false, D3DCMP_NOTEQUAL, 0), 0xffffffffu, false, false},
        {"alpha test greater or equal", modulate, blend(true, 0, 0, false, D3DCMP_GREATEREQUAL, 0x40), 0xa0a0a0a0u,
         false, false},
        {"alpha test never", modulate, blend(true, 0, 0, false, D3DCMP_NEVER, 0), 0xffffffffu, false, false},
    };
    std::mt19937 random(7);
    const int count = 61;   // not a multiple of four or eight: the last pixels take the short way
    std::vector<SpanShader::Run (*)(const SpanOps&)> kernels{narrow_kernel};
    if (__builtin_cpu_supports("avx2")) kernels.push_back(wide_kernel);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Image texture{nullptr, 0, 0, 0, c.texture_opaque};
        SpanOps ops = span_ops(c.stage, &texture, c.diffuse, c.blend, c.target_opaque);
        SpanOps one_by_one = ops;
        one_by_one.per_pixel = true;
        auto source = pixels(random, count), target = pixels(random, count);
        auto expected = target;
        const SpanShader reference(one_by_one);
        reference(expected.data(), source.data(), count);
        for (auto kernel : kernels) {
            auto run = kernel(ops);
            ASSERT_NE(run, nullptr);
            auto got = target;
            run(got.data(), source.data(), count, ops, nullptr);
            for (int i = 0; i < count; ++i)
                EXPECT_EQ(got[std::size_t(i)], expected[std::size_t(i)]) << "pixel " << i << std::hex << " source "
                                                                        << source[std::size_t(i)] << " target "
                                                                        << target[std::size_t(i)];
        }
        // Over a clear not yet written: as if every target pixel held it; what the target held is never read.
        for (const std::uint32_t under : {0xff121212u, 0x40102030u}) {
            SCOPED_TRACE(testing::Message() << std::hex << under);
            std::vector<std::uint32_t> want(std::size_t(count), under);
            reference(want.data(), source.data(), count);
            std::vector<std::uint32_t> got(std::size_t(count), 0xdeadbeefu);
            reference.over(got.data(), source.data(), count, under);
            EXPECT_EQ(got, want) << "pixel by pixel";
            for (auto kernel : kernels) {
                got.assign(std::size_t(count), 0xdeadbeefu);
                kernel(ops)(got.data(), source.data(), count, ops, &under);
                EXPECT_EQ(got, want);
            }
        }
    }
}
