#include "CVideoSourceVMR9.h"

#include "toolkit/render/D3D9Render.h"

#include "platform/dshow/Interfaces.h"

#include <algorithm>
#include <new>

using plat::ComPtr;

namespace {

constexpr LONG graph_state_timeout_ms = 100;
constexpr DWORD streams_at_attach = 3;
constexpr DWORD fewest_mixer_streams = 2;
constexpr D3DFORMAT last_rgb_format = D3DFORMAT(0x30303030);   // above it a format is a FOURCC

// 0 when no power of two in 32 bits is that large (no texture has such a size).
UINT power_of_two_from(UINT start, UINT at_least)
{
    if (at_least > (1u << 31)) return 0;
    UINT n = start;
    while (n < at_least) n <<= 1;
    return n;
}

bool demands_powers_of_two(DWORD texture_caps) { return texture_caps & D3DPTEXTURECAPS_POW2; }

bool strictly_powers_of_two(DWORD texture_caps)
{
    return demands_powers_of_two(texture_caps) && !(texture_caps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
}

DWORD texture_caps(IDirect3DDevice9* device)
{
    D3DCAPS9 caps{};
    return SUCCEEDED(device->GetDeviceCaps(&caps)) ? caps.TextureCaps : 0;
}

D3DFORMAT display_format(IDirect3DDevice9* device)
{
    D3DDISPLAYMODE mode{};
    return SUCCEEDED(device->GetDisplayMode(0, &mode)) ? mode.Format : D3DFMT_X8R8G8B8;
}

// A render-target texture of at least width x height, widened to powers of
// two where the device allows no other size.
HRESULT make_frame_texture(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                           ComPtr<IDirect3DTexture9>& texture)
{
    if (strictly_powers_of_two(texture_caps(device))) {
        width = power_of_two_from(2, width);
        height = power_of_two_from(2, height);
    }
    return device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, texture.put(),
                                 nullptr);
}

HRESULT graph_stopped(IFilterGraph* graph)
{
    const auto control = ComPtr<IFilterGraph>(graph).as<IMediaControl>();
    if (!control) return E_NOINTERFACE;
    OAFilterState state = State_Running;
    const HRESULT hr = control->GetState(graph_state_timeout_ms, &state);
    if (FAILED(hr)) return hr;
    return state == State_Stopped ? S_OK : VFW_E_NOT_STOPPED;
}

HMONITOR monitor_of(IDirect3DDevice9* device)
{
    ComPtr<IDirect3D9> d3d;
    if (FAILED(device->GetDirect3D(d3d.put())) || !d3d) return nullptr;
    return d3d->GetAdapterMonitor(0);
}

}

CVideoSourceVMR9::CVideoSourceVMR9(IVideoSourceNotify* owner, RenderEngine::D3D9Render* render)
    : CVideoSource(owner), m_render(render)
{
}

CVideoSourceVMR9::~CVideoSourceVMR9() = default;

void* CVideoSourceVMR9::NonDelegatingQueryInterface(REFIID riid)
{
    if (riid == IID_IVMRSurfaceAllocator9) return static_cast<IVMRSurfaceAllocator9*>(this);
    if (riid == IID_IVMRImagePresenter9) return static_cast<IVMRImagePresenter9*>(this);
    if (riid == IID_IVMRImageCompositor9) return static_cast<IVMRImageCompositor9*>(this);
    return CVideoSource::NonDelegatingQueryInterface(riid);
}

ComPtr<IDirect3DDevice9> CVideoSourceVMR9::device() const
{
    return ComPtr<IDirect3DDevice9>::adopt(m_render ? m_render->GetDevice() : nullptr);
}

HRESULT CVideoSourceVMR9::GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords)
{
    if (coords) *coords = m_coords;
    if (texture == nullptr) return S_OK;
    *texture = nullptr;
    std::scoped_lock hold(m_lock);
    if (!m_textures_are_surfaces) {
        *texture = ComPtr<IDirect3DTexture9>(m_texture).detach();
        return S_OK;
    }
    if (m_surfaces.empty() || !m_surfaces[0]) return E_FAIL;
    m_surfaces[0]->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(texture));
    return S_OK;
}

