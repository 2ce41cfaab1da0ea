#pragma once
// Device loss on demand, for tests of the callers' lost-device paths. Our
// software device never loses itself.

struct IDirect3DDevice9;

namespace plat {

enum class DeviceLoss {
    Lost,           // TestCooperativeLevel and Present report D3DERR_DEVICELOST; Reset fails
    ResetPending,   // D3DERR_DEVICENOTRESET until a Reset succeeds
};

// Does nothing for a device that is not ours.
void inject_device_loss(IDirect3DDevice9* device, DeviceLoss loss);

}
