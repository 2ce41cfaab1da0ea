#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using plat::ComPtr;
using test::make_device;
using test::make_font;

namespace {

constexpr DWORD background = 0xff000000u;

RECT measure(ID3DXFont* font, const std::u16string& text, DWORD format = 0x560)
{
    RECT r{0, 0, 2000, 2000};
    font->DrawTextW(nullptr, text.c_str(), INT(text.size()), &r, format, 0xff000000u);
    return r;
}

LONG width(const RECT& r) { return r.right - r.left; }

RECT draw(test::DeviceRig& rig, ID3DXFont* font, const std::u16string& text, RECT area, DWORD format)
{
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    font->DrawTextW(nullptr, text.c_str(), -1, &area, format, 0xffffffffu);
    ComPtr<IDirect3DSurface9> back;
    rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    return test::changed_box(back.get(), background);
}

}

TEST(Font, MeasuresRelativeWidths)
{
    auto rig = make_device(8, 8);
    for (const std::u16string face : {u"Arial", u"Tahoma", u"\u5b8b\u4f53", u"\u9ed1\u4f53", u"NoSuchFace"}) {
        SCOPED_TRACE(std::string(face.begin(), face.end()));
        auto font = make_font(rig.device.get(), face, -12);
        ASSERT_TRUE(font);
        EXPECT_GT(width(measure(font.get(), u"WWWW")), width(measure(font.get(), u"iiii")));
        EXPECT_GT(width(measure(font.get(), u"abcdef")), width(measure(font.get(), u"abc")));
        EXPECT_EQ(width(measure(font.get(), u"\t")), 8 * width(measure(font.get(), u"0")));
        EXPECT_GT(measure(font.get(), u"N").bottom, 0);
    }
    auto small = make_font(rig.device.get(), u"Arial", -10);
    auto large = make_font(rig.device.get(), u"Arial", -27);
    EXPECT_GT(width(measure(large.get(), u"Strimo")), width(measure(small.get(), u"Strimo")));
    EXPECT_GT(measure(large.get(), u"N").bottom, measure(small.get(), u"N").bottom);
    auto bold = make_font(rig.device.get(), u"\u5b8b\u4f53", -14, 700);
    auto plain = make_font(rig.device.get(), u"\u5b8b\u4f53", -14, 400);
    EXPECT_GE(width(measure(bold.get(), u"\u4e2d\u6587 text")), width(measure(plain.get(), u"\u4e2d\u6587 text")));
}

TEST(Font, LinesStackUnlessSingleLine)
{
    auto rig = make_device(8, 8);
    auto font = make_font(rig.device.get(), u"Arial", -12);
    RECT one = measure(font.get(), u"ab", 0x400);
    RECT two = measure(font.get(), u"ab\ncd", 0x400);
    RECT joined = measure(font.get(), u"ab\ncd", 0x420);
    EXPECT_EQ(two.bottom, 2 * one.bottom);
    EXPECT_EQ(joined.bottom, one.bottom);
    EXPECT_GT(width(joined), width(one));
}

TEST(Font, FormatFlagsPlaceText)
{
    auto rig = make_device(120, 60);
    auto font = make_font(rig.device.get(), u"Arial", -12);
    const RECT area{10, 10, 110, 50};
    RECT natural = draw(rig, font.get(), u"Hi", area, DT_LEFT | DT_TOP);
    ASSERT_LT(natural.left, natural.right);
    LONG w = natural.right - natural.left, h = natural.bottom - natural.top;
    EXPECT_LE(natural.left, area.left + 2);
    EXPECT_LE(natural.top, area.top + 4);

    RECT right = draw(rig, font.get(), u"Hi", area, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    EXPECT_GE(right.right, area.right - 3);
    EXPECT_LE(right.right, area.right);
    EXPECT_GE(right.bottom, area.bottom - 6);
    EXPECT_LE(right.bottom, area.bottom);

    RECT centred = draw(rig, font.get(), u"Hi", area, DT_CENTER | DT_VCENTER);
    LONG mid_x = (centred.left + centred.right) / 2, mid_y = (centred.top + centred.bottom) / 2;
    EXPECT_NEAR(mid_x, (area.left + area.right) / 2, 3);
    EXPECT_NEAR(mid_y, (area.top + area.bottom) / 2, 4);
    EXPECT_EQ(centred.right - centred.left, w);
    EXPECT_EQ(centred.bottom - centred.top, h);
}

TEST(Font, ClipsToRectangleUnlessNoClip)
{
    auto rig = make_device(120, 40);
    auto font = make_font(rig.device.get(), u"Arial", -12);
    const RECT narrow{10, 5, 20, 35};
    RECT clipped = draw(rig, font.get(), u"WWWWWW", narrow, 0);
    EXPECT_GE(clipped.left, narrow.left);
    EXPECT_LE(clipped.right, narrow.right);
    RECT loose = draw(rig, font.get(), u"WWWWWW", narrow, DT_NOCLIP);
    EXPECT_GT(loose.right, narrow.right);
    // An empty rectangle places the text at its corner without clipping it away.
    RECT at_point = draw(rig, font.get(), u"WW", RECT{30, 10, 30, 10}, 0);
    EXPECT_LT(at_point.left, at_point.right);
    EXPECT_GE(at_point.left, 29);
}

TEST(Font, DrawsThroughTheGivenSpriteTransform)
{
    auto rig = make_device(120, 60);
    auto font = make_font(rig.device.get(), u"Arial", -12);
    RECT plain = draw(rig, font.get(), u"Hi", RECT{0, 0, 0, 0}, DT_NOCLIP);
    ComPtr<ID3DXSprite> sprite;
    D3DXCreateSprite(rig.device.get(), sprite.put());
    D3DXMATRIX twice;
    D3DXMatrixScaling(&twice, 2, 2, 1);
    sprite->SetTransform(&twice);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    RECT at{0, 0, 0, 0};
    font->DrawTextW(sprite.get(), u"Hi", -1, &at, DT_NOCLIP, 0xffffffffu);
    sprite->End();
    ComPtr<IDirect3DSurface9> back;
    rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    RECT scaled = test::changed_box(back.get(), background);
    EXPECT_NEAR(scaled.right - scaled.left, 2 * (plain.right - plain.left), 2);
    EXPECT_NEAR(scaled.bottom - scaled.top, 2 * (plain.bottom - plain.top), 2);
}

TEST(Font, HalfTransparentColourDoesNotBrighten)
{
    auto rig = make_device(60, 30);
    auto font = make_font(rig.device.get(), u"Arial", -20);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
    RECT area{0, 0, 60, 30};
    font->DrawTextW(nullptr, u"MM", -1, &area, 0, 0x40ffffffu);
    ComPtr<IDirect3DSurface9> back;
    rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    DWORD brightest = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) brightest = std::max(brightest, test::pixel(back.get(), x, y) & 0xff);
    EXPECT_GT(brightest, 0x30u);
    EXPECT_LE(brightest, 0x41u);   // a quarter-opaque white never exceeds a quarter of full
}