HRESULT CVideoSourceVMR9::AttachGraph(IBaseFilter* vmr9)
{
    const HRESULT hr = attach(vmr9);
    if (FAILED(hr)) let_go_of_renderer();
    return hr;
}

HRESULT CVideoSourceVMR9::attach(IBaseFilter* vmr9)
{
    if (vmr9 == nullptr) return E_POINTER;
    m_vmr9 = ComPtr<IBaseFilter>(vmr9);
    FILTER_INFO info{};
    HRESULT hr = vmr9->QueryFilterInfo(&info);
    if (FAILED(hr)) return hr;
    const auto graph = ComPtr<IFilterGraph>::adopt(info.pGraph);
    if (!graph) return E_FAIL;

    const auto config = m_vmr9.as<IVMRFilterConfig9>();
    if (!config) return E_NOINTERFACE;
    if (FAILED(hr = config->SetRenderingMode(VMR9Mode_Renderless))) return hr;
    DWORD mode = 0;
    if (FAILED(hr = config->GetRenderingMode(&mode))) return hr;
    config->SetNumberOfStreams(streams_at_attach);
    if (mode != VMR9Mode_Renderless) return VFW_E_WRONG_STATE;

    m_graph = graph;
    m_notify = m_vmr9.as<IVMRSurfaceAllocatorNotify9>();
    if (!m_notify) return E_NOINTERFACE;
    if (FAILED(hr = graph_stopped(m_graph.get()))) return hr;

    const auto ui_device = device();
    if (!ui_device) return E_UNEXPECTED;
    if (FAILED(hr = m_notify->SetD3DDevice(ui_device.get(), monitor_of(ui_device.get())))) return hr;
    if (FAILED(hr = m_notify->AdviseSurfaceAllocator(UserId(), this))) return hr;
    if (FAILED(hr = set_up_mixer())) return hr;
    return StartPresenting(UserId());
}

HRESULT CVideoSourceVMR9::set_up_mixer()
{
    const auto config = m_vmr9.as<IVMRFilterConfig9>();
    DWORD streams = 0;
    HRESULT hr = config->GetNumberOfStreams(&streams);
    if (FAILED(hr)) return hr;
    if (streams < fewest_mixer_streams) {
        if (FAILED(hr = config->SetNumberOfStreams(fewest_mixer_streams))) return hr;
        if (FAILED(hr = config->GetNumberOfStreams(&streams))) return hr;
    }
    const auto mixer = m_vmr9.as<IVMRMixerControl9>();
    if (!mixer) return E_NOINTERFACE;
    DWORD prefs = 0;
    if (FAILED(hr = mixer->GetMixingPrefs(&prefs))) return hr;
    const DWORD wanted = (prefs & ~MixerPref9_RenderTargetRGB) | MixerPref9_RenderTargetYUV | MixerPref9_NonSquareMixing;
    if (FAILED(mixer->SetMixingPrefs(wanted))) return mixer->SetMixingPrefs(prefs);
    return S_OK;
}

// Undoes an attach whatever state it stopped in: the renderer forgets this
// allocator and the source keeps nothing of the renderer or its graph.
void CVideoSourceVMR9::let_go_of_renderer()
{
    {
        std::scoped_lock hold(m_lock);
        release_frames();
    }
    if (m_notify) m_notify->AdviseSurfaceAllocator(UserId(), nullptr);
    m_notify.reset();
    m_graph.reset();
    m_vmr9.reset();
}

