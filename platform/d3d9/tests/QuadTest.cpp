// Pixel probes of scaled and turned quads: which texels land where, and how
// the sampler's filters mix them.

#include "platform/d3d9/Direct3D.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using test::back_pixel;
using test::make_device;

namespace {

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

plat::ComPtr<IDirect3DTexture9> texture_of(IDirect3DDevice9* device, UINT w, UINT h, const std::vector<DWORD>& texels)
{
    auto texture = test::filled_texture(device, w, h, 0, D3DPOOL_MANAGED);
    for (UINT i = 0; i < texels.size(); ++i) test::set_texel(texture.get(), int(i % w), int(i / w), texels[i]);
    return texture;
}

// Draws the texture copied (no blend, no tint) onto the parallelogram whose texture corners (0,0), (1,0), (0,1) are at a, b, c.
void draw_copy(IDirect3DDevice9* device, IDirect3DTexture9* texture, const float a[2], const float b[2], const float c[2])
{
    const Vertex quad[4] = {{a[0], a[1], 0, 1, 0xffffffffu, 0, 0},
                            {b[0], b[1], 0, 1, 0xffffffffu, 1, 0},
                            {c[0], c[1], 0, 1, 0xffffffffu, 0, 1},
                            {b[0] + c[0] - a[0], b[1] + c[1] - a[1], 0, 1, 0xffffffffu, 1, 1}};
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    device->SetTexture(0, nullptr);
}

DWORD grey(int level) { return 0xff000000u | DWORD(level) * 0x010101u; }

struct Probe {
    int x, y;
    DWORD expected;
};

void expect_probes(IDirect3DDevice9* device, const std::vector<Probe>& probes)
{
    for (const Probe& p : probes) {
        DWORD got = back_pixel(device, p.x, p.y);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int(got >> shift & 0xff), int(p.expected >> shift & 0xff), 1)
                << "at " << p.x << "," << p.y << std::hex << " got " << got << " expected " << p.expected;
    }
}

}

// Enlarging uses the magnification filter, shrinking the minification filter; point picks the nearest texel,
// linear mixes the four around the pixel centre (clamped at the edges).
TEST(Quads, ScaledQuadsSampleAsTheSamplerStatesSay)
{
    const DWORD black = grey(0), white = grey(255);
    const struct {
        const char* name;
        UINT width, height;
        std::vector<DWORD> texels;
        float w, h;   // drawn size at (0, 0)
        DWORD mag, min;
        std::vector<Probe> probes;
    } cases[] = {
        {"enlarged, point", 2, 2, {black, white, white, black}, 8, 8, D3DTEXF_POINT, D3DTEXF_LINEAR,
         {{0, 0, black}, {3, 3, black}, {4, 3, white}, {3, 4, white}, {7, 7, black}}},
        {"enlarged across, linear", 2, 1, {black, white}, 8, 2, D3DTEXF_LINEAR, D3DTEXF_POINT,
         {{0, 0, black}, {1, 1, black}, {2, 0, grey(32)}, {3, 0, grey(96)}, {4, 1, grey(159)}, {5, 0, grey(223)},
          {6, 0, white}, {7, 1, white}}},
        {"enlarged down, linear", 1, 2, {black, white}, 2, 8, D3DTEXF_LINEAR, D3DTEXF_POINT,
         {{0, 1, black}, {1, 2, grey(32)}, {0, 3, grey(96)}, {1, 4, grey(159)}, {0, 5, grey(223)}, {1, 6, white}}},
        {"enlarged both ways, linear", 2, 2, {black, white, white, black}, 8, 8, D3DTEXF_LINEAR, D3DTEXF_POINT,
         {{0, 0, black}, {3, 3, grey(120)}, {4, 4, grey(120)}, {3, 4, grey(135)}, {7, 0, white}}},
        {"shrunk, point", 4, 1, {black, white, black, white}, 2, 1, D3DTEXF_LINEAR, D3DTEXF_POINT,
         {{0, 0, white}, {1, 0, white}}},
        {"shrunk, linear", 4, 1, {black, white, black, white}, 2, 1, D3DTEXF_POINT, D3DTEXF_LINEAR,
         {{0, 0, grey(128)}, {1, 0, grey(128)}}},
        {"one texel a pixel, linear", 2, 2, {black, white, white, black}, 2, 2, D3DTEXF_LINEAR, D3DTEXF_LINEAR,
         {{0, 0, black}, {1, 0, white}, {0, 1, white}, {1, 1, black}}},
    };
    test::DeviceRig rig = make_device(10, 10);
    IDirect3DDevice9* d = rig.device.get();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ffu, 1.0f, 0);
        d->SetSamplerState(0, D3DSAMP_MAGFILTER, c.mag);
        d->SetSamplerState(0, D3DSAMP_MINFILTER, c.min);
        auto texture = texture_of(d, c.width, c.height, c.texels);
        const float a[2] = {0, 0}, b[2] = {c.w, 0}, down[2] = {0, c.h};
        draw_copy(d, texture.get(), a, b, down);
        expect_probes(d, c.probes);
        expect_probes(d, {{int(c.w), 0, 0xff0000ffu}, {0, int(c.h), 0xff0000ffu}});   // nothing past the quad
    }
}