TEST(Font, LatinFaceBorrowsChineseGlyphs)
{
    auto rig = make_device(8, 8);
    auto latin = make_font(rig.device.get(), u"Arial", -16);
    auto chinese = make_font(rig.device.get(), u"\u5b8b\u4f53", -16);
    const std::u16string words = u"\u9891\u9053\u9891\u9053";
    EXPECT_EQ(width(measure(latin.get(), words)), width(measure(chinese.get(), words)));
}

// A line goes to the device in one run when the sprite only moves by whole pixels, and glyph by glyph through
// textures otherwise; a quarter-pixel move point-samples the same texels, so both must leave the same pixels,
// also where slanted glyphs overlap, with the text blend (alpha adds) over a translucent background.
TEST(Font, LineRunsDrawAsGlyphByGlyph)
{
    auto rig = make_device(160, 40);
    D3DXFONT_DESCW desc{};
    desc.Height = -18;
    desc.Weight = 400;
    desc.Italic = TRUE;
    std::memcpy(desc.FaceName, u"Arial", 10);
    ComPtr<ID3DXFont> font;
    ASSERT_EQ(D3DXCreateFontIndirectW(rig.device.get(), &desc, font.put()), D3D_OK);
    ComPtr<ID3DXSprite> sprite;
    D3DXCreateSprite(rig.device.get(), sprite.put());
    ComPtr<IDirect3DSurface9> back;
    rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    auto draw_moved = [&](float by) {
        rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80203040u, 1.0f, 0);
        D3DXMATRIX move;
        D3DXMatrixTranslation(&move, by, by, 0);
        sprite->Begin(D3DXSPRITE_ALPHABLEND);
        sprite->SetTransform(&move);
        rig.device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
        rig.device->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
        rig.device->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
        rig.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);   // as text is drawn: no filtering
        rig.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        RECT area{4, 4, 150, 36};   // cuts the last glyphs: runs are clipped as glyphs are
        font->DrawTextW(sprite.get(), u"fffjjj WAVY lift-off WWWWWWW", -1, &area, DT_LEFT | DT_TOP, 0xc0ff8040u);
        sprite->End();
        std::vector<DWORD> pixels;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 160; ++x) pixels.push_back(test::pixel(back.get(), x, y));
        return pixels;
    };
    std::vector<DWORD> run = draw_moved(0.0f), one_by_one = draw_moved(0.25f);
    int drawn = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
        ASSERT_EQ(run[i], one_by_one[i]) << "at " << i % 160 << "," << i / 160;
        drawn += run[i] != 0x80203040u;
    }
    EXPECT_GT(drawn, 300);
}

// Glyphs wholly outside the viewport (a clip) draw nothing, whichever side they are on.
TEST(Font, TextOutsideTheViewportDrawsNothing)
{
    auto rig = make_device(120, 60);
    auto font = make_font(rig.device.get(), u"Arial", -12);
    const struct {
        const char* name;
        RECT area;
    } cases[] = {{"right of it", {80, 20, 120, 40}}, {"left of it", {-100, 20, 10, 40}}, {"below it", {30, 45, 90, 60}}};
    ComPtr<IDirect3DSurface9> back;
    rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        D3DVIEWPORT9 clip{20, 10, 50, 30, 0.0f, 1.0f};
        rig.device->SetViewport(&clip);
        RECT area = c.area;
        font->DrawTextW(nullptr, u"Wide text", -1, &area, DT_LEFT | DT_TOP | DT_NOCLIP, 0xffffffffu);
        test::expect_box(test::changed_box(back.get(), background), RECT{120, 60, 0, 0});
    }
}
