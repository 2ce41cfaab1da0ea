#pragma once
// A video layer showing a test pattern of the given size, on a headless
// software device of the given screen size.

#include "screens/video/testing/TestPatternSource.h"
#include "screens/video/uiVideoLayer.h"

#include "toolkit/render/tests/RenderRig.h"

namespace test {

struct PatternScene {
    D3DScene d3d;
    UI::uiVideoLayer layer;
    plat::ComPtr<TestPatternSource> source;

    PatternScene(UINT screen_width, UINT screen_height, UINT video_width, UINT video_height)
        : d3d(screen_width, screen_height),
          source(plat::ComPtr<TestPatternSource>::adopt(
              TestPatternSource::Create(&layer, d3d.rig.device.get(), video_width, video_height)))
    {
        layer.SetVideoSource(source.get());
    }
};

}