TEST(Quads, TurnedQuadsPutEachTexelWhereTheTurnTakesIt)
{
    const DWORD red = 0xffff0000u, green = 0xff00ff00u, blue = 0xff0000ffu, white = 0xffffffffu, back = 0xff202020u;
    const float s = std::sqrt(0.5f) * 8;   // half the diagonal of an 8 x 8 square turned by 45 degrees
    const struct {
        const char* name;
        float a[2], b[2], c[2];   // where texture corners (0,0), (1,0), (0,1) land
        std::vector<Probe> probes;
    } cases[] = {
        {"a quarter turn clockwise", {8, 0}, {8, 8}, {0, 0},
         {{6, 1, red}, {6, 6, green}, {1, 1, blue}, {1, 6, white}, {8, 4, back}}},
        {"a half turn", {8, 8}, {0, 8}, {8, 0}, {{6, 6, red}, {1, 6, green}, {6, 1, blue}, {1, 1, white}}},
        {"an eighth of a turn about (8, 8)", {8, 8 - s}, {8 + s, 8}, {8 - s, 8},
         {{8, 3, red}, {12, 8, green}, {4, 8, blue}, {8, 12, white}, {8, 1, back}, {3, 3, back}, {14, 8, back},
          {13, 13, back}}},
    };
    test::DeviceRig rig = make_device(16, 16);
    IDirect3DDevice9* d = rig.device.get();
    // Quadrants of one colour each, so a probe anywhere in a quadrant meets that colour.
    std::vector<DWORD> texels(64);
    for (int i = 0; i < 64; ++i) {
        bool right = i % 8 >= 4, lower = i / 8 >= 4;
        texels[std::size_t(i)] = lower ? (right ? white : blue) : (right ? green : red);
    }
    auto texture = texture_of(d, 8, 8, texels);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        d->Clear(0, nullptr, D3DCLEAR_TARGET, back, 1.0f, 0);
        draw_copy(d, texture.get(), c.a, c.b, c.c);
        expect_probes(d, c.probes);
    }
}

// A mirrored or turned quad filters its texels along its own axes, and a viewport that cuts a filtered quad
// leaves the pixels it keeps as they are without the cut.
TEST(Quads, MirroredTurnedAndCutQuadsFilterAsWhole)
{
    const DWORD black = grey(0), white = grey(255), back = 0xff0000ffu;
    const std::vector<DWORD> across{black, white}, checks{black, white, white, black};
    const struct {
        const char* name;
        const std::vector<DWORD>& texels;   // 2 x 1 or 2 x 2
        float a[2], b[2], c[2];
        DWORD view_left;
        std::vector<Probe> probes;
    } cases[] = {
        {"mirrored across", across, {8, 0}, {0, 0}, {8, 2}, 0,
         {{7, 0, black}, {6, 1, black}, {5, 0, grey(32)}, {4, 0, grey(96)}, {3, 1, grey(159)}, {2, 0, grey(223)},
          {0, 0, white}}},
        {"turned a quarter", across, {2, 0}, {2, 8}, {0, 0}, 0,
         {{1, 0, black}, {0, 1, black}, {0, 2, grey(32)}, {1, 3, grey(96)}, {0, 4, grey(159)}, {1, 5, grey(223)},
          {0, 6, white}, {1, 7, white}, {2, 4, back}}},
        // The quarter turn swaps the checks: each pixel is the upright mix of the other colours.
        {"checks turned a quarter", checks, {8, 0}, {8, 8}, {0, 0}, 0,
         {{0, 0, white}, {3, 3, grey(135)}, {4, 4, grey(135)}, {3, 4, grey(120)}, {7, 0, black}, {0, 7, black}}},
        {"cut by the viewport", across, {0, 0}, {8, 0}, {0, 2}, 3,
         {{0, 0, back}, {2, 1, back}, {3, 0, grey(96)}, {4, 1, grey(159)}, {5, 0, grey(223)}, {7, 0, white}}},
    };
    test::DeviceRig rig = make_device(10, 8);
    IDirect3DDevice9* d = rig.device.get();
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto texture = texture_of(d, 2, UINT(c.texels.size() / 2), c.texels);
        D3DVIEWPORT9 whole{0, 0, 10, 8, 0.0f, 1.0f}, view{c.view_left, 0, 10 - c.view_left, 8, 0.0f, 1.0f};
        d->SetViewport(&whole);
        d->Clear(0, nullptr, D3DCLEAR_TARGET, back, 1.0f, 0);
        d->SetViewport(&view);
        draw_copy(d, texture.get(), c.a, c.b, c.c);
        expect_probes(d, c.probes);
    }
}
