#include "SoftwareResources.h"

#include "platform/window/PresentWindow.h"

#include "platform/base/DebugLog.h"

#include <cairo.h>

struct HDC__ {
    cairo_surface_t* surface;
    cairo_t* cairo;
};

namespace plat {

void DeviceContextClose::operator()(HDC__* dc) const
{
    cairo_destroy(dc->cairo);
    cairo_surface_flush(dc->surface);
    cairo_surface_destroy(dc->surface);
    delete dc;
}

_cairo* device_context_cairo(HDC dc) { return dc ? dc->cairo : nullptr; }

SoftwareSurface::SoftwareSurface(std::shared_ptr<DeviceCore> core, IUnknown* container, UINT width, UINT height,
                                 D3DFORMAT format, D3DPOOL pool, DWORD usage)
    : m_core(std::move(core)), m_container(container), m_width(width), m_height(height), m_format(format),
      m_pool(pool), m_usage(usage), m_pixels(std::size_t(width) * height, 0u)
{
    if (m_pool == D3DPOOL_DEFAULT) ++m_core->default_pool;
}

SoftwareSurface::~SoftwareSurface()
{
    if (m_pool == D3DPOOL_DEFAULT) --m_core->default_pool;
}

HRESULT SoftwareSurface::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
        *object = static_cast<IDirect3DSurface9*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG SoftwareSurface::AddRef()
{
    if (m_container) return m_container->AddRef();
    return ++m_refs;
}

ULONG SoftwareSurface::Release()
{
    if (m_container) return m_container->Release();
    ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT SoftwareSurface::GetDevice(IDirect3DDevice9** device)
{
    if (device == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    *device = m_core->device;
    if (*device == nullptr) return D3DERR_INVALIDCALL;
    (*device)->AddRef();
    return D3D_OK;
}

HRESULT SoftwareSurface::GetContainer(REFIID riid, void** container)
{
    if (container == nullptr) return E_POINTER;
    if (m_container) return m_container->QueryInterface(riid, container);
    *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT SoftwareSurface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{m_format, D3DRTYPE_SURFACE, m_usage, m_pool, D3DMULTISAMPLE_NONE, 0, m_width, m_height};
    return D3D_OK;
}

HRESULT SoftwareSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD)
{
    if (locked == nullptr) return D3DERR_INVALIDCALL;
    LONG x = 0, y = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > LONG(m_width) || rect->bottom > LONG(m_height) ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        x = rect->left;
        y = rect->top;
    }
    write_pending_clear();
    locked->Pitch = INT(m_width * 4);
    locked->pBits = m_pixels.data() + std::size_t(y) * m_width + x;
    return D3D_OK;
}

HRESULT SoftwareSurface::GetDC(HDC* dc)
{
    if (dc == nullptr) return D3DERR_INVALIDCALL;
    *dc = nullptr;
    if (m_dc || (m_format != D3DFMT_X8R8G8B8 && m_format != D3DFMT_A8R8G8B8)) return D3DERR_INVALIDCALL;
    write_pending_clear();
    // Our texels are premultiplied ARGB words, which is cairo's ARGB32; an
    // X8R8G8B8 surface is opaque to cairo whatever its unused bytes hold.
    if (m_format == D3DFMT_X8R8G8B8) {
        for (auto& texel : m_pixels) texel |= 0xff000000u;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(m_pixels.data()), CAIRO_FORMAT_ARGB32, int(m_width), int(m_height),
        int(m_width * 4));
    m_dc.reset(new HDC__{surface, cairo_create(surface)});
    *dc = m_dc.get();
    return D3D_OK;
}

HRESULT SoftwareSurface::ReleaseDC(HDC dc)
{
    if (dc == nullptr || dc != m_dc.get()) return D3DERR_INVALIDCALL;
    m_dc.reset();
    if (m_format == D3DFMT_X8R8G8B8) {
        for (auto& texel : m_pixels) texel |= 0xff000000u;
    }
    return D3D_OK;
}

raster::Image SoftwareSurface::pixels_as_they_are()
{
    return raster::Image{m_pixels.data(), int(m_width), int(m_height), int(m_width), m_format == D3DFMT_X8R8G8B8};
}

raster::Image SoftwareSurface::image()
{
    write_pending_clear();
    return pixels_as_they_are();
}

raster::Image SoftwareSurface::draw_target()
{
    raster::Image target = pixels_as_they_are();
    if (m_clear_pending.load(std::memory_order_relaxed)) target.pending = &m_clear;
    return target;
}

void SoftwareSurface::clear(raster::Box box, D3DCOLOR color)
{
    write_pending_clear();
    raster::defer_fill(m_clear, pixels_as_they_are(), box, color);
    m_clear_pending.store(m_clear.rows_left > 0, std::memory_order_release);
}

// Readers on other threads (a locked texture) take the device's lock only
// when there is something to write.
void SoftwareSurface::write_pending_clear()
{
    if (!m_clear_pending.load(std::memory_order_acquire)) return;
    std::scoped_lock hold(m_core->lock);
    raster::write_pending(pixels_as_they_are(), m_clear);
    m_clear_pending.store(false, std::memory_order_release);
}

bool SoftwareSurface::hand_to_window(HWND window, int shown_width, int shown_height)
{
    // A context handed out still draws into these pixels.
    if (m_dc || m_format != D3DFMT_A8R8G8B8) return false;
    write_pending_clear();
    return present_frame_swap(window, m_pixels, int(m_width), int(m_height), shown_width, shown_height);
}

void SoftwareSurface::resize(UINT width, UINT height)
{
    m_width = width;
    m_height = height;
    m_pixels.assign(std::size_t(width) * height, 0u);
    m_clear.rows_left = 0;
    m_clear_pending.store(false, std::memory_order_release);
}

SoftwareTexture::SoftwareTexture(std::shared_ptr<DeviceCore> core, UINT width, UINT height, D3DFORMAT format,
                                 D3DPOOL pool, DWORD usage)
    : m_level(std::move(core), this, width, height, format, pool, usage)
{
}

HRESULT SoftwareTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level != 0) return D3DERR_INVALIDCALL;
    return m_level.GetDesc(desc);
}

HRESULT SoftwareTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (level != 0 || surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = &m_level;
    m_level.AddRef();
    return D3D_OK;
}

HRESULT SoftwareTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (level != 0) return D3DERR_INVALIDCALL;
    return m_level.LockRect(locked, rect, flags);
}

HRESULT SoftwareTexture::UnlockRect(UINT level) { return level == 0 ? D3D_OK : D3DERR_INVALIDCALL; }

SoftwareTexture* software_texture(IDirect3DBaseTexture9* texture) { return dynamic_cast<SoftwareTexture*>(texture); }

SoftwareSurface* software_surface(IDirect3DSurface9* surface) { return dynamic_cast<SoftwareSurface*>(surface); }

}
