// One device used from two threads, as the UI and compose threads use it: frames and window surfaces drawn in
// turn under one render lock, state calls and device queries made at any time. Run under ThreadSanitizer too.

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using test::make_device;

namespace {

constexpr int frames = 30;

void fill(IDirect3DTexture9* texture, UINT w, UINT h, DWORD value)
{
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) static_cast<DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x] = value;
    texture->UnlockRect(0);
}

// One sprite batch into the current target: the picture stretched over (x, y, w, h), then a line of text.
void draw_batch(ID3DXSprite* sprite, ID3DXFont* font, IDirect3DTexture9* picture, float x, float y, float scale)
{
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    D3DXMATRIX stretch;
    D3DXMatrixScaling(&stretch, scale, scale, 1.0f);
    sprite->SetTransform(&stretch);
    D3DXVECTOR3 at{x / scale, y / scale, 0.0f};
    sprite->Draw(picture, nullptr, nullptr, &at, 0xffffffffu);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    sprite->SetTransform(&identity);
    RECT line{0, 20, 64, 32};
    font->DrawTextW(sprite, u"Ab", -1, &line, DT_LEFT | DT_TOP, 0xffffff00u);
    sprite->End();
}

}

TEST(ThreadedDevice, ComposeAndUiThreadsShareTheDevice)
{
    test::DeviceRig rig = make_device(64, 32);
    IDirect3DDevice9* d = rig.device.get();
    plat::ComPtr<ID3DXSprite> sprite;
    ASSERT_EQ(D3DXCreateSprite(d, sprite.put()), D3D_OK);
    auto font = test::make_font(d, u"Arial", -10);
    auto video = test::filled_texture(d, 8, 4, 0xff000000u, D3DPOOL_MANAGED, 0);
    auto window = test::filled_texture(d, 32, 32, 0, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    plat::ComPtr<IDirect3DSurface9> back, surface;
    d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    window->GetSurfaceLevel(0, surface.put());
    std::mutex render;   // what the compose thread holds for a frame, and the UI thread for a window's drawing

    std::thread compose([&] {
        for (int n = 0; n < frames; ++n) {
            std::scoped_lock hold(render);
            d->SetRenderTarget(0, back.get());
            d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff101010u, 1.0f, 0);
            d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
            draw_batch(sprite.get(), font.get(), video.get(), 0, 0, 4.0f);
            d->Present(nullptr, nullptr, nullptr, nullptr);
        }
    });
    std::thread ui([&] {
        for (int n = 0; n < frames; ++n) {
            {
                std::scoped_lock hold(render);
                fill(video.get(), 8, 4, 0xff000000u | DWORD(n) << 8);   // a new video frame
                d->SetRenderTarget(0, surface.get());
                d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000u, 1.0f, 0);
                draw_batch(sprite.get(), font.get(), video.get(), 0, 0, 2.0f);
                d->SetRenderTarget(0, back.get());
            }
            // State calls and queries between draws, while the other thread may be drawing.
            DWORD value = 0;
            d->SetRenderState(D3DRS_DITHERENABLE, DWORD(n & 1));
            d->GetRenderState(D3DRS_DITHERENABLE, &value);
            EXPECT_EQ(value, DWORD(n & 1));
            d->SetSamplerState(3, D3DSAMP_MAXANISOTROPY, DWORD(n));
            d->GetSamplerState(0, D3DSAMP_MINFILTER, &value);
            EXPECT_EQ(d->TestCooperativeLevel(), D3D_OK);
        }
    });
    compose.join();
    ui.join();

    // The last video frame (green 29) fills the window's top, stretched twice; text sits below it.
    DWORD last = 0xff000000u | DWORD(frames - 1) << 8;
    EXPECT_EQ(test::pixel(surface.get(), 5, 3), last);
    EXPECT_EQ(test::pixel(surface.get(), 20, 3), 0x00000000u);
    RECT text = test::changed_box(surface.get(), 0);
    EXPECT_GE(text.bottom, 24);
    d->SetRenderTarget(0, back.get());
}
