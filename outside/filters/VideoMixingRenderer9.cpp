#include "VideoMixingRenderer9.h"

#include "platform/dshow/MediaFormats.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>

namespace filters {

namespace {

constexpr REFERENCE_TIME frame_without_stop = 400000;   // 40 ms: how late an open-ended picture may be
constexpr LONG largest_side = 8192;
const GUID MEDIASUBTYPE_I420 = plat::fourcc_guid(MAKEFOURCC('I', '4', '2', '0'));

struct Picture {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
    bool bottom_up = false;
    SIZE aspect{};
};

// What the input's type says of its pictures; no format for one we do not read.
Picture picture_of(const CMediaType& type)
{
    Picture p;
    const BITMAPINFOHEADER* header = nullptr;
    if (*type.FormatType() == FORMAT_VideoInfo && type.FormatLength() >= sizeof(VIDEOINFOHEADER)) {
        header = &reinterpret_cast<const VIDEOINFOHEADER*>(type.Format())->bmiHeader;
    } else if (*type.FormatType() == FORMAT_VideoInfo2 && type.FormatLength() >= sizeof(VIDEOINFOHEADER2)) {
        const auto* vih2 = reinterpret_cast<const VIDEOINFOHEADER2*>(type.Format());
        header = &vih2->bmiHeader;
        p.aspect = {LONG(vih2->dwPictAspectRatioX), LONG(vih2->dwPictAspectRatioY)};
    }
    if (header == nullptr || *type.Type() != MEDIATYPE_Video || header->biWidth <= 0 ||
        header->biWidth > largest_side || header->biHeight == 0 || std::abs(header->biHeight) > largest_side)
        return p;
    p.width = header->biWidth;
    p.height = std::abs(header->biHeight);
    if (p.aspect.cx <= 0 || p.aspect.cy <= 0) p.aspect = {p.width, p.height};
    const GUID& sub = *type.Subtype();
    if (sub == MEDIASUBTYPE_RGB32) {
        p.format = AV_PIX_FMT_BGR0;
        p.bottom_up = header->biHeight > 0;
    } else if (sub == MEDIASUBTYPE_YV12 || sub == MEDIASUBTYPE_I420) {
        p.format = AV_PIX_FMT_YUV420P;
    } else if (sub == MEDIASUBTYPE_YUY2) {
        p.format = AV_PIX_FMT_YUYV422;
    }
    return p;
}

}

// Converts the input's pictures into X8R8G8B8 surfaces of their size.
class SurfaceWriter {
public:
    SurfaceWriter(const Picture& picture, bool v_first) : m_picture(picture), m_v_first(v_first) {}
    ~SurfaceWriter() { sws_freeContext(m_sws); }
    SurfaceWriter(const SurfaceWriter&) = delete;
    SurfaceWriter& operator=(const SurfaceWriter&) = delete;

    const Picture& picture() const { return m_picture; }

    HRESULT write(const BYTE* data, std::size_t size, IDirect3DSurface9* surface)
    {
        const BYTE* planes[4] = {};
        int strides[4] = {};
        if (!layout(data, size, planes, strides)) return E_INVALIDARG;
        m_sws = sws_getCachedContext(m_sws, m_picture.width, m_picture.height, m_picture.format, m_picture.width,
                                     m_picture.height, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
        if (m_sws == nullptr) return E_OUTOFMEMORY;
        D3DLOCKED_RECT locked{};
        const HRESULT hr = surface->LockRect(&locked, nullptr, 0);
        if (FAILED(hr)) return hr;
        uint8_t* out[4] = {static_cast<uint8_t*>(locked.pBits)};
        int out_strides[4] = {locked.Pitch};
        sws_scale(m_sws, planes, strides, 0, m_picture.height, out, out_strides);
        surface->UnlockRect();
        return S_OK;
    }

private:
    // The planes of a picture laid out as DirectShow lays them; false when
    // the sample is too short to hold one.
    bool layout(const BYTE* data, std::size_t size, const BYTE* planes[4], int strides[4]) const
    {
        const int w = m_picture.width, h = m_picture.height;
        if (m_picture.format == AV_PIX_FMT_YUV420P) {
            const int cw = (w + 1) / 2;
            const std::size_t luma = std::size_t(w) * h, chroma = std::size_t(cw) * ((h + 1) / 2);
            if (size < luma + 2 * chroma) return false;
            planes[0] = data;
            planes[m_v_first ? 2 : 1] = data + luma;
            planes[m_v_first ? 1 : 2] = data + luma + chroma;
            strides[0] = w;
            strides[1] = strides[2] = cw;
            return true;
        }
        const int stride = m_picture.format == AV_PIX_FMT_BGR0 ? w * 4 : (w + 1) / 2 * 4;
        if (size < std::size_t(stride) * h) return false;
        // A bottom-up bitmap starts with its last line.
        planes[0] = m_picture.bottom_up ? data + std::size_t(stride) * (h - 1) : data;
        strides[0] = m_picture.bottom_up ? -stride : stride;
        return true;
    }

    const Picture m_picture;
    const bool m_v_first;
    SwsContext* m_sws = nullptr;
};

VideoMixingRenderer9::VideoMixingRenderer9()
    : RendererBase(u"Video Mixing Renderer 9", CLSID_VideoMixingRenderer9, u"VMR Input0")
{
}

VideoMixingRenderer9::~VideoMixingRenderer9() = default;

HRESULT VideoMixingRenderer9::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) return E_POINTER;
    if (iid == IVMRFilterConfig9::iid) *object = static_cast<IVMRFilterConfig9*>(this);
    else if (iid == IVMRSurfaceAllocatorNotify9::iid) *object = static_cast<IVMRSurfaceAllocatorNotify9*>(this);
    else if (iid == IVMRMixerControl9::iid) *object = static_cast<IVMRMixerControl9*>(this);
    else return RendererBase::NonDelegatingQueryInterface(iid, object);
    AddRef();
    return S_OK;
}

