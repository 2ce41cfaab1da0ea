// The visualisation as the video layer drives it in its visualisation clock mode.

#include "playback/visualization/CVisualizationSource.h"
#include "screens/video/tests/PatternScene.h"
#include "screens/video/uiVideoLayer.h"

#include "platform/com/ComObject.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <vector>

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

}  // namespace

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