HRESULT CVideoSourceVMR9::DetachGraph()
{
    {
        std::scoped_lock hold(m_lock);
        m_texture_surface.reset();
        m_texture.reset();
        if (!m_surfaces.empty()) m_surfaces[0].reset();   // the slot is emptied, so a later free-all skips it
    }
    if (!m_graph) return VFW_E_NOT_FOUND;
    HRESULT hr = graph_stopped(m_graph.get());
    if (FAILED(hr)) return hr;
    if (!m_notify) return VFW_E_NOT_FOUND;
    StopPresenting(UserId());
    hr = m_notify->AdviseSurfaceAllocator(UserId(), nullptr);
    m_notify.reset();
    m_graph.reset();
    m_vmr9.reset();
    return hr;
}

void CVideoSourceVMR9::release_frames()
{
    m_texture_surface.reset();
    m_texture.reset();
    m_surfaces.clear();
}

HRESULT CVideoSourceVMR9::Close()
{
    m_active = false;
    std::scoped_lock hold(m_lock);
    release_frames();
    m_compositor_texture.reset();
    return S_OK;
}

HRESULT CVideoSourceVMR9::ChangeDevice(IUnknown* device)
{
    if (!m_notify) return S_OK;
    const auto d3d_device = ComPtr<IUnknown>(device).as<IDirect3DDevice9>();
    if (!d3d_device) return E_NOINTERFACE;
    return m_notify->ChangeD3DDevice(d3d_device.get(), monitor_of(d3d_device.get()));
}

HRESULT CVideoSourceVMR9::InitializeDevice(DWORD_PTR user_id, VMR9AllocationInfo* info, DWORD* buffers)
{
    if (info == nullptr || buffers == nullptr) return E_POINTER;
    if (*buffers == 0) *buffers = 1;
    if (!m_notify) return E_FAIL;
    if (user_id != UserId()) return VFW_E_NOT_FOUND;
    const auto ui_device = device();
    if (!ui_device) return E_UNEXPECTED;
    {
        std::scoped_lock hold(m_lock);
        release_frames();
    }
    // The picture's own size: what is reported and what the private texture
    // holds, whatever the renderer's surfaces are widened to.
    const UINT width = info->dwWidth * m_scale;
    const UINT height = info->dwHeight * m_scale;
    if (demands_powers_of_two(texture_caps(ui_device.get()))) {
        info->dwWidth = power_of_two_from(1, info->dwWidth);
        info->dwHeight = power_of_two_from(1, info->dwHeight);
    }
    DWORD count = *buffers;
    const HRESULT hr = allocate(ui_device.get(), *info, count, width, height);
    if (FAILED(hr)) return hr;
    *buffers = count;
    m_width = width;
    m_height = height;
    if (info->szAspectRatio.cy >= 1)
        m_aspect = float(info->szAspectRatio.cx) / float(info->szAspectRatio.cy);
    else
        m_aspect = height ? float(width) / float(height) : 0.0f;   // the picture's, not the widened surface's
    return S_OK;
}

