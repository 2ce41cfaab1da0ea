#pragma once
// What a draw does to a row of source pixels once they are sampled: the texture
// stage (texel kept, modulated by or replaced with the diffuse colour), the
// alpha test and the blend into the target row. Private to platform/d3d9.

#include "platform/d3d9/Raster.h"

#include <cstdint>

namespace plat::raster {

enum class Mix {
    Copy,              // blending off
    Over,              // one, inverse source alpha for colour and alpha
    OverAddAlpha,      // colour over, alpha one + one (text)
    OverSquareAlpha,   // colour over, alpha source alpha + one
    Factors,           // any other factors, pixel by pixel
};

enum class Test { Always, Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual };

struct SpanOps {
    std::uint32_t scale{0xffffffffu};   // per channel: texel x scale / 255 (255 keeps the texel)
    std::uint32_t keep{0xffffffffu};    // per channel: 0xff keeps the scaled texel, 0 takes `fixed`
    std::uint32_t fixed{0};             // channels not taken from the texel; zero where kept
    bool scaled{false};                 // scale is not all 255
    bool per_pixel{false};              // a stage or blend the spans do not know: `stage` and `blend` per pixel
    StageState stage;
    D3DCOLOR diffuse{0xffffffffu};
    bool textured{true};
    Test test{Test::Always};
    std::uint32_t ref{0};
    Mix mix{Mix::Copy};
    BlendState blend;
    std::uint32_t source_fill{0};       // 0xff000000 for an X8R8G8B8 texture: its alpha reads 255
    std::uint32_t fill{0};              // 0xff000000 for an X8R8G8B8 target: alpha reads and writes 255
};

// Whether a source alpha passes the alpha test.
bool passes_alpha(Test test, int alpha, int ref);

// The stage, test and blend of one draw; without a texture it samples opaque white.
SpanOps span_ops(const StageState& stage, const Image* texture, D3DCOLOR diffuse, const BlendState& blend,
                 bool target_opaque);

// Shades source pixels and blends them into a target row, as one draw's states say.
class SpanShader {
public:
    explicit SpanShader(const SpanOps& ops);
    void operator()(std::uint32_t* target, const std::uint32_t* source, int count) const;
    // As if every target pixel held `under`, which is not read: the target's pixels are a clear not yet written.
    void over(std::uint32_t* target, const std::uint32_t* source, int count, std::uint32_t under) const;

    // `under`: null reads the target; else the value every target pixel holds.
    using Run = void (*)(std::uint32_t*, const std::uint32_t*, int, const SpanOps&, const std::uint32_t* under);

private:
    SpanOps m_ops;
    Run m_run{nullptr};   // the vector kernel for these states; null: pixel by pixel
};

// The vector kernels for a draw's states, SSE2 and AVX2 (the latter only for
// processors that have it); null when the states need pixel-by-pixel shading.
SpanShader::Run narrow_kernel(const SpanOps& ops);
SpanShader::Run wide_kernel(const SpanOps& ops);

}
