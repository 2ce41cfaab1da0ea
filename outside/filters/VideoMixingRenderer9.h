#pragma once
// "Video Mixing Renderer 9": presents each picture when the graph's clock
// reaches its time and drops a picture that comes after its time has passed.
// In renderless mode it is the renderer side of a custom allocator-presenter:
// the presenter gives it a Direct3D device and itself as allocator; each
// picture is converted (libswscale) into an X8R8G8B8 surface the allocator
// had this filter make on that device, and handed to PresentImage. In the
// windowed and windowless modes there is no window here: pictures are timed
// and counted, and nothing is shown.

#include "RendererBase.h"
#include "platform/com/ComPtr.h"
#include "platform/dshow/Vmr9.h"

#include <memory>
#include <mutex>

namespace filters {

inline constexpr CLSID CLSID_VideoMixingRenderer9 = plat::make_guid("{51B4ABF3-748F-4E3B-A276-C828330E926A}");

class SurfaceWriter;

// The surfaces a VMR-9 allocation asks for, made on device as the renderer's
// AllocateSurfaceHelper makes them: level 0 of render-target textures with
// VMR9AllocFlag_TextureSurface, plain surfaces otherwise, X8R8G8B8 for a YUV
// format (our device keeps every picture as RGB). On failure none is kept.
HRESULT make_vmr9_surfaces(IDirect3DDevice9* device, const VMR9AllocationInfo& info, DWORD buffers,
                           IDirect3DSurface9** surfaces);

class VideoMixingRenderer9 final : public RendererBase,
                                   public IVMRFilterConfig9,
                                   public IVMRSurfaceAllocatorNotify9,
                                   public IVMRMixerControl9 {
public:
    VideoMixingRenderer9();
    ~VideoMixingRenderer9() override;

    HRESULT QueryInterface(REFIID iid, void** object) override { return RendererBase::QueryInterface(iid, object); }
    ULONG AddRef() override { return RendererBase::AddRef(); }
    ULONG Release() override { return RendererBase::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IVMRFilterConfig9: the mode changes only while the input is unconnected
    // or stopped; 1 to 16 streams.
    HRESULT SetNumberOfStreams(DWORD streams) override;
    HRESULT GetNumberOfStreams(DWORD* streams) override;
    HRESULT SetRenderingMode(DWORD mode) override;
    HRESULT GetRenderingMode(DWORD* mode) override;

    HRESULT AdviseSurfaceAllocator(DWORD_PTR user_id, IVMRSurfaceAllocator9* allocator) override;
    HRESULT SetD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) override;
    HRESULT ChangeD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) override;
    HRESULT AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* buffers, IDirect3DSurface9** surfaces) override;

    HRESULT SetMixingPrefs(DWORD prefs) override;
    HRESULT GetMixingPrefs(DWORD* prefs) override;

    // The start of the last picture presented.
    HRESULT GetSinkPosition(REFERENCE_TIME* position) override;

private:
    HRESULT check_input(const CMediaType& type) const override;
    HRESULT input_connected(const CMediaType& type) override;
    void render(IMediaSample* sample) override;
    void drain() override {}
    void discard() override {}
    void state_changed(FILTER_STATE) override {}

    bool late(REFERENCE_TIME start, REFERENCE_TIME stop);
    // The allocator's device made ready for the input's pictures, once per
    // allocator and type; false when there is none or it refused.
    bool allocator_ready(plat::ComPtr<IVMRSurfaceAllocator9>& allocator, DWORD_PTR& id);
    HRESULT present(IVMRSurfaceAllocator9* allocator, DWORD_PTR id, IMediaSample* sample, REFERENCE_TIME start,
                    REFERENCE_TIME stop);

    mutable std::mutex m_lock;   // not the filter lock: the streaming thread takes it around each picture
    DWORD m_mode = VMR9Mode_Windowed;                        // guarded by m_lock
    DWORD m_streams = 1;                                     // guarded by m_lock
    DWORD m_mixing_prefs = MixerPref9_RenderTargetRGB;       // guarded by m_lock
    plat::ComPtr<IVMRSurfaceAllocator9> m_allocator;         // guarded by m_lock
    DWORD_PTR m_user_id = 0;                                 // guarded by m_lock
    plat::ComPtr<IDirect3DDevice9> m_device;                 // guarded by m_lock
    bool m_device_ready = false;                             // guarded by m_lock; InitializeDevice done for this type
    VMR9AllocationInfo m_allocation{};                       // guarded by m_lock; what the input's pictures need
    std::unique_ptr<SurfaceWriter> m_writer;                 // guarded by m_lock
    REFERENCE_TIME m_shown = -1;                             // guarded by m_lock; -1 before the first picture
};

}