// Fills the surface array through the renderer and makes the private texture;
// on failure nothing of either is kept.
HRESULT CVideoSourceVMR9::allocate(IDirect3DDevice9* ui_device, VMR9AllocationInfo& info, DWORD& buffers, UINT width,
                                   UINT height)
{
    std::vector<IDirect3DSurface9*> made;
    try {
        made.assign(buffers, nullptr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const auto adopt_all = [&made] {
        std::vector<ComPtr<IDirect3DSurface9>> owned;
        for (IDirect3DSurface9* surface : made) owned.push_back(ComPtr<IDirect3DSurface9>::adopt(surface));
        made.assign(made.size(), nullptr);
        return owned;
    };
    const DWORD asked = buffers;
    bool textures_are_surfaces = false;
    if (info.dwFlags & (VMR9AllocFlag_3DRenderTarget | VMR9AllocFlag_DXVATarget)) {
        info.dwFlags |= VMR9AllocFlag_TextureSurface;
        textures_are_surfaces = SUCCEEDED(m_notify->AllocateSurfaceHelper(&info, &buffers, made.data()));
        if (!textures_are_surfaces) adopt_all();
    }
    ComPtr<IDirect3DTexture9> texture;
    ComPtr<IDirect3DSurface9> texture_surface;
    if (!textures_are_surfaces) {
        info.dwFlags &= ~VMR9AllocFlag_TextureSurface;
        buffers = asked;
        HRESULT hr = m_notify->AllocateSurfaceHelper(&info, &buffers, made.data());
        if (FAILED(hr)) {
            adopt_all();
            return hr;
        }
        const D3DFORMAT format = info.Format > last_rgb_format ? display_format(ui_device) : info.Format;
        if (FAILED(hr = make_frame_texture(ui_device, width, height, format, texture)) ||
            FAILED(hr = texture->GetSurfaceLevel(0, texture_surface.put())) ||
            FAILED(hr = ui_device->ColorFill(texture_surface.get(), nullptr, 0xFF000000))) {
            adopt_all();
            return hr;
        }
    }
    buffers = std::min(buffers, asked);   // the array holds no more than was asked for
    std::scoped_lock hold(m_lock);
    m_surfaces = adopt_all();
    m_buffers = buffers;
    m_texture = std::move(texture);
    m_texture_surface = std::move(texture_surface);
    m_textures_are_surfaces = textures_are_surfaces;
    return S_OK;
}

HRESULT CVideoSourceVMR9::TerminateDevice(DWORD_PTR user_id) { return user_id == UserId() ? S_OK : VFW_E_NOT_FOUND; }

HRESULT CVideoSourceVMR9::GetSurface(DWORD_PTR user_id, DWORD index, DWORD, IDirect3DSurface9** surface)
{
    if (surface == nullptr) return E_POINTER;
    if (user_id != UserId()) return VFW_E_NOT_FOUND;
    std::scoped_lock hold(m_lock);
    if (index >= m_buffers || index >= m_surfaces.size()) return E_INVALIDARG;
    if (!m_surfaces[index]) return E_UNEXPECTED;
    *surface = ComPtr<IDirect3DSurface9>(m_surfaces[index]).detach();
    return S_OK;
}

// The notify obtained when attaching is the one kept.
HRESULT CVideoSourceVMR9::AdviseNotify(IVMRSurfaceAllocatorNotify9*) { return S_OK; }

HRESULT CVideoSourceVMR9::StartPresenting(DWORD_PTR user_id)
{
    if (user_id != UserId()) return VFW_E_NOT_FOUND;
    return device() ? S_OK : E_UNEXPECTED;
}

HRESULT CVideoSourceVMR9::StopPresenting(DWORD_PTR) { return S_OK; }

HRESULT CVideoSourceVMR9::PresentImage(DWORD_PTR user_id, VMR9PresentationInfo* info)
{
    if (info == nullptr || info->lpSurf == nullptr) return E_POINTER;
    if (user_id != UserId()) return VFW_E_NOT_FOUND;
    HRESULT hr = S_OK;
    {
        std::scoped_lock hold(m_lock);
        if (info->szAspectRatio.cy != 0) m_aspect = float(info->szAspectRatio.cx) / float(info->szAspectRatio.cy);
        if (!m_textures_are_surfaces) {
            const auto ui_device = device();
            if (!m_texture_surface || !ui_device) return E_UNEXPECTED;
            const bool rects = info->dwFlags & VMR9Sample_SrcDstRectsValid;
            RECT target = info->rcDst;
            target.right *= m_scale;
            target.bottom *= m_scale;
            hr = ui_device->StretchRect(info->lpSurf, rects ? &info->rcSrc : nullptr, m_texture_surface.get(),
                                        rects ? &target : nullptr, D3DTEXF_POINT);
            if (FAILED(hr)) return hr;
            m_frame_state = 2;
        }
    }
    if (m_owner) m_owner->FramePresented();
    return hr;
}

HRESULT CVideoSourceVMR9::InitCompositionDevice(IUnknown*) { return S_OK; }

HRESULT CVideoSourceVMR9::TermCompositionDevice(IUnknown*)
{
    std::scoped_lock hold(m_lock);
    m_compositor_texture.reset();
    return S_OK;
}

HRESULT CVideoSourceVMR9::SetStreamMediaType(DWORD, AM_MEDIA_TYPE*, BOOL) { return S_OK; }

HRESULT CVideoSourceVMR9::CompositeImage(IUnknown* device, IDirect3DSurface9* target, AM_MEDIA_TYPE*, REFERENCE_TIME,
                                         REFERENCE_TIME, D3DCOLOR, VMR9VideoStreamInfo* streams, UINT count)
{
    const auto d3d_device = ComPtr<IUnknown>(device).as<IDirect3DDevice9>();
    if (!d3d_device) return E_NOINTERFACE;
    if (streams == nullptr && count > 0) return E_POINTER;
    HRESULT hr = d3d_device->SetRenderTarget(0, target);
    if (FAILED(hr)) return hr;
    d3d_device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    d3d_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d3d_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d3d_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d3d_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    d3d_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d3d_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    for (UINT i = 0; i < count && SUCCEEDED(hr); ++i) hr = composite_stream(d3d_device.get(), streams[i]);
    d3d_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    return hr;
}

// Copies the stream into the compositor texture and draws it over its
// normalised rectangle with its alpha.
HRESULT CVideoSourceVMR9::composite_stream(IDirect3DDevice9* d3d_device, const VMR9VideoStreamInfo& stream)
{
    if (stream.pddsVideoSurface == nullptr) return E_POINTER;
    D3DSURFACE_DESC desc{};
    HRESULT hr = stream.pddsVideoSurface->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    std::scoped_lock hold(m_lock);
    D3DSURFACE_DESC have{};
    if (!m_compositor_texture || FAILED(m_compositor_texture->GetLevelDesc(0, &have)) || have.Width < desc.Width ||
        have.Height < desc.Height) {
        m_compositor_texture.reset();
        if (FAILED(hr = make_frame_texture(d3d_device, desc.Width, desc.Height, display_format(d3d_device),
                                           m_compositor_texture)))
            return hr;
        m_compositor_texture->GetLevelDesc(0, &have);
    }
    ComPtr<IDirect3DSurface9> level;
    if (FAILED(hr = m_compositor_texture->GetSurfaceLevel(0, level.put()))) return hr;
    const RECT whole{0, 0, LONG(desc.Width), LONG(desc.Height)};
    if (FAILED(hr = d3d_device->StretchRect(stream.pddsVideoSurface, nullptr, level.get(), &whole, D3DTEXF_NONE)))
        return hr;
    d3d_device->SetTexture(0, m_compositor_texture.get());

    struct Vertex {
        float x, y, z;
        D3DCOLOR colour;
        float u, v;
    };
    static_assert(sizeof(Vertex) == 24);
    const float u = float(desc.Width) / float(have.Width);
    const float v = float(desc.Height) / float(have.Height);
    const auto alpha = D3DCOLOR(std::clamp(stream.fAlpha, 0.0f, 1.0f) * 255.0f);
    const D3DCOLOR colour = (alpha << 24) | 0x00FFFFFFu;
    const VMR9NormalizedRect& r = stream.rNormal;
    const auto x = [](float at) { return 2.0f * at - 1.0f; };
    const auto y = [](float at) { return 1.0f - 2.0f * at; };
    const Vertex quad[4] = {{x(r.left), y(r.top), 0.5f, colour, 0.0f, 0.0f},
                            {x(r.right), y(r.top), 0.5f, colour, u, 0.0f},
                            {x(r.left), y(r.bottom), 0.5f, colour, 0.0f, v},
                            {x(r.right), y(r.bottom), 0.5f, colour, u, v}};
    hr = d3d_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    d3d_device->SetTexture(0, nullptr);
    return hr;
}
