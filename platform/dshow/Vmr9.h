#pragma once
// The Video Mixing Renderer 9 interfaces and records that a renderless
// allocator-presenter and its renderer exchange, with their Windows names,
// numbers and layouts. Interfaces declare the methods the system calls.

#include "platform/d3d9/Direct3D.h"
#include "platform/dshow/DShowTypes.h"

inline constexpr IID IID_IVMRSurfaceAllocator9 = plat::make_guid("{8D5148EA-3F5D-46CF-9DF1-D1B896EEDB1F}");
inline constexpr IID IID_IVMRSurfaceAllocatorNotify9 = plat::make_guid("{DCA3F5DF-BB3A-4D03-BD81-84614BFBFA0C}");
inline constexpr IID IID_IVMRImagePresenter9 = plat::make_guid("{69188C61-12A3-40F0-8FFC-342E7B433FD7}");
inline constexpr IID IID_IVMRImageCompositor9 = plat::make_guid("{4A5C89EB-DF51-4654-AC2A-E48E02BBABF6}");
inline constexpr IID IID_IVMRFilterConfig9 = plat::make_guid("{5A804648-4F66-4867-9C43-4F5C822CF1B8}");
inline constexpr IID IID_IVMRMixerControl9 = plat::make_guid("{1A777EAA-47C8-4930-B2C9-8FEE1C1B0F3B}");

enum VMR9Mode : DWORD { VMR9Mode_Windowed = 0x1, VMR9Mode_Windowless = 0x2, VMR9Mode_Renderless = 0x4 };

// VMR9AllocationInfo::dwFlags
inline constexpr DWORD VMR9AllocFlag_3DRenderTarget = 0x1;
inline constexpr DWORD VMR9AllocFlag_DXVATarget = 0x2;
inline constexpr DWORD VMR9AllocFlag_TextureSurface = 0x4;
inline constexpr DWORD VMR9AllocFlag_OffscreenSurface = 0x8;

// VMR9PresentationInfo::dwFlags
inline constexpr DWORD VMR9Sample_SyncPoint = 0x1;
inline constexpr DWORD VMR9Sample_TimeValid = 0x8;
inline constexpr DWORD VMR9Sample_SrcDstRectsValid = 0x10;

// Mixing preferences (IVMRMixerControl9)
inline constexpr DWORD MixerPref9_NonSquareMixing = 0x8;
inline constexpr DWORD MixerPref9_RenderTargetRGB = 0x1000;
inline constexpr DWORD MixerPref9_RenderTargetYUV = 0x2000;

struct VMR9AllocationInfo {
    DWORD dwFlags;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DFORMAT Format;   // a FOURCC (above 0x30303030) for YUV surfaces
    D3DPOOL Pool;
    DWORD MinBuffers;
    SIZE szAspectRatio;
    SIZE szNativeSize;
};
static_assert(sizeof(VMR9AllocationInfo) == 40);

struct VMR9PresentationInfo {
    DWORD dwFlags;
    IDirect3DSurface9* lpSurf;   // not counted: valid for the call
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    SIZE szAspectRatio;
    RECT rcSrc;
    RECT rcDst;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

struct VMR9NormalizedRect {
    float left;
    float top;
    float right;
    float bottom;
};

enum VMR9_SampleFormat : DWORD { VMR9_SampleReserved = 1, VMR9_SampleProgressiveFrame = 2 };

struct VMR9VideoStreamInfo {
    IDirect3DSurface9* pddsVideoSurface;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwStrmID;
    float fAlpha;
    VMR9NormalizedRect rNormal;
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    VMR9_SampleFormat SampleFormat;
};

struct IVMRSurfaceAllocatorNotify9;

#define PLAT_INTERFACE_END(Name) \
protected:                       \
    ~Name() = default

// The renderer's allocator, implemented by a custom presenter.
struct IVMRSurfaceAllocator9 : IUnknown {
    static constexpr const IID& iid = IID_IVMRSurfaceAllocator9;
    virtual HRESULT InitializeDevice(DWORD_PTR user_id, VMR9AllocationInfo* info, DWORD* buffers) = 0;
    virtual HRESULT TerminateDevice(DWORD_PTR user_id) = 0;
    virtual HRESULT GetSurface(DWORD_PTR user_id, DWORD index, DWORD flags, IDirect3DSurface9** surface) = 0;
    virtual HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9* notify) = 0;
    PLAT_INTERFACE_END(IVMRSurfaceAllocator9);
};

// The renderer's side that a custom allocator calls back.
struct IVMRSurfaceAllocatorNotify9 : IUnknown {
    static constexpr const IID& iid = IID_IVMRSurfaceAllocatorNotify9;
    // A null allocator detaches the one advised.
    virtual HRESULT AdviseSurfaceAllocator(DWORD_PTR user_id, IVMRSurfaceAllocator9* allocator) = 0;
    virtual HRESULT SetD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) = 0;
    virtual HRESULT ChangeD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) = 0;
    // Fills surfaces[0..*buffers) with counted surfaces; *buffers may come back changed.
    virtual HRESULT AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* buffers, IDirect3DSurface9** surfaces) = 0;
    PLAT_INTERFACE_END(IVMRSurfaceAllocatorNotify9);
};

struct IVMRImagePresenter9 : IUnknown {
    static constexpr const IID& iid = IID_IVMRImagePresenter9;
    virtual HRESULT StartPresenting(DWORD_PTR user_id) = 0;
    virtual HRESULT StopPresenting(DWORD_PTR user_id) = 0;
    // On the renderer's streaming thread.
    virtual HRESULT PresentImage(DWORD_PTR user_id, VMR9PresentationInfo* info) = 0;
    PLAT_INTERFACE_END(IVMRImagePresenter9);
};

struct IVMRImageCompositor9 : IUnknown {
    static constexpr const IID& iid = IID_IVMRImageCompositor9;
    virtual HRESULT InitCompositionDevice(IUnknown* device) = 0;
    virtual HRESULT TermCompositionDevice(IUnknown* device) = 0;
    virtual HRESULT SetStreamMediaType(DWORD stream, AM_MEDIA_TYPE* type, BOOL texture) = 0;
    virtual HRESULT CompositeImage(IUnknown* device, IDirect3DSurface9* target, AM_MEDIA_TYPE* type,
                                   REFERENCE_TIME start, REFERENCE_TIME end, D3DCOLOR background,
                                   VMR9VideoStreamInfo* streams, UINT count) = 0;
    PLAT_INTERFACE_END(IVMRImageCompositor9);
};

struct IVMRFilterConfig9 : IUnknown {
    static constexpr const IID& iid = IID_IVMRFilterConfig9;
    virtual HRESULT SetNumberOfStreams(DWORD streams) = 0;
    virtual HRESULT GetNumberOfStreams(DWORD* streams) = 0;
    virtual HRESULT SetRenderingMode(DWORD mode) = 0;
    virtual HRESULT GetRenderingMode(DWORD* mode) = 0;
    PLAT_INTERFACE_END(IVMRFilterConfig9);
};

struct IVMRMixerControl9 : IUnknown {
    static constexpr const IID& iid = IID_IVMRMixerControl9;
    virtual HRESULT SetMixingPrefs(DWORD prefs) = 0;
    virtual HRESULT GetMixingPrefs(DWORD* prefs) = 0;
    PLAT_INTERFACE_END(IVMRMixerControl9);
};

#undef PLAT_INTERFACE_END
