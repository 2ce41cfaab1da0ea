#include "D3D9Render.h"

#include "font.h"
#include "picture.h"
#include "texture.h"

#include "platform/d3d9/D3DX.h"
#include "platform/window/PresentWindow.h"

#include <algorithm>
#include <cmath>

namespace RenderEngine {

namespace {

constexpr D3DRENDERSTATETYPE saved_render_states[6] = {D3DRS_ZENABLE,        D3DRS_ALPHATESTENABLE,
                                                       D3DRS_ZWRITEENABLE,   D3DRS_SEPARATEALPHABLENDENABLE,
                                                       D3DRS_SRCBLENDALPHA,  D3DRS_DESTBLENDALPHA};
constexpr D3DSAMPLERSTATETYPE saved_sampler_states[5] = {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_ADDRESSW,
                                                         D3DSAMP_MIPFILTER, D3DSAMP_MAGFILTER};

int channel(float value) { return std::clamp(int(value), 0, 255); }

D3DCOLOR clear_color(float red, float green, float blue)
{
    return DWORD(channel(red)) << 16 | DWORD(channel(green)) << 8 | DWORD(channel(blue));
}

// Texels are premultiplied, so a fade scales all four channels alike.
D3DCOLOR fade_color(float alpha)
{
    DWORD a = DWORD(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
    return a << 24 | a << 16 | a << 8 | a;
}

std::optional<RECT> client_rect(HWND window) { return plat::present_client_rect(window); }

}

d3dbackbuffer::d3dbackbuffer(unsigned width, unsigned height, std::shared_ptr<texture> surface)
    : backbuffer(width, height), m_texture(std::move(surface))
{
}

d3dbackbuffer::~d3dbackbuffer() = default;

void d3dbackbuffer::ReleaseSurface()
{
    if (m_texture) m_texture->ReleaseDeviceObject();
}

D3D9Render::D3D9Render() = default;
D3D9Render::~D3D9Render() = default;

void D3D9Render::SetDevice(IDirect3DDevice9* device) { m_device = plat::ComPtr<IDirect3DDevice9>(device); }
void D3D9Render::SetSprite(ID3DXSprite* sprite) { m_sprite = plat::ComPtr<ID3DXSprite>(sprite); }
void D3D9Render::SetSwapChain(IDirect3DSwapChain9* swap_chain)
{
    m_swap_chain = plat::ComPtr<IDirect3DSwapChain9>(swap_chain);
}

IDirect3DDevice9* D3D9Render::GetDevice() const
{
    if (m_device) m_device->AddRef();
    return m_device.get();
}

backbuffer* D3D9Render::CreateBackBuffer(unsigned width, unsigned height, bool render_target)
{
    auto surface = std::make_shared<texture>(m_device.get(), 0, std::string());
    if (m_device) surface->Create(width, height, render_target ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, D3DFMT_A8R8G8B8);
    return new d3dbackbuffer(width, height, std::move(surface));
}

bool D3D9Render::BeginSpriteBatch(DWORD flags, DWORD filter)
{
    if (!m_sprite || !m_device || FAILED(m_sprite->Begin(flags))) return false;
    IDirect3DDevice9* d = m_device.get();
    for (int i = 0; i < 6; ++i) d->GetRenderState(saved_render_states[i], &m_saved_states[i]);
    for (int i = 0; i < 5; ++i) d->GetSamplerState(0, saved_sampler_states[i], &m_saved_states[6 + i]);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
    d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    d->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP);
    for (DWORD stage = 0; stage < 6; ++stage) {
        d->SetSamplerState(stage, D3DSAMP_MIPFILTER, filter);
        d->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        d->SetSamplerState(stage, D3DSAMP_MAGFILTER, filter);
    }
    m_sprite_active = true;
    return true;
}

void D3D9Render::EndSpriteBatch()
{
    if (!m_sprite_active) return;
    m_sprite->End();
    IDirect3DDevice9* d = m_device.get();
    for (int i = 0; i < 6; ++i) d->SetRenderState(saved_render_states[i], m_saved_states[i]);
    for (int i = 0; i < 5; ++i) d->SetSamplerState(0, saved_sampler_states[i], m_saved_states[6 + i]);
    m_sprite_active = false;
}

plat::ComPtr<IDirect3DSurface9> D3D9Render::target_surface(backbuffer* target, bool for_back_buffer_draw,
                                                           backbuffer* source)
{
    plat::ComPtr<IDirect3DSurface9> surface;
    auto* d3d_target = dynamic_cast<d3dbackbuffer*>(target);
    if (d3d_target && d3d_target->GetTexture()) {
        plat::ComPtr<IDirect3DTexture9> tex = plat::ComPtr<IDirect3DTexture9>::adopt(d3d_target->GetTexture()->GetD3DTexture());
        if (tex) tex->GetSurfaceLevel(0, surface.put());
        return surface;   // null when the surface was lost: nothing is drawn
    }
    if (for_back_buffer_draw && target == nullptr && m_swap_chain && source && source->m_use_swap_chain)
        m_swap_chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, surface.put());
    else
        m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, surface.put());
    return surface;
}

