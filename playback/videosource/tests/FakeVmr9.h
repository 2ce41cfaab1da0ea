#pragma once
// A stand-in for the Video Mixing Renderer 9 as a custom allocator-presenter
// meets it (filter, configuration, mixer and allocator notify) and for the
// graph it sits in, with the failures the tests ask for. Its surfaces are
// made on the device it was given by the renderer's own helper.

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/Vmr9.h"

#include <vector>

class FakeGraph final : public plat::ComObject<IFilterGraph, IMediaControl> {
public:
    OAFilterState state{State_Stopped};

    HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeout_ms, OAFilterState* out) override;
};

class FakeVmr9 final
    : public plat::ComObject<IBaseFilter, IVMRFilterConfig9, IVMRSurfaceAllocatorNotify9, IVMRMixerControl9> {
public:
    // In no graph when null.
    explicit FakeVmr9(FakeGraph* graph);

    // What the tests set.
    DWORD rendering_mode_kept{VMR9Mode_Renderless};   // what GetRenderingMode answers after a set
    DWORD streams{1};
    DWORD mixing_prefs{MixerPref9_RenderTargetRGB | 0x1};
    bool refuse_mixing_prefs{false};
    bool refuse_texture_surfaces{false};

    // What the source did.
    plat::ComPtr<IVMRSurfaceAllocator9> allocator;
    DWORD_PTR allocator_id{0};
    plat::ComPtr<IDirect3DDevice9> device;
    int device_changes{0};
    std::vector<VMR9AllocationInfo> allocations;   // as asked of AllocateSurfaceHelper
    std::vector<DWORD> mixing_prefs_set;

    HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT Stop() override { return S_OK; }
    HRESULT Pause() override { return S_OK; }
    HRESULT Run(REFERENCE_TIME) override { return S_OK; }
    HRESULT GetState(DWORD, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock*) override { return S_OK; }
    HRESULT GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    HRESULT EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    HRESULT FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }

    HRESULT SetNumberOfStreams(DWORD count) override;
    HRESULT GetNumberOfStreams(DWORD* count) override;
    HRESULT SetRenderingMode(DWORD mode) override;
    HRESULT GetRenderingMode(DWORD* mode) override;

    HRESULT AdviseSurfaceAllocator(DWORD_PTR user_id, IVMRSurfaceAllocator9* allocator) override;
    HRESULT SetD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) override;
    HRESULT ChangeD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) override;
    HRESULT AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* buffers, IDirect3DSurface9** surfaces) override;

    HRESULT SetMixingPrefs(DWORD prefs) override;
    HRESULT GetMixingPrefs(DWORD* prefs) override;

private:
    plat::ComPtr<FakeGraph> m_graph;
    DWORD m_mode{VMR9Mode_Windowed};
};
