#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wmultiprogress.h"

#include "platform/d3d9/DeviceLoss.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

TEST(wmultiprogress, PaintsAQueueDownToTwentyNineThenOnePerFrame)
{
    test::ControlScene scene;
    UI::wmultiprogress bar("download");
    bar.SetSize(202, 10);
    bar.SetSkin("timeline", "progressbg");
    for (int i = 0; i < 40; ++i)
        bar.AddSegment(float(i * 2), float(i * 2 + 1));
    EXPECT_FLOAT_EQ(bar.GetValue(), 78);
    const int expected[] = {11, 1, 1};
    for (int frame : expected) {
        scene.render().ops.clear();
        bar.Draw();
        EXPECT_EQ(test::draws_of(scene.render(), "timeline", true), frame);
    }
}

TEST(wmultiprogress, BarsOfTwoPixelsOrLessPaintNothing)
{
    const struct { float width, height; } cases[] = {{2, 10}, {100, 2}, {1, 1}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        test::ControlScene scene;
        UI::wmultiprogress bar("download");
        bar.SetSize(c.width, c.height);
        bar.SetSkin("timeline", "progressbg");
        bar.AddSegment(0, 50);
        bar.Draw();
        EXPECT_EQ(test::draws_of(scene.render(), "timeline", true), 0);
        for (const auto& op : scene.render().ops)
            EXPECT_NE(op.what, "buffer");
    }
}

// The bar's surface is the resource manager's, so the device can reset, and
// the spans painted before are painted again into the emptied surface.
TEST(wmultiprogress, DrawsItsSpansAgainAfterADeviceReset)
{
    test::SkinRig rig;
    auto device = plat::ComPtr<IDirect3DDevice9>::adopt(rig.manager.GetDevice());
    UI::wmultiprogress bar("download");
    bar.SetSize(102, 10);
    bar.SetSkin("timeline", "progressbg");
    bar.AddSegment(0, 100);
    bar.Draw();

    plat::inject_device_loss(device.get(), plat::DeviceLoss::ResetPending);
    ASSERT_TRUE(rig.manager.ResetDevice());
    constexpr DWORD Black = 0xff000000u;
    device->Clear(0, nullptr, D3DCLEAR_TARGET, Black, 1.0f, 0);
    bar.Draw();
    const DWORD inside = test::back_pixel(device.get(), 50, 5);
    EXPECT_NE(inside, Black);
    EXPECT_GT(inside >> 16 & 0xff, inside & 0xff);   // the accent fill, not the grey track
}
