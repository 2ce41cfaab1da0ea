// The player's layers through a device reset as the program runs it: the
// video source lets go of its Direct3D objects before the reset and hands the
// attached renderer the device after it.

#include "playback/playlogic/PlayerLayers.h"
#include "playback/videosource/tests/FakeVmr9.h"
#include "screens/video/uiVideoLayer.h"

#include "toolkit/resmgr/tests/SkinRig.h"

#include "platform/d3d9/DeviceLoss.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

using plat::ComPtr;

TEST(PlayerLayers, ADeviceResetLetsTheVideoSourceGoAndHandsItsRendererTheDevice)
{
    plat::TemporaryRegistry registry;
    test::SkinRig skin;
    UI::PlayerLayers layers(skin.renderer);
    auto graph = ComPtr<FakeGraph>::adopt(new FakeGraph());
    auto vmr = ComPtr<FakeVmr9>::adopt(new FakeVmr9(graph.get()));
    ASSERT_EQ(layers.Layer()->OnDeviceEvent(UI::uiVideoLayer::AttachGraphEvent,
                                            reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(vmr.get())), 0),
              1);
    ASSERT_NE(vmr->allocator, nullptr);
    // The graph connects: the renderer's surfaces and the source's frame texture, all in the default pool.
    VMR9AllocationInfo info{0, 64, 36, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, 1, {0, 0}, {64, 36}};
    DWORD buffers = 2;
    ASSERT_EQ(vmr->allocator->InitializeDevice(vmr->allocator_id, &info, &buffers), S_OK);

    auto device = ComPtr<IDirect3DDevice9>::adopt(skin.manager.GetDevice());
    plat::inject_device_loss(device.get(), plat::DeviceLoss::ResetPending);
    EXPECT_TRUE(layers.ResetDevice([&] { return skin.manager.ResetDevice(); }));
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(vmr->device_changes, 1);
    EXPECT_EQ(vmr->device, device);

    graph->state = State_Stopped;
    layers.Layer()->OnDeviceEvent(UI::uiVideoLayer::DetachGraphEvent, 0, 0);
}