int D3D9Render::draw_texture(IDirect3DTexture9* tex, RECT src, float x, float y, float width, float height,
                             float rotation, float alpha, DWORD flags, DWORD filter, short blend, backbuffer* target,
                             backbuffer* source)
{
    IDirect3DDevice9* d = m_device.get();
    plat::ComPtr<IDirect3DSurface9> previous, surface = target_surface(target, source != nullptr, source);
    if (!surface) return 0;
    d->GetRenderTarget(0, previous.put());
    d->SetRenderTarget(0, surface.get());
    bool into_texture = dynamic_cast<d3dbackbuffer*>(target) && static_cast<d3dbackbuffer*>(target)->GetTexture();
    if (into_texture) d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    m_clip_empty = false;
    if (target) {
        UI::frect clip = target->GetClip();
        if (clip.width != 0 && clip.height != 0) SetClipRect(clip.x, clip.y, clip.width, clip.height);
    }
    if (!m_clip_empty && BeginSpriteBatch(flags, filter)) {
        if (blend == 3) {
            d->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
            d->SetRenderState(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
            d->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_SRCALPHA);
            d->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
        }
        float src_w = float(src.right - src.left), src_h = float(src.bottom - src.top);
        D3DXMATRIX transform;
        D3DXVECTOR3 position{std::trunc(x), std::trunc(y), 0.0f};
        if (width == 0 || height == 0 || src_w <= 0 || src_h <= 0) {
            D3DXMatrixIdentity(&transform);
        } else if (rotation == 0) {
            D3DXMatrixScaling(&transform, width / src_w, height / src_h, 1.0f);
            position.x /= width / src_w;
            position.y /= height / src_h;
        } else {
            // Scale, turn about the picture's own centre, then centre it on the destination rectangle.
            D3DXMATRIX scale, to_centre, turn, to_place;
            D3DXMatrixScaling(&scale, width / src_w, height / src_h, 1.0f);
            D3DXMatrixTranslation(&to_centre, -width / 2, -height / 2, 0.0f);
            D3DXMatrixRotationZ(&turn, rotation);
            D3DXMatrixTranslation(&to_place, position.x + width / 2, position.y + height / 2, 0.0f);
            D3DXMatrixMultiply(&transform, &scale, &to_centre);
            D3DXMatrixMultiply(&transform, &transform, &turn);
            D3DXMatrixMultiply(&transform, &transform, &to_place);
            position = {0.0f, 0.0f, 0.0f};
        }
        m_sprite->SetTransform(&transform);
        m_sprite->Draw(tex, &src, nullptr, &position, fade_color(alpha));
        EndSpriteBatch();
    }
    if (previous) d->SetRenderTarget(0, previous.get());
    return 0;
}

