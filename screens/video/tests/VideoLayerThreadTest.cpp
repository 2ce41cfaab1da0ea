// Frames presented on a streaming thread while the compose thread draws the
// video play window: the notice only sets flags and invalidates, the draw
// takes the texture under UIRenderMutex.

#include "screens/video/testing/TestPatternSource.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/videoplaywindow.h"

#include "toolkit/render/tests/RenderRig.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace UI;

TEST(uiVideoLayer, FramesPresentedWhileTheWindowDraws)
{
    test::D3DScene d3d(200, 150);
    uiVideoLayer layer;
    auto source = plat::ComPtr<test::TestPatternSource>::adopt(
        test::TestPatternSource::Create(&layer, d3d.rig.device.get(), 32, 24));
    layer.SetVideoSource(source.get());
    window root("root");
    root.SetSize(200, 150);
    auto* video = new videoplaywindow("videoplaywindow");
    video->SetSize(100, 80);
    root.AddChild(video);
    video->CreateChildren();
    video->Show(true);
    video->ShowVideo();
    uiMgr::Instance().SetVideoWindow(video);

    std::atomic<bool> stop{false};
    std::thread presenter([&] {
        for (int i = 0; i < 300 && !stop; ++i) source->Present();
    });
    int drawn = 0;
    for (; drawn < 100; ++drawn) {
        CMutexGuard hold(UIRenderMutex());
        if (layer.NeedsRedraw()) layer.Render();
        video->Draw();
    }
    stop = true;
    presenter.join();
    uiMgr::Instance().SetVideoWindow(nullptr);
    EXPECT_EQ(drawn, 100);
}
