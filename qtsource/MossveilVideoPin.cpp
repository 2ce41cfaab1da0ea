#include "qtsource/MossveilVideoPin.h"

#include "platform/dshow/MediaFormats.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr ULONG video_info_length = 1128;    // VIDEOINFO: the header, then room for masks or a palette
constexpr ULONG video_info2_length = 1136;   // VIDEOINFOHEADER2, then room for a palette

struct PixelType {
    GUID subtype;
    WORD bits;
    DWORD compression;
    DWORD masks[3];
};

// Positions 1 to 4.
const PixelType rgb_types[] = {
    {MEDIASUBTYPE_RGB32, 32, BI_RGB, {}},
    {MEDIASUBTYPE_RGB24, 24, BI_RGB, {}},
    {MEDIASUBTYPE_RGB565, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
    {MEDIASUBTYPE_RGB555, 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}},
};

bool is_video_info(const CMediaType& type)
{
    return *type.FormatType() == FORMAT_VideoInfo && type.FormatLength() >= sizeof(VIDEOINFOHEADER);
}
bool is_video_info2(const CMediaType& type)
{
    return *type.FormatType() == FORMAT_VideoInfo2 && type.FormatLength() >= sizeof(VIDEOINFOHEADER2);
}

BITMAPINFOHEADER* bitmap_of(const CMediaType& type)
{
    if (is_video_info(type)) return &reinterpret_cast<VIDEOINFOHEADER*>(type.Format())->bmiHeader;
    if (is_video_info2(type)) return &reinterpret_cast<VIDEOINFOHEADER2*>(type.Format())->bmiHeader;
    return nullptr;
}

// The image size a type states, else what its bitmap header makes.
DWORD image_size_of(const BITMAPINFOHEADER& bmi) { return bmi.biSizeImage ? bmi.biSizeImage : GetBitmapSize(&bmi); }

}

MossveilVideoPin::MossveilVideoPin(HRESULT* result, MossveilSourceFilter* filter, QtMovieReader& reader)
    : MossveilSourceStream(result, filter, u"Video", reader)
{
}

MossveilVideoPin::~MossveilVideoPin() { stop_worker(); }

HRESULT MossveilVideoPin::GetMediaType(int position, CMediaType* type)
{
    if (position < 0) return E_INVALIDARG;
    if (position > 4) return VFW_S_NO_MORE_ITEMS;
    const VIDEOINFOHEADER& info = m_reader.default_video_info();
    *type = CMediaType(MEDIATYPE_Video);
    type->SetTemporalCompression(FALSE);
    BITMAPINFOHEADER bmi = info.bmiHeader;
    if (position == 0) {
        auto* block = reinterpret_cast<VIDEOINFOHEADER2*>(type->AllocFormatBuffer(video_info2_length));
        if (!block) return E_OUTOFMEMORY;
        block->rcSource = info.rcSource;
        block->rcTarget = info.rcTarget;
        block->AvgTimePerFrame = m_reader.frame_duration();
        block->dwPictAspectRatioX = static_cast<DWORD>(m_reader.width());
        block->dwPictAspectRatioY = static_cast<DWORD>(m_reader.height());
        block->bmiHeader = bmi;
        type->SetFormatType(&FORMAT_VideoInfo2);
        type->SetSubtype(&MEDIASUBTYPE_YUY2);
        type->SetSampleSize(bmi.biSizeImage);
        return S_OK;
    }
    const PixelType& pixel = rgb_types[position - 1];
    bmi.biBitCount = pixel.bits;
    bmi.biCompression = pixel.compression;
    bmi.biSizeImage = GetBitmapSize(&bmi);
    BYTE* block = type->AllocFormatBuffer(video_info_length);
    if (!block) return E_OUTOFMEMORY;
    auto* header = reinterpret_cast<VIDEOINFOHEADER*>(block);
    header->rcSource = info.rcSource;
    header->rcTarget = info.rcTarget;
    header->bmiHeader = bmi;
    std::memcpy(block + sizeof(VIDEOINFOHEADER), pixel.masks, sizeof pixel.masks);
    type->SetFormatType(&FORMAT_VideoInfo);
    type->SetSubtype(&pixel.subtype);
    type->SetSampleSize(bmi.biSizeImage);
    return S_OK;
}