int D3D9Render::DrawPicture(picture* pic, float x, float y, float width, float height, float alpha, backbuffer* target)
{
    if (!m_sprite || !m_device || pic == nullptr || pic->m_texture == nullptr) return 0;
    auto tex = plat::ComPtr<IDirect3DTexture9>::adopt(pic->m_texture->GetD3DTexture());
    if (!tex) return 0;
    RECT src{LONG(pic->m_left), LONG(pic->m_top), LONG(pic->m_right), LONG(pic->m_bottom)};
    DWORD flags = pic->m_blend == 1 ? 0 : D3DXSPRITE_ALPHABLEND;
    return draw_texture(tex.get(), src, x, y, width, height, pic->m_rotation, alpha, flags, DWORD(pic->m_filter),
                        pic->m_blend, target, nullptr);
}

int D3D9Render::DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha,
                               backbuffer* target)
{
    if (source == nullptr) return -1;
    auto* d3d_source = dynamic_cast<d3dbackbuffer*>(source);
    if (!m_sprite || !m_device || d3d_source == nullptr || d3d_source->GetTexture() == nullptr) return 0;
    auto tex = plat::ComPtr<IDirect3DTexture9>::adopt(d3d_source->GetTexture()->GetD3DTexture());
    if (!tex) return 0;
    RECT src{0, 0, LONG(source->m_width), LONG(source->m_height)};
    return draw_texture(tex.get(), src, x, y, width, height, 0.0f, alpha, D3DXSPRITE_ALPHABLEND, D3DTEXF_POINT, 0,
                        target, source);
}

int D3D9Render::DrawText(const WCHAR* text, float x, float y, float width, float height, fontstyle* style,
                         backbuffer* target)
{
    auto* font = style ? dynamic_cast<d3dfont*>(style->pfont) : nullptr;
    if (!m_sprite || !m_device || text == nullptr || font == nullptr || font->GetD3DXFont() == nullptr) return 0;
    IDirect3DDevice9* d = m_device.get();
    plat::ComPtr<IDirect3DSurface9> previous, surface = target_surface(target, false, nullptr);
    if (!surface) return 0;
    d->GetRenderTarget(0, previous.put());
    d->SetRenderTarget(0, surface.get());
    m_clip_empty = false;
    if (target) {
        UI::frect clip = target->GetClip();
        if (clip.width != 0 && clip.height != 0) SetClipRect(clip.x, clip.y, clip.width, clip.height);
    }
    if (!m_clip_empty && BeginSpriteBatch(D3DXSPRITE_ALPHABLEND, D3DTEXF_POINT)) {
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        d->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
        d->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
        d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
        d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        D3DXMATRIX transform;
        D3DXMatrixIdentity(&transform);
        if (width != 0 && height != 0) {
            // A zero or negative scale would divide by zero: it draws at natural size.
            float sx = style->scalex > 0 ? style->scalex : 1.0f, sy = style->scaley > 0 ? style->scaley : 1.0f;
            D3DXMatrixScaling(&transform, sx, sy, 1.0f);
            x /= sx;
            y /= sy;
        }
        m_sprite->SetTransform(&transform);
        RECT rect{LONG(x), LONG(y), LONG(x + width), LONG(y + height)};
        font->GetD3DXFont()->DrawTextW(m_sprite.get(), text, -1, &rect, style->format, style->color);
        EndSpriteBatch();
    }
    if (previous) d->SetRenderTarget(0, previous.get());
    return 0;
}

int D3D9Render::BeginFrame()
{
    if (!m_device) return E_FAIL;
    HRESULT level = m_device->TestCooperativeLevel();
    if (level == D3DERR_DEVICELOST || level == D3DERR_DEVICENOTRESET) return level;
    plat::ComPtr<IDirect3DSurface9> back;
    m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    m_device->SetRenderTarget(0, back.get());
    // Only the client area is presented: the rest of a screen-sized back buffer is never seen.
    if (auto client = client_rect(m_window)) {
        const D3DRECT shown{client->left, client->top, client->right, client->bottom};
        m_device->Clear(1, &shown, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff121212u, 1.0f, 0);
    } else {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff121212u, 1.0f, 0);
    }
    return m_device->BeginScene();
}

