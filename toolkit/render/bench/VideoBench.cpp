// Stretches a 640 x 360 X8R8G8B8 video texture, rewritten every frame as a
// decoder would, to 1024 x 576 and to 1920 x 1080: through the renderer and
// the software Direct3D device (a linear-filtered picture, as the video layer
// draws it), and with libswscale (bilinear) plus cairo composing the result,
// in the same run on one core. Prints frames per second and the ratios.
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/release --target video_bench && build/release/bin/video_bench

#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include "platform/d3d9/D3DX.h"

#include <cairo.h>
extern "C" {
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int video_width = 640, video_height = 360;
constexpr int decoded_frames = 4;   // a decoder hands over different pictures; these take turns

// Frames with moving gradients, so no two rows or frames are alike.
std::vector<std::vector<DWORD>> decoded()
{
    std::vector<std::vector<DWORD>> frames(decoded_frames, std::vector<DWORD>(std::size_t(video_width) * video_height));
    for (int f = 0; f < decoded_frames; ++f)
        for (int y = 0; y < video_height; ++y)
            for (int x = 0; x < video_width; ++x)
                frames[std::size_t(f)][std::size_t(y) * video_width + x] =
                    DWORD((x + f * 9) & 0xff) << 16 | DWORD((y * 2 + f * 5) & 0xff) << 8 | DWORD((x + y + f) & 0xff);
    return frames;
}

template <class Frame>
double frames_per_second(Frame&& frame)
{
    frame(0);   // warm caches
    int frames = 0;
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) frame(++frames);
    return frames / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double through_device(int width, int height, const std::vector<std::vector<DWORD>>& frames)
{
    auto d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = UINT(width);
    pp.BackBufferHeight = UINT(height);
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.Windowed = TRUE;
    plat::ComPtr<IDirect3DDevice9> device;
    plat::ComPtr<ID3DXSprite> sprite;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, device.put())) ||
        FAILED(D3DXCreateSprite(device.get(), sprite.put())))
        return 0;
    auto* renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
    renderer->SetDevice(device.get());
    renderer->SetSprite(sprite.get());
    RenderEngine::InitRenderTargets();
    RenderEngine::texture video(device.get(), 0, "video");
    video.Create(video_width, video_height, D3DPOOL_MANAGED, D3DFMT_X8R8G8B8);
    RenderEngine::d3dpic picture(&video, 0, 0, video_width, video_height);
    picture.m_filter = D3DTEXF_LINEAR;
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(video.GetD3DTexture());
    double fps = frames_per_second([&](int n) {
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        const auto& from = frames[std::size_t(n % decoded_frames)];
        for (int y = 0; y < video_height; ++y)
            std::memcpy(static_cast<char*>(locked.pBits) + y * locked.Pitch, &from[std::size_t(y) * video_width],
                        video_width * 4);
        texture->UnlockRect(0);
        renderer->BeginFrame();
        RenderEngine::DrawPicture(&picture, 0, 0, float(width), float(height), 1.0f);
        renderer->EndFrame();
    });
    RenderEngine::CreateRender(nullptr, 1);
    return fps;
}

double through_swscale_and_cairo(int width, int height, const std::vector<std::vector<DWORD>>& frames)
{
    SwsContext* scaler = sws_getContext(video_width, video_height, AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_BGR0,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr) return 0;
    std::vector<DWORD> source(std::size_t(video_width) * video_height), scaled(std::size_t(width) * height);
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_t* picture = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(scaled.data()),
                                                                   CAIRO_FORMAT_RGB24, width, height, width * 4);
    double fps = frames_per_second([&](int n) {
        std::memcpy(source.data(), frames[std::size_t(n % decoded_frames)].data(), source.size() * 4);
        const std::uint8_t* in[4] = {reinterpret_cast<const std::uint8_t*>(source.data())};
        const int in_pitch[4] = {video_width * 4};
        std::uint8_t* out[4] = {reinterpret_cast<std::uint8_t*>(scaled.data())};
        const int out_pitch[4] = {width * 4};
        sws_scale(scaler, in, in_pitch, 0, video_height, out, out_pitch);
        cairo_surface_mark_dirty(picture);
        cairo_t* cr = cairo_create(target);
        cairo_set_source_rgb(cr, 0x12 / 255.0, 0x12 / 255.0, 0x12 / 255.0);
        cairo_paint(cr);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target);
    });
    cairo_surface_destroy(picture);
    cairo_surface_destroy(target);
    sws_freeContext(scaler);
    return fps;
}

}

int main()
{
    auto frames = decoded();
    const struct {
        int width, height;
    } sizes[] = {{1024, 576}, {1920, 1080}};
    for (const auto& size : sizes) {
        double ours = through_device(size.width, size.height, frames);
        double rival = through_swscale_and_cairo(size.width, size.height, frames);
        std::printf("640x360 -> %dx%d\n", size.width, size.height);
        std::printf("  software Direct3D: %7.1f frames/s (%.2f ms a frame)\n", ours, 1000.0 / ours);
        std::printf("  libswscale+cairo:  %7.1f frames/s (%.2f ms a frame)\n", rival, 1000.0 / rival);
        std::printf("  ratio (ours / libswscale+cairo): %.2f\n", ours / rival);
    }
    return 0;
}
