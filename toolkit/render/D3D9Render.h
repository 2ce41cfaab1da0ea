#pragma once
// The renderer the program uses: every picture, text and window surface is a
// textured sprite on one Direct3D 9 device, composed with premultiplied alpha.

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"

#include "platform/com/ComPtr.h"

#include <array>
#include <memory>

struct IDirect3DDevice9;
struct IDirect3DSurface9;
struct IDirect3DSwapChain9;
struct IDirect3DTexture9;
struct ID3DXSprite;

namespace RenderEngine {

class texture;

// A window surface: a render-target texture, or none for the screen.
class d3dbackbuffer : public backbuffer {
public:
    d3dbackbuffer(unsigned width, unsigned height) : backbuffer(width, height) {}
    d3dbackbuffer(unsigned width, unsigned height, std::shared_ptr<texture> surface);
    ~d3dbackbuffer() override;

    void ReleaseSurface() override;
    texture* GetTexture() const { return m_texture.get(); }
    // The resource manager keeps the texture too, to bring it back after a device reset.
    std::shared_ptr<texture> SharedTexture() const { return m_texture; }

private:
    std::shared_ptr<texture> m_texture;
};

class D3D9Render : public render {
public:
    D3D9Render();
    ~D3D9Render() override;

    backbuffer* CreateBackBuffer(unsigned width, unsigned height, bool render_target) override;
    int DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha,
                       backbuffer* target) override;
    int DrawPicture(picture* pic, float x, float y, float width, float height, float alpha,
                    backbuffer* target) override;
    int DrawText(const WCHAR* text, float x, float y, float width, float height, fontstyle* style,
                 backbuffer* target) override;
    int BeginFrame() override;
    int EndFrame() override;
    int BeginSwapChainFrame() override;
    int PresentToWindow(HWND window, backbuffer* buffer) override;
    int SetClipRect(float left, float top, float right, float bottom) override;
    int ClearRect(backbuffer* target, float x, float y, float width, float height, float alpha, float red,
                  float green, float blue) override;
    int Clear(backbuffer* target, float alpha, float red, float green, float blue) override;

    void SetDevice(IDirect3DDevice9* device);
    void SetSprite(ID3DXSprite* sprite);
    void SetSwapChain(IDirect3DSwapChain9* swap_chain);
    void SetMainWindow(HWND window) { m_window = window; }
    // With a reference added; null when none.
    IDirect3DDevice9* GetDevice() const;

private:
    struct TargetScope;
    bool BeginSpriteBatch(DWORD flags, DWORD filter);
    void EndSpriteBatch();
    plat::ComPtr<IDirect3DSurface9> target_surface(backbuffer* target, bool for_back_buffer_draw, backbuffer* source);
    int draw_texture(IDirect3DTexture9* tex, RECT src, float x, float y, float width, float height, float rotation,
                     float alpha, DWORD flags, DWORD filter, short blend, backbuffer* target, backbuffer* source);
    int clear_surface(backbuffer* target, const RECT* rect, float red, float green, float blue);

    UI::frect m_clip{0, 0, 0, 0};   // (left, top, right, bottom) last set
    bool m_clip_on{false};
    bool m_clip_empty{false};       // the clip leaves nothing of the target: draws are skipped
    HWND m_window{nullptr};
    plat::ComPtr<ID3DXSprite> m_sprite;
    plat::ComPtr<IDirect3DSwapChain9> m_swap_chain;
    plat::ComPtr<IDirect3DDevice9> m_device;
    bool m_sprite_active{false};
    std::array<DWORD, 11> m_saved_states{};
};

}