int D3D9Render::EndFrame()
{
    if (!m_device) return E_FAIL;
    m_device->EndScene();
    if (auto client = client_rect(m_window)) return m_device->Present(&*client, &*client, nullptr, nullptr);
    return m_device->Present(nullptr, nullptr, nullptr, nullptr);
}

int D3D9Render::BeginSwapChainFrame()
{
    if (!m_swap_chain) return BeginFrame();
    plat::ComPtr<IDirect3DSurface9> back;
    m_swap_chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, back.put());
    m_device->SetRenderTarget(0, back.get());
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000u, 1.0f, 0);
    return m_device->BeginScene();
}

int D3D9Render::PresentToWindow(HWND window, backbuffer* buffer)
{
    if (!m_device) return E_FAIL;
    m_device->EndScene();
    HRESULT hr = D3D_OK;
    auto client = client_rect(window);
    if (window && client) {
        if (m_swap_chain && buffer && buffer->m_use_swap_chain)
            hr = m_swap_chain->Present(&*client, &*client, window, nullptr, 0);
        else
            hr = m_device->Present(&*client, &*client, window, nullptr);
    } else {
        hr = m_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    plat::ComPtr<IDirect3DSurface9> back;
    m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    m_device->SetRenderTarget(0, back.get());
    return hr;
}

int D3D9Render::SetClipRect(float left, float top, float right, float bottom)
{
    if (!m_device) return 0;
    plat::ComPtr<IDirect3DSurface9> target;
    m_device->GetRenderTarget(0, target.put());
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    m_clip_empty = false;
    if (right == 0 && bottom == 0) {
        m_clip_on = false;
        D3DVIEWPORT9 whole{0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
        m_device->SetViewport(&whole);
        return 0;
    }
    m_clip = {left, top, right, bottom};
    m_clip_on = true;
    // Cut to the target: the device refuses a viewport that reaches past it.
    LONG x = std::max<LONG>(LONG(left), 0), y = std::max<LONG>(LONG(top), 0);
    LONG r = std::min(LONG(right), LONG(desc.Width)), b = std::min(LONG(bottom), LONG(desc.Height));
    if (r <= x || b <= y) {
        m_clip_empty = true;
        return 0;
    }
    D3DVIEWPORT9 view{DWORD(x), DWORD(y), DWORD(r - x), DWORD(b - y), 0.0f, 1.0f};
    m_device->SetViewport(&view);
    return 0;
}

int D3D9Render::clear_surface(backbuffer* target, const RECT* rect, float red, float green, float blue)
{
    if (!m_device) return 0;
    plat::ComPtr<IDirect3DSurface9> previous, surface = target_surface(target, false, nullptr);
    if (!surface) return 0;
    m_device->GetRenderTarget(0, previous.put());
    m_device->SetRenderTarget(0, surface.get());
    D3DRECT area{};
    if (rect) area = D3DRECT{rect->left, rect->top, rect->right, rect->bottom};
    m_device->Clear(rect ? 1 : 0, rect ? &area : nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                    clear_color(red, green, blue), 1.0f, 0);
    if (previous) m_device->SetRenderTarget(0, previous.get());
    return 0;
}

int D3D9Render::ClearRect(backbuffer* target, float x, float y, float width, float height, float, float red,
                          float green, float blue)
{
    RECT rect{LONG(x), LONG(y), LONG(x + width), LONG(y + height)};
    return clear_surface(target, &rect, red, green, blue);
}

int D3D9Render::Clear(backbuffer* target, float, float red, float green, float blue)
{
    return clear_surface(target, nullptr, red, green, blue);
}

}
