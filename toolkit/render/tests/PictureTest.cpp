#include "toolkit/render/font.h"
#include "toolkit/render/tests/RenderRig.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

using namespace RenderEngine;

namespace {

struct PictureFiles {
    plat::TempFolder dir;
    std::u16string path(const std::string& name) const { return plat::utf8_to_utf16(dir / name); }
    // Saves premultiplied pixels as a PNG (stored straight, as picture files are).
    std::u16string png(IDirect3DDevice9* device, const std::string& name, int w, int h, const std::vector<DWORD>& px)
    {
        auto t = test::texture_of(device, w, h, px);
        auto d3d = plat::ComPtr<IDirect3DTexture9>::adopt(t->GetD3DTexture());
        std::u16string file = path(name);
        EXPECT_EQ(D3DXSaveTextureToFileW(file.c_str(), D3DXIFF_PNG, d3d.get(), nullptr), D3D_OK);
        return file;
    }
    std::u16string write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return path(name);
    }
    std::string read(const std::u16string& file)
    {
        std::ifstream in(plat::utf16_to_utf8(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

const std::vector<DWORD> sample = {0xffff8040u, 0x80402010u, 0x00000000u, 0xff000000u};

}

TEST(Texture, OpacityScalesColourAndKeepsAlpha)
{
    test::D3DScene scene(4, 4);
    PictureFiles files;
    auto file = files.png(scene.rig.device.get(), "p.png", 2, 2, sample);
    const struct {
        float opacity;
        std::vector<DWORD> expected;
    } cases[] = {
        {255, sample},
        {128, {0xff804020u, 0x80201008u, 0x00000000u, 0xff000000u}},
        {0, {0xff000000u, 0x80000000u, 0x00000000u, 0xff000000u}},
        {400, sample},   // clamped to 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opacity);
        texture t(scene.rig.device.get(), 7, "skin");
        ASSERT_TRUE(t.Load(file, c.opacity));
        EXPECT_EQ(t.GetWidth(), 2.0f);
        EXPECT_EQ(t.GetHeight(), 2.0f);
        EXPECT_EQ(t.GetPath(), file);
        for (int i = 0; i < 4; ++i) test::expect_near_color(test::texel(&t, i % 2, i / 2), c.expected[i]);
    }
}

TEST(Texture, BadPicturesLoadEmptyAndDrawNothing)
{
    test::D3DScene scene(8, 8);
    PictureFiles files;
    auto good = files.png(scene.rig.device.get(), "good.png", 2, 2, sample);
    std::string bytes = files.read(good);
    std::string lying = bytes;
    lying[16 + 3] = 9;   // width 9 in the header; its checksum no longer matches
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cut.png", bytes.substr(0, bytes.size() - 20)},
        {"wrong-size.png", lying},
        {"words.png", "GIF89a? no, just words"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = files.write(c.name, c.bytes);
        plat::DebugCapture capture;
        texture t(scene.rig.device.get(), 0, c.name);
        EXPECT_FALSE(t.Load(file, 255));
        EXPECT_TRUE(capture.contains("texture: cannot load"));
        EXPECT_EQ(t.GetWidth(), 0.0f);
        EXPECT_EQ(t.GetD3DTexture(), nullptr);
        EXPECT_TRUE(t.GetPath().empty());
        d3dpic pic(&t, 0, 0, t.GetWidth(), t.GetHeight());
        EXPECT_EQ(pic.GetSize().x, 0.0f);
        RenderEngine::DrawPicture(&pic, 0, 0, 8, 8, 1.0f);
        t.RestoreDeviceObject();   // nothing to restore from: stays empty
        EXPECT_EQ(t.GetD3DTexture(), nullptr);
    }
    EXPECT_EQ(scene.drawn(0xff000000u).right, 0);
}

TEST(Texture, PictureDrawsAgainAfterDeviceReset)
{
    test::D3DScene scene(4, 4);
    PictureFiles files;
    auto file = files.png(scene.rig.device.get(), "p.png", 2, 2, sample);
    texture t(scene.rig.device.get(), 0, "skin");
    ASSERT_TRUE(t.Load(file, 255));
    d3dpic pic(&t, 0, 0, 2, 2);
    EXPECT_EQ(pic.GetName(), "skin");
    EXPECT_EQ(pic.GetPath(), file);
    EXPECT_EQ(pic.m_filter, 1);
    t.ReleaseDeviceObject();
    RenderEngine::DrawPicture(&pic, 0, 0, 0, 0, 1.0f);
    EXPECT_EQ(scene.at(0, 0), 0xff000000u);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 4;
    pp.BackBufferHeight = 4;
    ASSERT_EQ(scene.rig.device->Reset(&pp), D3D_OK);
    t.RestoreDeviceObject();
    scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
    RenderEngine::DrawPicture(&pic, 0, 0, 0, 0, 1.0f);
    EXPECT_EQ(scene.at(0, 0), 0xffff8040u);
}

TEST(Font, CharactersMeasureAsTheTextWidgetsExpect)
{
    test::D3DScene scene(4, 4);
    auto d3dx = test::make_font(scene.rig.device.get(), u"\u5b8b\u4f53", -12);
    d3dfont f(d3dx.get());
    EXPECT_EQ(f.CharWidth(u'\t'), 8 * f.CharWidth(u'0'));
    EXPECT_EQ(f.CharWidth(u'\n'), f.CharWidth(u'.'));
    EXPECT_EQ(f.CharWidth(u' '), f.CharWidth(u'.'));
    EXPECT_GT(f.CharWidth(u'W'), f.CharWidth(u'i'));
    EXPECT_GT(f.CharWidth(u'\u4e2d'), 0.0f);
    UI::fpoint tab = f.CharExtent(u'\t'), n = f.CharExtent(u'N');
    EXPECT_EQ(tab.x, n.x);
    EXPECT_EQ(tab.y, n.y);
    EXPECT_GT(n.y, 0.0f);
    EXPECT_EQ(f.GetKind(), 203);
    f.ReleaseDeviceObject();
    EXPECT_EQ(f.CharWidth(u'W'), 0.0f);
    EXPECT_EQ(f.CharExtent(u'W').y, 0.0f);
    font plain;
    EXPECT_EQ(plain.CharWidth(u'x'), 20.0f);
    EXPECT_EQ(plain.CharExtent(u'x').y, 10.0f);
}
