// The renderer's streaming thread presents frames into the source while the
// compose thread draws the source's texture on the same device: run under
// ThreadSanitizer too (label playback-tsan).

#include "FakeVmr9.h"

#include "playback/compose/VMRServer.h"
#include "playback/videosource/CVideoSourceVMR9.h"

#include "toolkit/render/D3D9Render.h"

#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

using plat::ComPtr;

namespace {

constexpr int frame_count = 60;
constexpr UINT side = 32;

// Draws the source's texture over the whole back buffer whenever a frame came.
class VideoLayer final : public IUo, public IVideoSourceNotify {
public:
    explicit VideoLayer(IDirect3DDevice9* device) : m_device(device) {}
    ~VideoLayer() override = default;

    void set_source(IDisplayVideoSource* source) { m_source = source; }

    void FramePresented() override
    {
        std::scoped_lock hold(m_lock);
        ++m_presented;
    }
    bool NeedsRedraw() override
    {
        std::scoped_lock hold(m_lock);
        m_drawing = m_presented;
        return m_drawing != m_drawn;
    }
    bool IsLayerActive() override { return true; }
    long Render() override
    {
        ComPtr<IDirect3DTexture9> texture;
        if (SUCCEEDED(m_source->GetTexture(texture.put(), nullptr)) && texture) draw(texture.get());
        std::scoped_lock hold(m_lock);
        m_drawn = m_drawing;
        m_changed.notify_all();
        return 0;
    }

    // Waits until a frame drawn after the count-th presented frame.
    void wait_drawn(int count)
    {
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [&] { return m_drawn >= count; });
    }

private:
    void draw(IDirect3DTexture9* texture)
    {
        struct Vertex {
            float x, y, z, rhw, u, v;
        };
        const float w = 64, h = 64;
        const Vertex quad[4] = {{0, 0, 0, 1, 0, 0}, {w, 0, 0, 1, 1, 0}, {0, h, 0, 1, 0, 1}, {w, h, 0, 1, 1, 1}};
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        m_device->SetTexture(0, texture);
        m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
        m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        m_device->SetTexture(0, nullptr);
    }

    IDirect3DDevice9* m_device;
    IDisplayVideoSource* m_source{nullptr};   // set before the compose thread starts
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_presented{0};   // guarded by m_lock, like the two below
    int m_drawing{0};     // frames presented when the frame being drawn began
    int m_drawn{0};
};

D3DCOLOR colour_of(int frame) { return frame % 2 ? 0xff00ff00u : 0xffff0000u; }

TEST(PresentWhileComposing, FramesPresentedOnTheStreamingThreadReachTheScreen)
{
    test::DeviceRig rig = test::make_device(64, 64);
    RenderEngine::D3D9Render render;
    render.SetDevice(rig.device.get());
    VideoLayer layer(rig.device.get());
    auto source = ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(&layer, &render));
    layer.set_source(source.get());
    auto graph = ComPtr<FakeGraph>::adopt(new FakeGraph());
    auto vmr = ComPtr<FakeVmr9>::adopt(new FakeVmr9(graph.get()));
    ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
    VMR9AllocationInfo info{0, side, side, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, 1, {1, 1}, {LONG(side), LONG(side)}};
    DWORD buffers = 1;
    ASSERT_EQ(source->InitializeDevice(source->UserId(), &info, &buffers), S_OK);
    ComPtr<IDirect3DSurface9> picture;
    ASSERT_EQ(rig.device->CreateOffscreenPlainSurface(side, side, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, picture.put(),
                                                      nullptr),
              D3D_OK);

    auto* server = new VMRServer();
    server->AddRef();
    server->AddLayer(&layer);
    server->Start(&render);
    graph->state = State_Running;
    std::thread streaming([&] {
        for (int i = 0; i < frame_count; ++i) {
            rig.device->ColorFill(picture.get(), nullptr, colour_of(i));
            VMR9PresentationInfo present{};
            present.lpSurf = picture.get();
            EXPECT_EQ(source->PresentImage(source->UserId(), &present), S_OK);
        }
    });
    streaming.join();
    layer.wait_drawn(frame_count);
    server->Stop();
    server->Release();

    EXPECT_EQ(test::back_pixel(rig.device.get(), 40, 40), colour_of(frame_count - 1));
    graph->state = State_Stopped;
    EXPECT_EQ(source->DetachGraph(), S_OK);
    EXPECT_EQ(source->Close(), S_OK);
}

}
