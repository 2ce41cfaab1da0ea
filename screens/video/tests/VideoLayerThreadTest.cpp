// Frames presented on a streaming thread while the compose thread draws the
// video play window: the notice only sets flags and invalidates, the draw
// takes the texture under UIRenderMutex.

#include "screens/video/tests/PatternScene.h"
#include "screens/video/videoplaywindow.h"

#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace UI;

TEST(uiVideoLayer, FramesPresentedWhileTheWindowDraws)
{
    test::PatternScene pattern(200, 150, 32, 24);
    uiVideoLayer& layer = pattern.layer;
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
        for (int i = 0; i < 300 && !stop; ++i) pattern.source->Present();
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
