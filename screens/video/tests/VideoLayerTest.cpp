#include "screens/video/tests/PatternScene.h"
#include "screens/video/tests/VideoScene.h"
#include "screens/video/uiVideoLayer.h"

#include "playback/visualization/CVisualizationSource.h"
#include "toolkit/controls/SkinDraw.h"

#include "platform/base/DebugLog.h"
#include "platform/com/ComObject.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

using namespace UI;

namespace {

// Remembers the play positions the visualisation reads the sound at.
class PositionReader final : public plat::ComObject<ISampleReader> {
public:
    std::vector<LONGLONG> positions;
    LONG Read(LONGLONG position, BYTE*, LONG) override
    {
        positions.push_back(position);
        return 0;
    }
};

bool near_colour(DWORD got, DWORD want, int tolerance = 3)
{
    for (int shift : {0, 8, 16}) {
        const int a = int(got >> shift & 0xff), b = int(want >> shift & 0xff);
        if (std::abs(a - b) > tolerance) return false;
    }
    return true;
}

DWORD scaled(DWORD colour, float alpha)
{
    DWORD out = 0xff000000u;
    for (int shift : {0, 8, 16}) out |= DWORD(float(colour >> shift & 0xff) * alpha + 0.5f) << shift;
    return out;
}

}  // namespace

TEST(uiVideoLayer, WithoutASourceThereIsNoFrame)
{
    test::VideoScene s;
    uiVideoLayer layer;
    plat::DebugCapture log;
    EXPECT_EQ(uiVideoLayer::Instance(), &layer);
    fpoint size{-1, -1};
    EXPECT_FALSE(layer.GetTexture(&size));
    EXPECT_EQ(layer.OnDeviceEvent(uiVideoLayer::AttachGraphEvent, 0, 0), -1);
    EXPECT_EQ(layer.OnDeviceEvent(uiVideoLayer::DetachGraphEvent, 0, 0), 1);
    EXPECT_EQ(layer.Render(), 0);
    // The window shows its frame and nothing inside it, and says why once, not every frame.
    s.show_centred();
    s.video->ShowVideo();
    s.scene.render().ops.clear();
    s.frames(3);
    EXPECT_EQ(test::draws_of(s.scene.render(), "videoframe"), 0);
    EXPECT_GT(test::draws_of(s.scene.render(), "videonormalbg"), 0);
    // While it loads, the picture's place is hidden.
    s.video->ShowLoading();
    s.frames(2);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"video layer: no frame: no video source",
                                                     "video window: draws no picture: the video layer gives no frame",
                                                     "video window: draws no picture: its place is hidden (loading, or no clip)"}));
}

TEST(uiVideoLayer, AHeightOfZeroOrLessIsNoSize)
{
    uiVideoLayer layer;
    layer.SetVideoSize(640, 360);
    for (const float height : {0.0f, -1.0f}) {
        layer.SetVideoSize(640, height);
        EXPECT_FLOAT_EQ(layer.GetAspect(), 640.0f / 360.0f);
    }
}

// The test pattern lands inside the frame, stretched over the picture's
// place, at the window's alpha; nothing outside the picture changes.
TEST(uiVideoLayer, TheFrameIsDrawnInsideTheWindowAtItsAlpha)
{
    test::PatternScene pattern(400, 300, 64, 48);
    ASSERT_TRUE(pattern.source);
    test::D3DScene& d3d = pattern.d3d;

    window root("root");
    root.SetSize(400, 300);
    auto* video = new videoplaywindow("videoplaywindow");
    video->SetSize(172, 132);
    root.AddChild(video);
    video->CreateChildren();
    root.UpdateLayout();
    video->Show(true);
    video->ShowVideo();
    plat::DebugCapture log;
    for (const float alpha : {255.0f, 128.0f}) {
        SCOPED_TRACE(alpha);
        d3d.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
        video->SetAlpha(alpha);
        video->Draw();
        const fpoint at = DrawPositionOf(*video->Picture());
        const fpoint size = video->Picture()->GetSize();
        ASSERT_FLOAT_EQ(size.x, 160);
        for (int bar = 0; bar < 8; ++bar) {
            SCOPED_TRACE(bar);
            const int x = int(at.x + size.x * (float(bar) + 0.5f) / 8), y = int(at.y + size.y / 3);
            EXPECT_TRUE(near_colour(d3d.at(x, y), scaled(test::TestPatternSource::BarColour(bar), alpha / 255)))
                << std::hex << d3d.at(x, y);
        }
        const RECT drawn = d3d.drawn(0xff000000u);
        EXPECT_GE(drawn.left, LONG(at.x));
        EXPECT_GE(drawn.top, LONG(at.y));
        EXPECT_LE(drawn.right, LONG(at.x + size.x));
        EXPECT_LE(drawn.bottom, LONG(at.y + size.y));
    }
    // The first frame is told, the second is not.
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"video layer: gives the video source's frame (64 x 48)",
                                                     "video window: draws the picture"}));
}

// In clock mode 2 every compose cycle (the layer's Render) draws the next
// 1/30 s of sound; the window's GetTexture only reads the frame.
TEST(uiVideoLayer, TheVisualisationAdvancesOneFrameACycle)
{
    plat::TemporaryRegistry no_effects;
    test::PatternScene pattern(64, 64, 16, 16);
    uiVideoLayer& layer = pattern.layer;
    CVisualizationSource visualization(pattern.d3d.renderer);
    auto reader = plat::ComPtr<PositionReader>::adopt(new PositionReader);
    visualization.SetSampleReader(reader.get());
    layer.SetVisualizationSource(&visualization);

    layer.SetPlayTime(90);   // clock mode 1: ignored
    layer.SetClockMode(uiVideoLayer::ClockVisualization);
    layer.SetPlayTime(90);
    for (int cycle = 0; cycle < 3; ++cycle) {
        layer.Render();
        fpoint size;
        EXPECT_TRUE(layer.GetTexture(&size));
        EXPECT_TRUE(layer.NeedsRedraw());
        EXPECT_FLOAT_EQ(size.x, 320);
    }
    const LONGLONG base = 90LL * 10'000'000;
    EXPECT_EQ(reader->positions, (std::vector<LONGLONG>{base + 333'333, base + 666'666, base + 1'000'000}));
}

TEST(uiVideoLayer, APresentedFrameInvalidatesTheLayerAndTheVideoWindow)
{
    test::VideoScene s;
    test::PatternScene pattern(32, 32, 16, 16);
    uiVideoLayer& layer = pattern.layer;
    layer.GetTexture(nullptr);
    EXPECT_FALSE(layer.NeedsRedraw());
    s.root.SetDirty(false);
    layer.SetDirty(false);
    pattern.source->Present();
    EXPECT_FALSE(layer.IsDirty());   // the presenting thread touches no widget
    EXPECT_TRUE(layer.NeedsRedraw());
    EXPECT_TRUE(layer.IsDirty());
    EXPECT_TRUE(s.root.IsDirty());   // the video window's redraw reaches the tree's flag
}
