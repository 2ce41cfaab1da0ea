#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <cmath>

using plat::ComPtr;
using test::back_pixel;
using test::filled_texture;
using test::make_device;

namespace {

constexpr DWORD background = 0xff202020u;

D3DXMATRIX identity()
{
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

struct SpriteRig {
    test::DeviceRig rig = make_device(16, 16);
    ComPtr<ID3DXSprite> sprite;
    SpriteRig()
    {
        EXPECT_EQ(D3DXCreateSprite(rig.device.get(), sprite.put()), D3D_OK);
        rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    }
    RECT drawn()
    {
        ComPtr<IDirect3DSurface9> back;
        rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
        return test::changed_box(back.get(), background);
    }
};

}

TEST(Sprite, TransformsPlaceTheQuad)
{
    D3DXMATRIX scale, turn, move, both;
    D3DXMatrixScaling(&scale, 2, 3, 1);
    D3DXMatrixRotationZ(&turn, float(M_PI / 2));
    D3DXMatrixTranslation(&move, 8, 2, 0);
    D3DXMatrixMultiply(&both, &turn, &move);
    const struct {
        const char* name;
        D3DXMATRIX transform;
        D3DXVECTOR3 position;
        RECT expected;
    } cases[] = {
        {"position only", identity(), {3, 4, 0}, {3, 4, 7, 6}},
        {"scaled", scale, {1, 1, 0}, {2, 3, 10, 9}},
        {"quarter turn then moved", both, {0, 0, 0}, {6, 2, 8, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpriteRig s;
        auto texture = filled_texture(s.rig.device.get(), 4, 2, 0xffff0000u, D3DPOOL_MANAGED);
        s.sprite->SetTransform(&c.transform);
        ASSERT_EQ(s.sprite->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
        ASSERT_EQ(s.sprite->Draw(texture.get(), nullptr, nullptr, &c.position, 0xffffffffu), D3D_OK);
        s.sprite->End();
        test::expect_box(s.drawn(), c.expected);
    }
}

TEST(Sprite, SourceRectangleAndCentreCutAndShift)
{
    SpriteRig s;
    auto texture = filled_texture(s.rig.device.get(), 4, 4, 0xff0000ffu, D3DPOOL_MANAGED);
    test::set_texel(texture.get(), 2, 1, 0xff00ff00u);
    RECT src{2, 1, 4, 3};
    D3DXVECTOR3 centre{1, 1, 0}, at{6, 6, 0};
    s.sprite->Begin(0);
    s.sprite->Draw(texture.get(), &src, &centre, &at, 0xffffffffu);
    s.sprite->End();
    EXPECT_EQ(back_pixel(s.rig.device.get(), 5, 5), 0xff00ff00u);
    EXPECT_EQ(back_pixel(s.rig.device.get(), 6, 6), 0xff0000ffu);
    EXPECT_EQ(back_pixel(s.rig.device.get(), 7, 7), background);
}

TEST(Sprite, ColourModulatesPremultipliedTexels)
{
    const struct {
        const char* name;
        DWORD texel, color, flags, expected;
    } cases[] = {
        {"white keeps the texel", 0xff804020u, 0xffffffffu, D3DXSPRITE_ALPHABLEND, 0xff804020u},
        {"tint multiplies", 0xffffffffu, 0xff80ff00u, D3DXSPRITE_ALPHABLEND, 0xff80ff00u},
        {"premultiplied fade over background", 0xffffffffu, 0x80808080u, D3DXSPRITE_ALPHABLEND, 0xff909090u},
        {"transparent texel is dropped", 0x00000000u, 0xffffffffu, 0, background},
        {"no blending copies", 0x80404040u, 0xffffffffu, 0, 0x80404040u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpriteRig s;
        auto texture = filled_texture(s.rig.device.get(), 2, 2, c.texel, D3DPOOL_MANAGED);
        D3DXVECTOR3 at{4, 4, 0};
        s.sprite->Begin(c.flags);
        s.sprite->Draw(texture.get(), nullptr, nullptr, &at, c.color);
        s.sprite->End();
        DWORD got = back_pixel(s.rig.device.get(), 5, 5);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int(got >> shift & 0xff), int(c.expected >> shift & 0xff), 1) << std::hex << got;
    }
}

TEST(Sprite, EndRestoresStatesAndUnbindsTexture)
{
    SpriteRig s;
    IDirect3DDevice9* d = s.rig.device.get();
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    auto texture = filled_texture(d, 2, 2, 0xffffffffu, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    s.sprite->Begin(D3DXSPRITE_ALPHABLEND);
    D3DXVECTOR3 at{0, 0, 0};
    s.sprite->Draw(texture.get(), nullptr, nullptr, &at, 0xffffffffu);
    EXPECT_EQ(s.sprite->Begin(0), D3DERR_INVALIDCALL);
    s.sprite->End();
    DWORD value = 0;
    d->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, DWORD(D3DBLEND_SRCALPHA));
    d->GetRenderState(D3DRS_ALPHATESTENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));
    d->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
    EXPECT_EQ(s.sprite->End(), D3DERR_INVALIDCALL);
    // Nothing of the default pool stays bound, so the device can be reset once the texture goes.
    texture.reset();
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 16;
    pp.BackBufferHeight = 16;
    EXPECT_EQ(d->Reset(&pp), D3D_OK);
}