HRESULT VideoMixingRenderer9::SetNumberOfStreams(DWORD streams)
{
    if (streams < 1 || streams > 16) return E_INVALIDARG;
    std::scoped_lock hold(m_lock);
    m_streams = streams;
    return S_OK;
}

HRESULT VideoMixingRenderer9::GetNumberOfStreams(DWORD* streams)
{
    if (streams == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *streams = m_streams;
    return S_OK;
}

HRESULT VideoMixingRenderer9::SetRenderingMode(DWORD mode)
{
    if (mode != VMR9Mode_Windowed && mode != VMR9Mode_Windowless && mode != VMR9Mode_Renderless) return E_INVALIDARG;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    std::scoped_lock hold(m_lock);
    m_mode = mode;
    return S_OK;
}

HRESULT VideoMixingRenderer9::GetRenderingMode(DWORD* mode)
{
    if (mode == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *mode = m_mode;
    return S_OK;
}

HRESULT VideoMixingRenderer9::AdviseSurfaceAllocator(DWORD_PTR user_id, IVMRSurfaceAllocator9* allocator)
{
    std::scoped_lock hold(m_lock);
    m_allocator = plat::ComPtr<IVMRSurfaceAllocator9>(allocator);
    m_user_id = user_id;
    m_device_ready = false;
    return S_OK;
}

HRESULT VideoMixingRenderer9::SetD3DDevice(IDirect3DDevice9* device, HMONITOR)
{
    if (device == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    m_device = plat::ComPtr<IDirect3DDevice9>(device);
    return S_OK;
}

// Surfaces made on the old device are no use on the new one: the allocator
// is asked again before the next picture.
HRESULT VideoMixingRenderer9::ChangeD3DDevice(IDirect3DDevice9* device, HMONITOR monitor)
{
    const HRESULT hr = SetD3DDevice(device, monitor);
    if (SUCCEEDED(hr)) {
        std::scoped_lock hold(m_lock);
        m_device_ready = false;
    }
    return hr;
}

HRESULT VideoMixingRenderer9::AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* buffers,
                                                    IDirect3DSurface9** surfaces)
{
    if (info == nullptr || buffers == nullptr || surfaces == nullptr) return E_POINTER;
    if (*buffers == 0 || info->dwWidth == 0 || info->dwHeight == 0) return E_INVALIDARG;
    plat::ComPtr<IDirect3DDevice9> device;
    {
        std::scoped_lock hold(m_lock);
        device = m_device;
    }
    if (!device) return E_FAIL;
    return make_vmr9_surfaces(device.get(), *info, *buffers, surfaces);
}

HRESULT make_vmr9_surfaces(IDirect3DDevice9* device, const VMR9AllocationInfo& info, DWORD buffers,
                           IDirect3DSurface9** surfaces)
{
    const D3DFORMAT format = info.Format > D3DFORMAT(0x30303030) ? D3DFMT_X8R8G8B8 : info.Format;
    for (DWORD i = 0; i < buffers; ++i) {
        HRESULT hr;
        if (info.dwFlags & VMR9AllocFlag_TextureSurface) {
            plat::ComPtr<IDirect3DTexture9> texture;
            hr = device->CreateTexture(info.dwWidth, info.dwHeight, 1, D3DUSAGE_RENDERTARGET, format,
                                       D3DPOOL_DEFAULT, texture.put(), nullptr);
            if (SUCCEEDED(hr)) hr = texture->GetSurfaceLevel(0, &surfaces[i]);
        } else {
            hr = device->CreateOffscreenPlainSurface(info.dwWidth, info.dwHeight, format, D3DPOOL_DEFAULT,
                                                     &surfaces[i], nullptr);
        }
        if (FAILED(hr)) {
            for (DWORD made = 0; made < i; ++made) {
                surfaces[made]->Release();
                surfaces[made] = nullptr;
            }
            return hr;
        }
    }
    return S_OK;
}

HRESULT VideoMixingRenderer9::SetMixingPrefs(DWORD prefs)
{
    std::scoped_lock hold(m_lock);
    m_mixing_prefs = prefs;
    return S_OK;
}

HRESULT VideoMixingRenderer9::GetMixingPrefs(DWORD* prefs)
{
    if (prefs == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *prefs = m_mixing_prefs;
    return S_OK;
}

HRESULT VideoMixingRenderer9::GetSinkPosition(REFERENCE_TIME* position)
{
    if (position == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *position = m_shown < 0 ? 0 : m_shown;
    return m_shown < 0 ? S_FALSE : S_OK;
}

HRESULT VideoMixingRenderer9::check_input(const CMediaType& type) const
{
    return picture_of(type).format != AV_PIX_FMT_NONE ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoMixingRenderer9::input_connected(const CMediaType& type)
{
    const Picture picture = picture_of(type);
    auto writer = std::make_unique<SurfaceWriter>(picture, *type.Subtype() == MEDIASUBTYPE_YV12);
    std::scoped_lock hold(m_lock);
    m_writer = std::move(writer);
    m_allocation = VMR9AllocationInfo{VMR9AllocFlag_OffscreenSurface, DWORD(picture.width), DWORD(picture.height),
                                      D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, 1, picture.aspect,
                                      SIZE{picture.width, picture.height}};
    m_device_ready = false;
    return S_OK;
}

bool VideoMixingRenderer9::late(REFERENCE_TIME start, REFERENCE_TIME stop)
{
    REFERENCE_TIME now = 0;
    if (m_State != State_Running || FAILED(StreamTime(now))) return false;
    return now > (stop > start ? stop : start + frame_without_stop);
}

void VideoMixingRenderer9::render(IMediaSample* sample)
{
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (sample->IsPreroll() == S_OK) return;
    if (timed && (!wait_until(start) || late(start, stop))) return;
    plat::ComPtr<IVMRSurfaceAllocator9> allocator;
    DWORD_PTR id = 0;
    if (allocator_ready(allocator, id) && FAILED(present(allocator.get(), id, sample, start, stop))) return;
    std::scoped_lock hold(m_lock);
    m_shown = segment_start() + start;
}

bool VideoMixingRenderer9::allocator_ready(plat::ComPtr<IVMRSurfaceAllocator9>& allocator, DWORD_PTR& id)
{
    VMR9AllocationInfo info;
    {
        std::scoped_lock hold(m_lock);
        if (m_mode != VMR9Mode_Renderless || !m_allocator || !m_writer) return false;
        allocator = m_allocator;
        id = m_user_id;
        if (m_device_ready) return true;
        info = m_allocation;
    }
    // Outside the lock: the allocator calls back (AllocateSurfaceHelper).
    DWORD buffers = 1;
    const HRESULT hr = allocator->InitializeDevice(id, &info, &buffers);
    std::scoped_lock hold(m_lock);
    m_device_ready = SUCCEEDED(hr) && m_allocator == allocator;
    return m_device_ready;
}

HRESULT VideoMixingRenderer9::present(IVMRSurfaceAllocator9* allocator, DWORD_PTR id, IMediaSample* sample,
                                      REFERENCE_TIME start, REFERENCE_TIME stop)
{
    plat::ComPtr<IDirect3DSurface9> surface;
    HRESULT hr = allocator->GetSurface(id, 0, 0, surface.put());
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    if (FAILED(hr = sample->GetPointer(&data))) return hr;
    VMR9PresentationInfo info{};
    {
        std::scoped_lock hold(m_lock);
        if (!m_writer) return E_UNEXPECTED;
        const Picture& p = m_writer->picture();
        hr = m_writer->write(data, static_cast<std::size_t>(std::max<LONG>(sample->GetActualDataLength(), 0)),
                             surface.get());
        info.szAspectRatio = p.aspect;
        info.rcSrc = info.rcDst = RECT{0, 0, p.width, p.height};
    }
    if (FAILED(hr)) return hr;
    plat::ComPtr<IVMRImagePresenter9> presenter = plat::ComPtr<IVMRSurfaceAllocator9>(allocator).as<IVMRImagePresenter9>();
    if (!presenter) return E_NOINTERFACE;
    info.dwFlags = VMR9Sample_TimeValid | (sample->IsSyncPoint() == S_OK ? VMR9Sample_SyncPoint : 0);
    info.lpSurf = surface.get();
    info.rtStart = start;
    info.rtEnd = stop;
    return presenter->PresentImage(id, &info);
}

}
