#pragma once
// Textures and surfaces of the software device, in CPU memory. Private to
// platform/d3d9.

#include "platform/com/ComObject.h"
#include "platform/d3d9/DeviceLoss.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/d3d9/Raster.h"
#include "platform/com/ComPtr.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {


// What every resource of one device shares with it; outlives the device while resources live.
struct DeviceCore {
    std::recursive_mutex lock;            // the multithreaded device's lock: every device call holds it
    IDirect3DDevice9* device{nullptr};    // guarded by lock; null once the device died
    std::atomic<int> default_pool{0};     // live resources of the default pool, which block Reset
};

struct DeviceContextClose {
    void operator()(HDC__* dc) const;
};

class SoftwareSurface final : public IDirect3DSurface9 {
public:
    // A surface of a texture counts its references with the texture (container non-null).
    SoftwareSurface(std::shared_ptr<DeviceCore> core, IUnknown* container, UINT width, UINT height,
                    D3DFORMAT format, D3DPOOL pool, DWORD usage);
    ~SoftwareSurface();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override { return D3D_OK; }
    HRESULT GetDC(HDC* dc) override;
    HRESULT ReleaseDC(HDC dc) override;

    // Every pixel written (a clear left pending is written first).
    raster::Image image();
    // For draws into this surface: a pending clear goes with the pixels, and
    // each row is written as the draws reach it. Under the device's lock.
    raster::Image draw_target();
    // Clears the box (inside the surface) when the pixels are next needed:
    // a draw covering a row writes the row once. Under the device's lock.
    void clear(raster::Box box, D3DCOLOR color);
    UINT width() const { return m_width; }
    UINT height() const { return m_height; }
    DWORD usage() const { return m_usage; }
    D3DPOOL pool() const { return m_pool; }
    void resize(UINT width, UINT height);
    // Gives the pixels to the present window in place of a copy when its
    // client area is the top-left shown_width x shown_height corner of them
    // (the window's previous frame comes back): a discarded back buffer's
    // present. False when the client has another size or a context still draws here.
    bool hand_to_window(HWND window, int shown_width, int shown_height);

private:
    std::shared_ptr<DeviceCore> m_core;
    IUnknown* m_container;                // not owned: the texture this surface is level 0 of
    std::atomic<ULONG> m_refs{1};         // used only without a container
    UINT m_width;
    UINT m_height;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    DWORD m_usage;
    std::vector<std::uint32_t> m_pixels;  // row after row, pitch = width
    void write_pending_clear();
    raster::Image pixels_as_they_are();
    raster::PendingClear m_clear;              // guarded by the device's lock
    std::atomic<bool> m_clear_pending{false};  // m_clear has rows to write; set and cleared under the device's lock
    std::unique_ptr<HDC__, DeviceContextClose> m_dc;   // the context handed out, until ReleaseDC
};

class SoftwareTexture final
    : public plat::ComObject<IDirect3DTexture9> {
public:
    SoftwareTexture(std::shared_ptr<DeviceCore> core, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                    DWORD usage);

    HRESULT GetDevice(IDirect3DDevice9** device) override { return m_level.GetDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    SoftwareSurface& level() { return m_level; }

private:
    SoftwareSurface m_level;
};

// Draws glyph coverage unscaled with the device's states, as textures of
// premultiplied white coverage would draw; false when the device is not ours.
bool draw_coverage(IDirect3DDevice9* device, const raster::Coverage* glyphs, std::size_t count, D3DCOLOR color);

// Ours when the interface came from this layer; null otherwise.
SoftwareTexture* software_texture(IDirect3DBaseTexture9* texture);
SoftwareSurface* software_surface(IDirect3DSurface9* surface);

}
