#include "toolkit/render/tests/RenderRig.h"

#include <gtest/gtest.h>

using namespace RenderEngine;

namespace {

// Each texel names its own coordinates: red = 16 x, green = 16 y.
DWORD coded(int x, int y) { return 0xff000000u | DWORD(x * 16) << 16 | DWORD(y * 16) << 8; }

struct Probe {
    int dx, dy;   // destination pixel
    int sx, sy;   // source texel it must show
};

}

TEST(NinePiece, PiecesKeepBordersAndStretchTheRest)
{
    // An 8 x 8 picture with 2-texel borders drawn at (4, 4).
    const struct {
        const char* name;
        float width, height;
        std::vector<Probe> probes;
        RECT covered;
    } cases[] = {
        {"as large as the picture: four quarters", 8, 8,
         {{4, 4, 0, 0}, {7, 7, 3, 3}, {8, 4, 4, 0}, {11, 11, 7, 7}}, {4, 4, 12, 12}},
        {"smaller: four halves from the corners", 6, 6,
         {{4, 4, 0, 0}, {6, 6, 2, 2}, {7, 4, 5, 0}, {9, 9, 7, 7}}, {4, 4, 10, 10}},
        {"larger both ways: nine pieces", 16, 16,
         {{4, 4, 0, 0}, {5, 5, 1, 1}, {6, 4, 2, 0}, {17, 4, 5, 0}, {18, 18, 6, 6}, {19, 19, 7, 7}, {12, 12, 4, 4}},
         {4, 4, 20, 20}},
        {"only wider: three columns, two rows", 16, 8,
         {{4, 4, 0, 0}, {19, 11, 7, 7}, {12, 7, 4, 3}, {12, 8, 4, 4}}, {4, 4, 20, 12}},
        {"only taller: two columns, three rows", 8, 16,
         {{4, 4, 0, 0}, {11, 19, 7, 7}, {7, 12, 3, 4}, {8, 12, 4, 4}}, {4, 4, 12, 20}},
        {"fractions are cut", 8.9f, 8.9f, {{11, 11, 7, 7}}, {4, 4, 12, 12}},
        {"width under one draws nothing", 0.9f, 8, {}, {24, 24, 0, 0}},
    };
    test::D3DScene scene(24, 24);
    std::vector<DWORD> pixels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pixels.push_back(coded(x, y));
    auto t = test::texture_of(scene.rig.device.get(), 8, 8, pixels);
    auto pic = test::whole_picture(t.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000u, 1.0f, 0);
        DrawPictureNinePiece(pic.get(), 1.0f, 4.5f, 4.5f, c.width, c.height, 2, 2, 2, 2);
        for (const Probe& p : c.probes) {
            DWORD got = scene.at(p.dx, p.dy);
            EXPECT_EQ(got, coded(p.sx, p.sy)) << "at " << p.dx << "," << p.dy << " texel " << (got >> 16 & 0xff) / 16
                                              << "," << (got >> 8 & 0xff) / 16;
        }
        test::expect_box(scene.drawn(0x00000000u), c.covered);
        EXPECT_EQ(pic->m_right, 8.0f);   // the source rectangle is put back
        EXPECT_EQ(pic->m_bottom, 8.0f);
    }
}
