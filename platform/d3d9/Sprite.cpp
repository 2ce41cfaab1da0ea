// The D3DX sprite: screen-space textured quads through the device, one per Draw.

#include "platform/d3d9/D3DX.h"
#include "GlyphRun.h"
#include "SoftwareResources.h"

#include "platform/com/ComObject.h"

#include "platform/com/ComPtr.h"

#include <array>
#include <cmath>
#include <atomic>
#include <utility>

namespace {

constexpr std::array sprite_render_states = {
    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,  D3DRS_DESTBLEND, D3DRS_BLENDOP,  D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_ALPHATESTENABLE,  D3DRS_ALPHAFUNC, D3DRS_ALPHAREF,  D3DRS_ZENABLE,  D3DRS_CULLMODE,
    D3DRS_LIGHTING};
constexpr std::array sprite_stage_states = {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                                            D3DTSS_ALPHAOP, D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2};
constexpr std::array sprite_sampler_states = {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER,
                                              D3DSAMP_MIPFILTER};

struct SpriteVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

class Sprite final : public plat::ComObject<ID3DXSprite> {
public:
    explicit Sprite(IDirect3DDevice9* device) : m_device(device) { D3DXMatrixIdentity(&m_transform); }

    HRESULT GetDevice(IDirect3DDevice9** device) override
    {
        if (device == nullptr) return D3DERR_INVALIDCALL;
        *device = m_device.get();
        (*device)->AddRef();
        return D3D_OK;
    }
    HRESULT GetTransform(D3DXMATRIX* transform) override
    {
        if (transform == nullptr) return D3DERR_INVALIDCALL;
        *transform = m_transform;
        return D3D_OK;
    }
    HRESULT SetTransform(const D3DXMATRIX* transform) override
    {
        if (transform == nullptr) return D3DERR_INVALIDCALL;
        m_transform = *transform;
        return D3D_OK;
    }
    HRESULT Begin(DWORD flags) override;
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* src_rect, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override;
    HRESULT End() override;

    bool draw_run(plat::raster::Coverage* glyphs, std::size_t count, D3DCOLOR color);

private:
    plat::ComPtr<IDirect3DDevice9> m_device;
    D3DXMATRIX m_transform;
    bool m_begun{false};
    std::array<DWORD, sprite_render_states.size()> m_saved_render{};
    std::array<DWORD, sprite_stage_states.size()> m_saved_stage{};
    std::array<DWORD, sprite_sampler_states.size()> m_saved_sampler{};
};

HRESULT Sprite::Begin(DWORD flags)
{
    if (m_begun) return D3DERR_INVALIDCALL;
    IDirect3DDevice9* d = m_device.get();
    for (std::size_t i = 0; i < sprite_render_states.size(); ++i) d->GetRenderState(sprite_render_states[i], &m_saved_render[i]);
    for (std::size_t i = 0; i < sprite_stage_states.size(); ++i) d->GetTextureStageState(0, sprite_stage_states[i], &m_saved_stage[i]);
    for (std::size_t i = 0; i < sprite_sampler_states.size(); ++i) d->GetSamplerState(0, sprite_sampler_states[i], &m_saved_sampler[i]);
    // Texels are premultiplied in this layer, so "over" is one / inverse source alpha.
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, (flags & D3DXSPRITE_ALPHABLEND) ? TRUE : FALSE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    d->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    d->SetRenderState(D3DRS_ALPHAREF, 0);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, 1);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    m_begun = true;
    return D3D_OK;
}

HRESULT Sprite::Draw(IDirect3DTexture9* texture, const RECT* src_rect, const D3DXVECTOR3* center,
                     const D3DXVECTOR3* position, D3DCOLOR color)
{
    if (!m_begun || texture == nullptr) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    RECT src = src_rect ? *src_rect : RECT{0, 0, LONG(desc.Width), LONG(desc.Height)};
    float w = float(src.right - src.left), h = float(src.bottom - src.top);
    float ox = (position ? position->x : 0.0f) - (center ? center->x : 0.0f);
    float oy = (position ? position->y : 0.0f) - (center ? center->y : 0.0f);
    const auto& m = m_transform.m;
    auto corner = [&](float x, float y, float u, float v) {
        x += ox;
        y += oy;
        return SpriteVertex{x * m[0][0] + y * m[1][0] + m[3][0], x * m[0][1] + y * m[1][1] + m[3][1], 0.0f, 1.0f, color,
                            u / float(desc.Width), v / float(desc.Height)};
    };
    const SpriteVertex quad[4] = {corner(0, 0, float(src.left), float(src.top)),
                                  corner(w, 0, float(src.right), float(src.top)),
                                  corner(0, h, float(src.left), float(src.bottom)),
                                  corner(w, h, float(src.right), float(src.bottom))};
    IDirect3DDevice9* d = m_device.get();
    d->SetTexture(0, texture);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    return d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SpriteVertex));
}

bool Sprite::draw_run(plat::raster::Coverage* glyphs, std::size_t count, D3DCOLOR color)
{
    if (!m_begun) return true;
    const auto& m = m_transform.m;
    float dx = m[3][0], dy = m[3][1];
    if (m[0][0] != 1.0f || m[1][1] != 1.0f || m[0][1] != 0.0f || m[1][0] != 0.0f || dx != std::floor(dx) ||
        dy != std::floor(dy))
        return false;
    auto move = [&](int sign) {
        for (std::size_t i = 0; i < count; ++i) {
            glyphs[i].x += sign * int(dx);
            glyphs[i].y += sign * int(dy);
        }
    };
    move(1);
    if (plat::draw_coverage(m_device.get(), glyphs, count, color)) return true;
    move(-1);   // not our device: the caller draws glyph by glyph from where it placed them
    return false;
}

HRESULT Sprite::End()
{
    if (!m_begun) return D3DERR_INVALIDCALL;
    IDirect3DDevice9* d = m_device.get();
    // Unbinding lets the texture go before a Reset.
    d->SetTexture(0, nullptr);
    for (std::size_t i = 0; i < sprite_render_states.size(); ++i) d->SetRenderState(sprite_render_states[i], m_saved_render[i]);
    for (std::size_t i = 0; i < sprite_stage_states.size(); ++i) d->SetTextureStageState(0, sprite_stage_states[i], m_saved_stage[i]);
    for (std::size_t i = 0; i < sprite_sampler_states.size(); ++i) d->SetSamplerState(0, sprite_sampler_states[i], m_saved_sampler[i]);
    m_begun = false;
    return D3D_OK;
}

}

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite)
{
    if (device == nullptr || sprite == nullptr) return D3DERR_INVALIDCALL;
    *sprite = new Sprite(device);
    return D3D_OK;
}

namespace plat {

bool draw_glyph_run(ID3DXSprite* sprite, raster::Coverage* glyphs, std::size_t count, D3DCOLOR color)
{
    auto* ours = dynamic_cast<Sprite*>(sprite);
    if (ours == nullptr) return false;
    return ours->draw_run(glyphs, count, color);
}

}
