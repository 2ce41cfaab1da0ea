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

namespace {

void blend_over(IDirect3DDevice9* device)
{
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

// Draws the texture tinted by `diffuse` (modulated) onto the upright rectangle (x, y, w, h).
void draw_tinted(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y, float w, float h,
                 D3DCOLOR diffuse)
{
    const Vertex quad[4] = {{x, y, 0, 1, diffuse, 0, 0},
                            {x + w, y, 0, 1, diffuse, 1, 0},
                            {x, y + h, 0, 1, diffuse, 0, 1},
                            {x + w, y + h, 0, 1, diffuse, 1, 1}};
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    device->SetTexture(0, nullptr);
}

// A 4 x 4 picture with opaque, translucent and empty texels.
std::vector<DWORD> mixed_texels()
{
    return {0xffff0000u, 0x80400000u, 0x00000000u, 0xff00ff00u, 0x40102030u, 0xffffffffu, 0x20202020u, 0x00000000u,
            0xff0000ffu, 0x00000000u, 0xc0603000u, 0x80808080u, 0x10000000u, 0xff123456u, 0x00000000u, 0xfffefdfcu};
}

}

// A clear is written by the draws that follow it, row by row, or when the
// pixels are read: whatever the draws, the pixels are the ones a clear
// written at once would give. Each case runs twice, on two devices: once
// with the clear written before the draws (a lock reads the target), once
// left to the draws.
TEST(Quads, AClearLeftToTheDrawsGivesThePixelsOfAWrittenOne)
{
    const D3DRECT part{5, 3, 27, 19};
    const struct {
        const char* name;
        const D3DRECT* cleared;   // null: the whole target
        void (*draw)(IDirect3DDevice9* device, IDirect3DTexture9* texture);
    } cases[] = {
        {"opaque copy over part of it", nullptr, [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             draw_tinted(d, t, 3, 2, 4, 4, 0xffffffffu);
         }},
        {"blended and faded, enlarged across rows and past the edge", nullptr,
         [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             blend_over(d);
             draw_tinted(d, t, -5, 4, 30, 13, 0xe6e6e6e6u);
         }},
        {"filtered and enlarged", nullptr, [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             blend_over(d);
             d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
             draw_tinted(d, t, 7, 1, 21, 17, 0xffffffffu);
         }},
        {"turned", nullptr, [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             blend_over(d);
             const float a[2] = {16, 1}, b[2] = {28, 13}, c[2] = {4, 13};
             draw_copy(d, t, a, b, c);
         }},
        {"copied with an alpha test that keeps what is below", nullptr, [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
             d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
             d->SetRenderState(D3DRS_ALPHAREF, 0x60);
             draw_tinted(d, t, 0, 0, 32, 24, 0xffffffffu);
         }},
        {"two draws over one another", nullptr, [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             blend_over(d);
             draw_tinted(d, t, 2, 2, 8, 8, 0xffffffffu);
             draw_tinted(d, t, 6, 5, 20, 9, 0x80808080u);
         }},
        {"a cleared part, drawn across its edges", &part, [](IDirect3DDevice9* d, IDirect3DTexture9* t) {
             blend_over(d);
             draw_tinted(d, t, 1, 6, 31, 6, 0xffffffffu);
             draw_tinted(d, t, 20, 0, 4, 24, 0xc0c0c0c0u);
         }},
        {"text", nullptr, [](IDirect3DDevice9* d, IDirect3DTexture9*) {
             auto font = test::make_font(d, u"DejaVu Sans", -12);
             RECT area{2, 2, 30, 22};
             font->DrawTextW(nullptr, u"Ag", -1, &area, DT_LEFT | DT_TOP, 0xffe0c040u);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<DWORD> pictures[2];
        for (const bool written_first : {true, false}) {
            auto rig = make_device(32, 24);
            auto texture = texture_of(rig.device.get(), 4, 4, mixed_texels());
            rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff203040u, 1.0f, 0);   // what the clear lies over
            rig.device->Clear(c.cleared ? 1 : 0, c.cleared, D3DCLEAR_TARGET, 0x80102030u, 1.0f, 0);
            if (written_first) back_pixel(rig.device.get(), 0, 0);
            c.draw(rig.device.get(), texture.get());
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 32; ++x) pictures[written_first ? 0 : 1].push_back(back_pixel(rig.device.get(), x, y));
        }
        EXPECT_EQ(pictures[1], pictures[0]);
    }
}
