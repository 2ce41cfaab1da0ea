#include "screens/video/testing/TestPatternSource.h"

#include "platform/d3d9/D3DX.h"

#include <algorithm>
#include <cmath>

namespace test {

DWORD TestPatternSource::BarColour(int bar)
{
    static constexpr DWORD bars[8] = {0xFFC0C0C0, 0xFFC0C000, 0xFF00C0C0, 0xFF00C000,
                                      0xFFC000C0, 0xFFC00000, 0xFF0000C0, 0xFF101010};
    return bars[bar & 7];
}

namespace {

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

DWORD packed(Colour c)
{
    auto channel = [](float v) { return DWORD(std::clamp(v, 0.0f, 255.0f)); };
    return 0xFF000000u | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

}

// Sky from deep blue to a warm horizon, the sun, a ridge of hills, and water
// that mirrors the sky darker with the sun's path broken into ripples.
std::vector<DWORD> TestPatternSource::EveningPixels(UINT width, UINT height, float hour)
{
    const float w = float(width), h = float(height), horizon = h * 0.62f;
    const Colour zenith = mix({38, 64, 128}, {24, 30, 78}, hour), glow = mix({236, 196, 150}, {250, 132, 62}, hour);
    const Colour sun_colour = mix({255, 246, 214}, {255, 196, 120}, hour);
    const float sun_x = w * (0.3f + 0.35f * hour), sun_y = horizon - h * (0.4f - 0.34f * hour), sun_r = h * 0.07f;
    std::vector<DWORD> pixels(std::size_t(width) * height);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            const float fx = float(x), fy = float(y);
            const float ridge = horizon - h * (0.05f + 0.035f * std::sin(fx / w * 7.0f) + 0.02f * std::sin(fx / w * 17.0f + 1.0f));
            Colour c;
            if (fy < horizon) {
                c = mix(zenith, glow, std::pow(fy / horizon, 1.6f));
                const float d = std::hypot(fx - sun_x, fy - sun_y);
                c = d < sun_r ? sun_colour : mix(c, sun_colour, 0.45f * std::exp(-(d - sun_r) / (h * 0.09f)));
                if (fy > ridge) c = mix({30, 26, 40}, c, 0.15f);
            } else {
                const float depth = (fy - horizon) / (h - horizon);
                c = mix(mix(glow, zenith, 0.35f), {14, 22, 46}, std::sqrt(depth));
                const float path = std::exp(-std::pow((fx - sun_x) / (sun_r * (1.2f + 2.5f * depth)), 2.0f));
                const float ripple = std::sin(fy * 1.3f + std::sin(fx * 0.08f) * 2.0f) > 0.2f ? 1.0f : 0.35f;
                c = mix(c, sun_colour, 0.7f * path * ripple * (1.0f - 0.6f * depth));
            }
            pixels[std::size_t(y) * width + x] = packed(c);
        }
    return pixels;
}

TestPatternSource* TestPatternSource::Create(IVideoSourceNotify* owner, IDirect3DDevice9* device, UINT width,
                                             UINT height, Picture picture)
{
    auto* source = new TestPatternSource(owner);
    if (!source->Fill(device, width, height, picture)) {
        source->Release();
        return nullptr;
    }
    return source;
}

// Bars: bars over the top three quarters, a grey ramp below them.
bool TestPatternSource::Fill(IDirect3DDevice9* device, UINT width, UINT height, Picture picture)
{
    if (!device || width == 0 || height == 0 ||
        FAILED(D3DXCreateTexture(device, width, height, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, m_texture.put())))
        return false;
    const std::vector<DWORD> evening =
        picture == Picture::Evening ? EveningPixels(width, height, 0.8f) : std::vector<DWORD>();
    D3DLOCKED_RECT locked{};
    if (FAILED(m_texture->LockRect(0, &locked, nullptr, 0))) return false;
    for (UINT y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < width; ++x) {
            const DWORD grey = DWORD(x * 255 / width);
            if (!evening.empty())
                row[x] = evening[std::size_t(y) * width + x];
            else
                row[x] = y < height * 3 / 4 ? BarColour(int(x * 8 / width)) : 0xFF000000u | grey << 16 | grey << 8 | grey;
        }
    }
    m_texture->UnlockRect(0);
    m_width = width;
    m_height = height;
    return true;
}

HRESULT TestPatternSource::GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords)
{
    if (coords) *coords = {0.0f, 0.0f, 1.0f, 1.0f};
    if (!texture) return S_OK;
    *texture = m_texture.get();
    if (*texture) (*texture)->AddRef();
    return S_OK;
}

HRESULT TestPatternSource::GetVideoSize(LONG* width, LONG* height, float* aspect)
{
    if (width) *width = LONG(m_width);
    if (height) *height = LONG(m_height);
    if (aspect) *aspect = float(m_width) / float(m_height);
    return S_OK;
}

void TestPatternSource::Present()
{
    if (m_owner) m_owner->FramePresented();
}

}
