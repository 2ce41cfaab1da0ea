#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <fstream>
#include <iterator>

using plat::ComPtr;
using test::back_pixel;
using test::filled_texture;
using test::make_device;
using test::pixel;

namespace {

struct TempDir {
    plat::TempFolder folder;
    std::u16string file(const std::string& name) const { return plat::utf8_to_utf16(folder / name); }
};

std::string read_bytes(const std::u16string& path)
{
    std::ifstream in(plat::utf16_to_utf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::u16string& path, const std::string& bytes)
{
    std::ofstream(plat::utf16_to_utf8(path), std::ios::binary) << bytes;
}

// A 3 x 2 picture: opaque red, half-transparent green, transparent; opaque blue, white, black.
ComPtr<IDirect3DTexture9> sample_picture(IDirect3DDevice9* device)
{
    auto texture = filled_texture(device, 3, 2, 0, D3DPOOL_MANAGED);
    const DWORD texels[6] = {0xffff0000u, 0x80008000u, 0x00000000u, 0xff0000ffu, 0xffffffffu, 0xff000000u};
    for (int i = 0; i < 6; ++i) test::set_texel(texture.get(), i % 3, i / 3, texels[i]);
    return texture;
}

ComPtr<IDirect3DTexture9> load(IDirect3DDevice9* device, const std::u16string& path, HRESULT expected = D3D_OK)
{
    ComPtr<IDirect3DTexture9> texture;
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXCreateTextureFromFileExW(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0, &info, nullptr,
                                           texture.put()),
              expected);
    return texture;
}

}

TEST(D3DXPictures, PngRoundTripKeepsPremultipliedTexels)
{
    TempDir dir;
    auto rig = make_device(4, 4);
    auto picture = sample_picture(rig.device.get());
    auto path = dir.file("p.png");
    ASSERT_EQ(D3DXSaveTextureToFileW(path.c_str(), D3DXIFF_PNG, picture.get(), nullptr), D3D_OK);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileW(path.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    auto loaded = load(rig.device.get(), path);
    ASSERT_TRUE(loaded);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pixel(loaded.get(), i % 3, i / 3), pixel(picture.get(), i % 3, i / 3)) << i;
}

TEST(D3DXPictures, PngFileWithStraightAlphaLoadsPremultiplied)
{
    // The save straightens colour: the file holds green 0x00ff00 at alpha 0x80.
    TempDir dir;
    auto rig = make_device(4, 4);
    auto picture = filled_texture(rig.device.get(), 1, 1, 0x80008000u, D3DPOOL_MANAGED);
    auto path = dir.file("half.png");
    ASSERT_EQ(D3DXSaveTextureToFileW(path.c_str(), D3DXIFF_PNG, picture.get(), nullptr), D3D_OK);
    std::string bytes = read_bytes(path);
    ASSERT_NE(bytes.find("IDAT"), std::string::npos);
    auto loaded = load(rig.device.get(), path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(pixel(loaded.get(), 0, 0), 0x80008000u);
}

TEST(D3DXPictures, JpegRoundTripIsClose)
{
    TempDir dir;
    auto rig = make_device(4, 4);
    auto picture = filled_texture(rig.device.get(), 16, 8, 0xff3070b0u, D3DPOOL_MANAGED);
    auto path = dir.file("t.jpg");
    ASSERT_EQ(D3DXSaveTextureToFileW(path.c_str(), D3DXIFF_JPG, picture.get(), nullptr), D3D_OK);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileW(path.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    auto loaded = load(rig.device.get(), path);
    ASSERT_TRUE(loaded);
    DWORD got = pixel(loaded.get(), 5, 5);
    EXPECT_EQ(got >> 24, 0xffu);
    for (int shift = 0; shift < 24; shift += 8)
        EXPECT_NEAR(int(got >> shift & 0xff), int(0xff3070b0u >> shift & 0xff), 4) << std::hex << got;
}

TEST(D3DXPictures, BadFilesFailWithDebugLine)
{
    TempDir dir;
    auto rig = make_device(4, 4);
    auto picture = sample_picture(rig.device.get());
    auto good_png = dir.file("good.png"), good_jpg = dir.file("good.jpg");
    D3DXSaveTextureToFileW(good_png.c_str(), D3DXIFF_PNG, picture.get(), nullptr);
    auto big = filled_texture(rig.device.get(), 64, 64, 0xff808080u, D3DPOOL_MANAGED);
    D3DXSaveTextureToFileW(good_jpg.c_str(), D3DXIFF_JPG, big.get(), nullptr);
    std::string png = read_bytes(good_png), jpg = read_bytes(good_jpg);
    // A header that claims `columns`, with its checksum fixed so only the size lies.
    auto claiming = [&png](std::uint32_t columns) {
        std::string bytes = png;
        for (int i = 0; i < 4; ++i) bytes[16 + i] = char(columns >> (24 - 8 * i));
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17);
        for (int i = 0; i < 4; ++i) bytes[29 + i] = char(crc >> (24 - 8 * i));
        return bytes;
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"text.png", "this is no picture at all"},
        {"empty.png", ""},
        {"cut.png", png.substr(0, png.size() / 2)},
        {"cut.jpg", jpg.substr(0, jpg.size() / 2)},
        {"wide.png", claiming(300)},
        {"huge.png", claiming(100000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto path = dir.file(c.name);
        write_bytes(path, c.bytes);
        plat::DebugCapture capture;
        auto texture = load(rig.device.get(), path, D3DXERR_INVALIDDATA);
        EXPECT_FALSE(texture);
        EXPECT_TRUE(capture.contains("cannot read picture"));
    }
    auto missing = dir.file("missing.png");
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXGetImageInfoFromFileW(missing.c_str(), &info), D3DXERR_INVALIDDATA);
}

TEST(D3DXPictures, LoadSurfaceFromSurfaceCopiesARegion)
{
    auto rig = make_device(4, 4);
    auto picture = sample_picture(rig.device.get());
    ComPtr<IDirect3DTexture9> copy;
    ASSERT_EQ(D3DXCreateTexture(rig.device.get(), 2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, copy.put()), D3D_OK);
    ComPtr<IDirect3DSurface9> from, to;
    picture->GetSurfaceLevel(0, from.put());
    copy->GetSurfaceLevel(0, to.put());
    RECT region{1, 1, 3, 2};
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, &region, D3DX_FILTER_NONE, 0),
              D3D_OK);
    EXPECT_EQ(pixel(to.get(), 0, 0), 0xffffffffu);
    EXPECT_EQ(pixel(to.get(), 1, 0), 0xff000000u);
    RECT outside{2, 1, 4, 2};
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, &outside, D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
}

TEST(D3DXMatrices, ProductAppliesLeftFirst)
{
    D3DXMATRIX scale, turn, move, m;
    D3DXMatrixScaling(&scale, 2, 3, 1);
    D3DXMatrixRotationZ(&turn, float(M_PI / 2));
    D3DXMatrixTranslation(&move, 10, 20, 0);
    D3DXMatrixMultiply(&m, &scale, &turn);
    D3DXMatrixMultiply(&m, &m, &move);
    // (1, 1) scaled to (2, 3), turned a quarter to (-3, 2), moved to (7, 22).
    float x = 1 * m.m[0][0] + 1 * m.m[1][0] + m.m[3][0], y = 1 * m.m[0][1] + 1 * m.m[1][1] + m.m[3][1];
    EXPECT_NEAR(x, 7.0f, 1e-4);
    EXPECT_NEAR(y, 22.0f, 1e-4);
}
