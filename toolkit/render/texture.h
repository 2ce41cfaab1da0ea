#pragma once
// A Direct3D texture loaded from a picture file or made empty, that can drop
// and recreate its device object around a device reset.

#include "toolkit/render/res.h"

#include "platform/com/ComPtr.h"

#include <string_view>

struct IDirect3DDevice9;
struct IDirect3DTexture9;

namespace RenderEngine {

class texture : public res {
public:
    // The device is kept for loading and restoring.
    texture(IDirect3DDevice9* device, int id, std::string name);
    ~texture() override;

    virtual void ReleaseDeviceObject();
    virtual void RestoreDeviceObject();

    // Opacity 0..255: below 255 every colour is scaled by opacity / 255 (alpha stays).
    bool Load(std::u16string_view path, float opacity);
    // Pool 1 (managed) and 2 (system memory) make plain textures, others render targets.
    bool Create(unsigned width, unsigned height, DWORD pool, DWORD format);

    // Shows a texture made elsewhere (a video frame), counted, of that size;
    // null empties it. Kept out of the resource manager's tables: a device
    // reset would bring it back empty.
    void Attach(IDirect3DTexture9* made, float width, float height);

    // With a reference added; null when empty.
    IDirect3DTexture9* GetD3DTexture() const;
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }

private:
    plat::ComPtr<IDirect3DDevice9> m_device;
    plat::ComPtr<IDirect3DTexture9> m_texture;   // null when empty
    float m_width{0};
    float m_height{0};
};

}
