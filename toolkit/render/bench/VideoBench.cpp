// Stretches a 640 x 360 X8R8G8B8 video texture, rewritten every frame as a
// decoder would, to 1024 x 576 and to 1920 x 1080: through the renderer and
// the software Direct3D device (a linear-filtered picture, as the video layer
// draws it), and with libswscale (bilinear) plus cairo composing the result,
// in the same run on one core, in alternating rounds. Prints frames per second
// (medians of the rounds) and the ratios.
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/release --target video_bench && build/release/bin/video_bench

#include "toolkit/render/bench/Rounds.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include "platform/d3d9/D3DX.h"

#include <cairo.h>
extern "C" {
#include <libswscale/swscale.h>
}

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

// The video layer's way: the frame uploaded into an X8R8G8B8 texture and drawn as a linear-filtered picture.
class DeviceVideo {
public:
    DeviceVideo(int width, int height, const std::vector<std::vector<DWORD>>& frames)
        : m_width(width), m_height(height), m_frames(frames)
    {
        auto d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = UINT(width);
        pp.BackBufferHeight = UINT(height);
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        pp.Windowed = TRUE;
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, m_device.put());
        D3DXCreateSprite(m_device.get(), m_sprite.put());
        m_renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
        m_renderer->SetDevice(m_device.get());
        m_renderer->SetSprite(m_sprite.get());
        RenderEngine::InitRenderTargets();
        m_video = std::make_unique<RenderEngine::texture>(m_device.get(), 0, "video");
        m_video->Create(video_width, video_height, D3DPOOL_MANAGED, D3DFMT_X8R8G8B8);
        m_picture = std::make_unique<RenderEngine::d3dpic>(m_video.get(), 0, 0, video_width, video_height);
        m_picture->m_filter = D3DTEXF_LINEAR;
        m_texture = plat::ComPtr<IDirect3DTexture9>::adopt(m_video->GetD3DTexture());
    }
    ~DeviceVideo() { RenderEngine::CreateRender(nullptr, 1); }

    void operator()(int n)
    {
        D3DLOCKED_RECT locked{};
        m_texture->LockRect(0, &locked, nullptr, 0);
        const auto& from = m_frames[std::size_t(n % decoded_frames)];
        for (int y = 0; y < video_height; ++y)
            std::memcpy(static_cast<char*>(locked.pBits) + y * locked.Pitch, &from[std::size_t(y) * video_width],
                        video_width * 4);
        m_texture->UnlockRect(0);
        m_renderer->BeginFrame();
        RenderEngine::DrawPicture(m_picture.get(), 0, 0, float(m_width), float(m_height), 1.0f);
        m_renderer->EndFrame();
    }

private:
    int m_width, m_height;
    const std::vector<std::vector<DWORD>>& m_frames;
    plat::ComPtr<IDirect3DDevice9> m_device;
    plat::ComPtr<ID3DXSprite> m_sprite;
    RenderEngine::D3D9Render* m_renderer{nullptr};
    std::unique_ptr<RenderEngine::texture> m_video;
    std::unique_ptr<RenderEngine::d3dpic> m_picture;
    plat::ComPtr<IDirect3DTexture9> m_texture;
};

// The rival: libswscale scales the frame (bilinear), cairo composes it over a cleared target.
class SwscaleVideo {
public:
    SwscaleVideo(int width, int height, const std::vector<std::vector<DWORD>>& frames)
        : m_width(width), m_frames(frames), m_source(std::size_t(video_width) * video_height),
          m_scaled(std::size_t(width) * height)
    {
        m_scaler = sws_getContext(video_width, video_height, AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_BGR0,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr);
        m_target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        m_picture = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(m_scaled.data()),
                                                        CAIRO_FORMAT_RGB24, width, height, width * 4);
    }
    ~SwscaleVideo()
    {
        cairo_surface_destroy(m_picture);
        cairo_surface_destroy(m_target);
        sws_freeContext(m_scaler);
    }

    void operator()(int n)
    {
        std::memcpy(m_source.data(), m_frames[std::size_t(n % decoded_frames)].data(), m_source.size() * 4);
        const std::uint8_t* in[4] = {reinterpret_cast<const std::uint8_t*>(m_source.data())};
        const int in_pitch[4] = {video_width * 4};
        std::uint8_t* out[4] = {reinterpret_cast<std::uint8_t*>(m_scaled.data())};
        const int out_pitch[4] = {m_width * 4};
        sws_scale(m_scaler, in, in_pitch, 0, video_height, out, out_pitch);
        cairo_surface_mark_dirty(m_picture);
        cairo_t* cr = cairo_create(m_target);
        cairo_set_source_rgb(cr, 0x12 / 255.0, 0x12 / 255.0, 0x12 / 255.0);
        cairo_paint(cr);
        cairo_set_source_surface(cr, m_picture, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(m_target);
    }

private:
    int m_width;
    const std::vector<std::vector<DWORD>>& m_frames;
    std::vector<DWORD> m_source, m_scaled;
    SwsContext* m_scaler{nullptr};
    cairo_surface_t* m_target{nullptr};
    cairo_surface_t* m_picture{nullptr};
};

}

int main()
{
    auto frames = decoded();
    const struct {
        int width, height;
    } sizes[] = {{1024, 576}, {1920, 1080}};
    for (const auto& size : sizes) {
        DeviceVideo ours(size.width, size.height, frames);
        SwscaleVideo rival(size.width, size.height, frames);
        bench::Rates rates = bench::interleaved_rates(ours, rival);
        std::printf("640x360 -> %dx%d\n", size.width, size.height);
        std::printf("  software Direct3D: %7.1f frames/s (%.2f ms a frame)\n", rates.ours, 1000.0 / rates.ours);
        std::printf("  libswscale+cairo:  %7.1f frames/s (%.2f ms a frame)\n", rates.rival, 1000.0 / rates.rival);
        std::printf("  ratio (ours / libswscale+cairo): %.2f\n", rates.ours / rates.rival);
    }
    return 0;
}
