// The video source presenting what the real Video Mixing Renderer 9 of
// outside/filters decodes and renders.

#include "playback/videosource/CVideoSourceVMR9.h"

#include "outside/filters/testing/RendererGraph.h"
#include "toolkit/render/D3D9Render.h"

#include <atomic>
#include <ios>

using filters_testing::reddish;
using plat::ComPtr;

namespace {

using Renderers = filters_testing::RendererGraph;

}

TEST_F(Renderers, TheLandedPresenterShowsThePictures)
{
    struct Owner final : IVideoSourceNotify {
        void FramePresented() override { ++frames; }
        std::atomic<int> frames{0};
    } owner;
    RenderEngine::D3D9Render render;
    render.SetDevice(rig.device.get());
    const auto video = ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(&owner, &render));
    build(true, VMR9Mode_Windowed);
    ASSERT_EQ(video->AttachGraph(vmr.get()), S_OK);
    sound = &plat::use_silent_audio(plat::SilentPace::RealTime);
    ASSERT_EQ(graph->Run(), S_OK);
    play_to_the_end();
    graph->Stop();
    EXPECT_GT(owner.frames.load(), 15);
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(video->GetTexture(texture.put(), nullptr), S_OK);
    ASSERT_TRUE(texture);
    EXPECT_TRUE(reddish(test::pixel(texture.get(), 80, 60))) << std::hex << test::pixel(texture.get(), 80, 60);
    LONG width = 0, height = 0;
    float aspect = 0;
    video->GetVideoSize(&width, &height, &aspect);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
    EXPECT_EQ(video->DetachGraph(), S_OK);
    video->Close();
}
