#pragma once
// The video source of playback: the allocator-presenter of a Video Mixing
// Renderer 9 in renderless mode. Every decoded frame is copied into a private
// texture on the UI's own Direct3D device (or, when the renderer could make
// texture surfaces, its surface 0 is drawn directly), and the owner is told.
//
// Threads: AttachGraph, DetachGraph, Close and ChangeDevice run on the UI
// thread; the allocator and presenter calls on the renderer's threads;
// GetTexture and GetVideoSize on the compose thread. The source's lock guards
// the surfaces, the textures and the copy; it is taken inside the calls, so
// the video layer takes none of its own (lock order: UIRenderMutex, the
// source's lock, the device's lock). The owner is told after the lock is left.

#include "playback/videosource/CVideoSource.h"

#include <memory>
#include <mutex>
#include <vector>

namespace RenderEngine {
class D3D9Render;
}

class CVideoSourceVMR9 final : public CVideoSource,
                               public IVMRSurfaceAllocator9,
                               public IVMRImagePresenter9,
                               public IVMRImageCompositor9 {
public:
    // render gives the UI's device for the length of each call that needs it;
    // it outlives the source.
    CVideoSourceVMR9(IVideoSourceNotify* owner, RenderEngine::D3D9Render* render);

    HRESULT QueryInterface(REFIID riid, void** object) override { return CVideoSource::QueryInterface(riid, object); }
    ULONG AddRef() override { return CVideoSource::AddRef(); }
    ULONG Release() override { return CVideoSource::Release(); }

    HRESULT GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords) override;
    HRESULT AttachGraph(IBaseFilter* vmr9) override;
    HRESULT DetachGraph() override;
    HRESULT Close() override;
    HRESULT ChangeDevice(IUnknown* device) override;

    HRESULT InitializeDevice(DWORD_PTR user_id, VMR9AllocationInfo* info, DWORD* buffers) override;
    HRESULT TerminateDevice(DWORD_PTR user_id) override;
    HRESULT GetSurface(DWORD_PTR user_id, DWORD index, DWORD flags, IDirect3DSurface9** surface) override;
    HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9* notify) override;

    HRESULT StartPresenting(DWORD_PTR user_id) override;
    HRESULT StopPresenting(DWORD_PTR user_id) override;
    HRESULT PresentImage(DWORD_PTR user_id, VMR9PresentationInfo* info) override;

    HRESULT InitCompositionDevice(IUnknown* device) override;
    HRESULT TermCompositionDevice(IUnknown* device) override;
    HRESULT SetStreamMediaType(DWORD stream, AM_MEDIA_TYPE* type, BOOL texture) override;
    HRESULT CompositeImage(IUnknown* device, IDirect3DSurface9* target, AM_MEDIA_TYPE* type, REFERENCE_TIME start,
                           REFERENCE_TIME end, D3DCOLOR background, VMR9VideoStreamInfo* streams,
                           UINT count) override;

    // The identity the renderer is given as its user id.
    DWORD_PTR UserId() const { return reinterpret_cast<DWORD_PTR>(this); }

private:
    ~CVideoSourceVMR9() override;
    void* NonDelegatingQueryInterface(REFIID riid) override;

    plat::ComPtr<IDirect3DDevice9> device() const;
    HRESULT attach(IBaseFilter* vmr9);
    HRESULT set_up_mixer();
    void let_go_of_renderer();
    HRESULT allocate(IDirect3DDevice9* device, VMR9AllocationInfo& info, DWORD& buffers, UINT width, UINT height);
    HRESULT composite_stream(IDirect3DDevice9* device, const VMR9VideoStreamInfo& stream);
    void release_frames();   // under m_lock

    RenderEngine::D3D9Render* const m_render;
    const int m_scale{1};   // multiplies sizes and destination rectangles; nothing changes it

    plat::ComPtr<IVMRSurfaceAllocatorNotify9> m_notify;   // UI thread: attach and detach
    plat::ComPtr<IFilterGraph> m_graph;                   // UI thread

    mutable std::mutex m_lock;   // the source's lock: guards every field below
    std::vector<plat::ComPtr<IDirect3DSurface9>> m_surfaces;
    DWORD m_buffers{0};                                // what the renderer was given
    plat::ComPtr<IDirect3DTexture9> m_texture;         // the copy target the video layer draws
    plat::ComPtr<IDirect3DSurface9> m_texture_surface; // its level 0
    plat::ComPtr<IDirect3DTexture9> m_compositor_texture;
    bool m_textures_are_surfaces{false};               // surface 0 is drawn directly
};