HRESULT MossveilVideoPin::CheckMediaType(const CMediaType* type)
{
    if (*type->Type() != MEDIATYPE_Video || !type->bFixedSizeSamples) return E_INVALIDARG;
    const GUID& subtype = *type->Subtype();
    const bool yuy2 = subtype == MEDIASUBTYPE_YUY2;
    if (!yuy2 && subtype != MEDIASUBTYPE_RGB565 && subtype != MEDIASUBTYPE_RGB555 && subtype != MEDIASUBTYPE_RGB24 &&
        subtype != MEDIASUBTYPE_RGB32)
        return E_INVALIDARG;
    if (yuy2 && !m_reader.deep()) return E_INVALIDARG;
    const BITMAPINFOHEADER* bmi = bitmap_of(*type);
    if (!bmi) return E_INVALIDARG;
    const LONG height = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
    if (height != m_reader.height()) return E_INVALIDARG;
    // A wider VIDEOINFOHEADER2 picture is a renderer's stride; a video-info one must match.
    if (is_video_info2(*type) ? bmi->biWidth < m_reader.width() : bmi->biWidth != m_reader.width()) return E_INVALIDARG;
    return S_OK;
}

HRESULT MossveilVideoPin::SetMediaType(const CMediaType* type)
{
    const HRESULT hr = MossveilSourceStream::SetMediaType(type);
    if (FAILED(hr)) return hr;
    const BITMAPINFOHEADER* bmi = bitmap_of(*type);
    if (!bmi) return E_FAIL;
    PixelKind kind;
    if (*type->Subtype() == MEDIASUBTYPE_YUY2) kind = PixelKind::YUY2;
    else if (bmi->biBitCount == 32) kind = PixelKind::RGB32;
    else if (bmi->biBitCount == 24) kind = PixelKind::RGB24;
    else if (bmi->biBitCount == 16) kind = *type->Subtype() == MEDIASUBTYPE_RGB565 ? PixelKind::RGB565 : PixelKind::RGB555;
    else return E_FAIL;
    const LONG height = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
    if (height == 0) return E_FAIL;
    CAutoLock hold(&m_lock);
    m_kind = kind;
    m_pitch = static_cast<LONG>(image_size_of(*bmi) / static_cast<DWORD>(height));
    m_flip = bmi->biHeight > 0;
    m_reader.set_pixel_format(kind);
    return S_OK;
}

HRESULT MossveilVideoPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    const BITMAPINFOHEADER* bmi = bitmap_of(m_mt);
    if (!bmi) return E_FAIL;
    request->cBuffers = 1;
    request->cbAlign = 1;
    request->cbBuffer = static_cast<LONG>(image_size_of(*bmi));
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

// Before the first frame: the type a downstream pin attached to the sample
// (a renderer's stride), else the agreed one, sized to the sample's buffer.
HRESULT MossveilVideoPin::set_up_from_first_sample(IMediaSample* sample)
{
    AM_MEDIA_TYPE* attached = nullptr;
    CMediaType type = m_mt;
    if (sample->GetMediaType(&attached) == S_OK && attached) {
        type = *attached;
        DeleteMediaType(attached);
    }
    BITMAPINFOHEADER* bmi = bitmap_of(type);
    if (!bmi) return E_FAIL;
    bmi->biSizeImage = static_cast<DWORD>(sample->GetSize());
    const HRESULT hr = SetMediaType(&type);
    if (SUCCEEDED(hr)) m_first_call = false;
    return hr;
}

void MossveilVideoPin::copy_frame(const RenderedFrame& frame, BYTE* out) const
{
    const LONG rows = m_reader.height();
    const std::size_t row_bytes = static_cast<std::size_t>(std::min<long>(frame.row_bytes, m_pitch));
    const bool bottom_up = m_flip && m_kind != PixelKind::YUY2;
    for (LONG row = 0; row < rows; ++row) {
        const LONG target = bottom_up ? rows - 1 - row : row;
        std::memcpy(out + static_cast<std::size_t>(target) * m_pitch, frame.pixels + row * frame.row_bytes, row_bytes);
    }
}

HRESULT MossveilVideoPin::FillBuffer(IMediaSample* sample)
{
    CAutoLock hold(&m_lock);
    if (m_first_call) {
        const HRESULT hr = set_up_from_first_sample(sample);
        if (FAILED(hr)) return hr;
    }
    BYTE* out = nullptr;
    sample->GetPointer(&out);
    const LONG length = m_pitch * m_reader.height();
    // A buffer smaller than the agreed picture cannot take it.
    if (!out || sample->GetSize() < length) return E_FAIL;
    RenderedFrame frame{};
    const HRESULT rendered = m_reader.render_frame(m_current, frame);
    if (rendered != S_OK) return rendered;
    copy_frame(frame, out);
    sample->SetActualDataLength(length);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(take_discontinuity() || m_current == 0);
    REFERENCE_TIME start = frame.time - m_segment_start, stop = start + frame.duration;
    sample->SetTime(&start, &stop);
    LONGLONG media_start = frame.time, media_stop = frame.time + frame.duration;
    sample->SetMediaTime(&media_start, &media_stop);
    m_current = frame.time + frame.duration;
    return S_OK;
}
