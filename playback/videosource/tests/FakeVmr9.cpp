#include "FakeVmr9.h"

#include "outside/filters/VideoMixingRenderer9.h"

HRESULT FakeGraph::Run()
{
    state = State_Running;
    return S_OK;
}

HRESULT FakeGraph::Pause()
{
    state = State_Paused;
    return S_OK;
}

HRESULT FakeGraph::Stop()
{
    state = State_Stopped;
    return S_OK;
}

HRESULT FakeGraph::GetState(LONG, OAFilterState* out)
{
    if (out == nullptr) return E_POINTER;
    *out = state;
    return S_OK;
}

FakeVmr9::FakeVmr9(FakeGraph* graph) : m_graph(graph) {}

HRESULT FakeVmr9::GetState(DWORD, FILTER_STATE* state)
{
    if (state == nullptr) return E_POINTER;
    *state = m_graph ? FILTER_STATE(m_graph->state) : State_Stopped;
    return S_OK;
}

HRESULT FakeVmr9::QueryFilterInfo(FILTER_INFO* info)
{
    if (info == nullptr) return E_POINTER;
    *info = FILTER_INFO{};
    info->pGraph = m_graph ? static_cast<IFilterGraph*>(plat::ComPtr<FakeGraph>(m_graph).detach()) : nullptr;
    return S_OK;
}

HRESULT FakeVmr9::SetNumberOfStreams(DWORD count)
{
    streams = count;
    return S_OK;
}

HRESULT FakeVmr9::GetNumberOfStreams(DWORD* count)
{
    *count = streams;
    return S_OK;
}

HRESULT FakeVmr9::SetRenderingMode(DWORD mode)
{
    m_mode = mode == VMR9Mode_Renderless ? rendering_mode_kept : mode;
    return S_OK;
}

HRESULT FakeVmr9::GetRenderingMode(DWORD* mode)
{
    *mode = m_mode;
    return S_OK;
}

HRESULT FakeVmr9::AdviseSurfaceAllocator(DWORD_PTR user_id, IVMRSurfaceAllocator9* advised)
{
    allocator = plat::ComPtr<IVMRSurfaceAllocator9>(advised);
    allocator_id = advised ? user_id : 0;
    return S_OK;
}

HRESULT FakeVmr9::SetD3DDevice(IDirect3DDevice9* given, HMONITOR monitor)
{
    if (given == nullptr || monitor == nullptr) return E_POINTER;
    device = plat::ComPtr<IDirect3DDevice9>(given);
    return S_OK;
}

HRESULT FakeVmr9::ChangeD3DDevice(IDirect3DDevice9* given, HMONITOR monitor)
{
    ++device_changes;
    return SetD3DDevice(given, monitor);
}

HRESULT FakeVmr9::AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* buffers, IDirect3DSurface9** surfaces)
{
    allocations.push_back(*info);
    if (!device) return E_FAIL;
    const bool texture_surfaces = info->dwFlags & VMR9AllocFlag_TextureSurface;
    if (texture_surfaces && refuse_texture_surfaces) return E_FAIL;
    return filters::make_vmr9_surfaces(device.get(), *info, *buffers, surfaces);
}

HRESULT FakeVmr9::SetMixingPrefs(DWORD prefs)
{
    mixing_prefs_set.push_back(prefs);
    if (refuse_mixing_prefs && prefs != mixing_prefs) return E_FAIL;
    mixing_prefs = prefs;
    return S_OK;
}

HRESULT FakeVmr9::GetMixingPrefs(DWORD* prefs)
{
    *prefs = mixing_prefs;
    return S_OK;
}
