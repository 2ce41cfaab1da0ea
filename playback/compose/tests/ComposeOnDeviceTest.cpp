// The compose server over the real renderer and our software device: a device
// that must be reset is announced to the layers each frame until the UI
// thread resets it under UIRenderMutex, and frames are drawn again after.

#include "playback/compose/VMRServer.h"

#include "toolkit/render/D3D9Render.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/d3d9/DeviceLoss.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

class CountingLayer final : public IUo {
public:
    bool NeedsRedraw() override { return true; }
    bool IsLayerActive() override { return true; }
    long Render() override
    {
        std::scoped_lock hold(m_lock);
        ++m_draws;
        m_changed.notify_all();
        return 0;
    }
    long OnDeviceEvent(DWORD code, intptr_t, intptr_t) override
    {
        std::scoped_lock hold(m_lock);
        if (code == device_reset_notice) {
            ++m_reset_notices;
            m_draws_at_notice = m_draws;
        }
        m_changed.notify_all();
        return 0;
    }

    // Waits for the first reset notice; the draws seen by then.
    int wait_reset_notice()
    {
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [this] { return m_reset_notices > 0; });
        return m_draws_at_notice;
    }
    void wait_draws(int count)
    {
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [&] { return m_draws >= count; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_draws{0};   // guarded by m_lock, like the two below
    int m_reset_notices{0};
    int m_draws_at_notice{0};
};

TEST(ComposeOnDevice, ADeviceToResetIsAnnouncedUntilTheUIThreadResetsIt)
{
    test::DeviceRig rig = test::make_device(32, 32);
    RenderEngine::D3D9Render render;
    render.SetDevice(rig.device.get());
    plat::inject_device_loss(rig.device.get(), plat::DeviceLoss::ResetPending);
    CountingLayer layer;
    auto* server = new VMRServer();
    server->AddRef();
    server->AddLayer(&layer);
    server->Start(&render);

    EXPECT_EQ(layer.wait_reset_notice(), 0);   // nothing drawn while the device waits for its reset
    {
        CMutexGuard hold(UIRenderMutex());   // as the UI thread's reset does
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 32;
        pp.BackBufferHeight = 32;
        pp.Windowed = TRUE;
        ASSERT_EQ(rig.device->Reset(&pp), D3D_OK);
    }
    layer.wait_draws(2);
    server->Stop();
    server->Release();
    EXPECT_EQ(test::back_pixel(rig.device.get(), 5, 5), 0xff121212u);   // the renderer's cleared frame
}

}
