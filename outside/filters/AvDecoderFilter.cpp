#include "AvDecoderFilter.h"

#include "PictureConverter.h"
#include "SoundConverter.h"
#include "platform/dshow/BaseInputPin.h"
#include "platform/dshow/BaseOutputPin.h"
#include "platform/dshow/MediaFormats.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cstring>

namespace filters {

namespace {

constexpr LONG sound_buffer_bytes = 192000;   // a second of 48 kHz stereo
constexpr REFERENCE_TIME default_frame_time = 400000;   // 25 frames a second, when nothing says otherwise

}

class AvDecoderFilter::InputPin final : public CBaseInputPin {
public:
    explicit InputPin(AvDecoderFilter* filter)
        : CBaseInputPin(u"Input", filter, &filter->m_filter_lock, nullptr), m_owner(filter)
    {
    }
    HRESULT CheckMediaType(const CMediaType* type) override { return m_owner->check_input(*type); }
    HRESULT CompleteConnect(IPin* pin) override
    {
        const HRESULT hr = CBaseInputPin::CompleteConnect(pin);
        return FAILED(hr) ? hr : m_owner->open_decoder(m_mt);
    }
    HRESULT Receive(IMediaSample* sample) override
    {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        return hr == S_OK ? m_owner->receive(sample) : hr;
    }
    HRESULT EndOfStream() override
    {
        const HRESULT hr = CheckStreaming();
        if (hr == S_OK) m_owner->end_of_stream();
        return hr;
    }
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    AvDecoderFilter* m_owner;
};

class AvDecoderFilter::OutputPin final : public CBaseOutputPin {
public:
    explicit OutputPin(AvDecoderFilter* filter)
        : CBaseOutputPin(filter->m_kind == StreamKind::Video ? u"Video Output" : u"Audio Output", filter,
                         &filter->m_filter_lock, nullptr),
          m_owner(filter)
    {
    }
    HRESULT CheckMediaType(const CMediaType* type) override { return m_owner->check_output(*type); }
    HRESULT GetMediaType(int position, CMediaType* type) override { return m_owner->output_type(position, type); }
    HRESULT SetMediaType(const CMediaType* type) override
    {
        const HRESULT hr = CBaseOutputPin::SetMediaType(type);
        if (SUCCEEDED(hr)) m_owner->set_output(*type);
        return hr;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        if (allocator == nullptr || request == nullptr) return E_POINTER;
        request->cBuffers = std::max<LONG>(request->cBuffers, m_owner->m_kind == StreamKind::Video ? 4 : 8);
        request->cbBuffer = std::max(request->cbBuffer, m_owner->output_buffer_size());
        ALLOCATOR_PROPERTIES actual{};
        const HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }
    // The input must be connected first: the output types come from its decoder.
    HRESULT CheckConnect(IPin* pin) override
    {
        return m_owner->m_input->IsConnected() ? CBaseOutputPin::CheckConnect(pin) : VFW_E_NOT_CONNECTED;
    }

private:
    AvDecoderFilter* m_owner;
};

HRESULT AvDecoderFilter::InputPin::BeginFlush()
{
    CBaseInputPin::BeginFlush();
    m_owner->m_output->DeliverBeginFlush();
    return S_OK;
}

HRESULT AvDecoderFilter::InputPin::EndFlush()
{
    m_owner->flush();
    m_owner->m_output->DeliverEndFlush();
    return CBaseInputPin::EndFlush();
}

HRESULT AvDecoderFilter::InputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    CBasePin::NewSegment(start, stop, rate);
    m_owner->new_segment();
    return m_owner->m_output->DeliverNewSegment(start, stop, rate);
}

AvDecoderFilter::AvDecoderFilter(const WCHAR* name, const CLSID& clsid, StreamKind kind)
    : CBaseFilter(name, &m_filter_lock, clsid), m_kind(kind), m_input(std::make_unique<InputPin>(this)),
      m_output(std::make_unique<OutputPin>(this))
{
}

AvDecoderFilter::~AvDecoderFilter() = default;

CBasePin* AvDecoderFilter::GetPin(int n)
{
    if (n == 0) return m_input.get();
    return n == 1 ? m_output.get() : nullptr;
}

HRESULT AvDecoderFilter::check_input(const CMediaType& type) const
{
    const GUID& major = m_kind == StreamKind::Video ? MEDIATYPE_Video : MEDIATYPE_Audio;
    if (*type.Type() != major) return VFW_E_TYPE_NOT_ACCEPTED;
    return decoder_setup(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AvDecoderFilter::open_decoder(const CMediaType& type)
{
    const std::optional<DecoderSetup> setup = decoder_setup(type);
    std::scoped_lock hold(m_stream_lock);
    if (!setup || !m_decoder.open(*setup)) return VFW_E_TYPE_NOT_ACCEPTED;
    m_setup = *setup;
    if (m_kind == StreamKind::Audio) {
        const AVCodecContext* c = m_decoder.context();
        m_out_rate = c->sample_rate > 0 ? c->sample_rate : m_setup.sample_rate;
        const int channels = c->ch_layout.nb_channels > 0 ? c->ch_layout.nb_channels : m_setup.channels;
        m_out_channels = std::clamp(channels, 1, 8);
    }
    return S_OK;
}

HRESULT AvDecoderFilter::output_type(int position, CMediaType* type) const
{
    if (type == nullptr) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    std::scoped_lock hold(m_stream_lock);
    if (!m_decoder.is_open()) return VFW_S_NO_MORE_ITEMS;
    if (m_kind == StreamKind::Audio) {
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = CMediaType(MEDIATYPE_Audio);
        type->SetSubtype(&MEDIASUBTYPE_PCM);
        type->SetFormatType(&FORMAT_WaveFormatEx);
        auto* wfe = reinterpret_cast<WAVEFORMATEX*>(type->AllocFormatBuffer(sizeof(WAVEFORMATEX)));
        if (wfe == nullptr) return E_OUTOFMEMORY;
        *wfe = {};
        wfe->wFormatTag = 1;
        wfe->nChannels = static_cast<WORD>(m_out_channels);
        wfe->nSamplesPerSec = static_cast<DWORD>(m_out_rate);
        wfe->wBitsPerSample = 16;
        wfe->nBlockAlign = static_cast<WORD>(m_out_channels * 2);
        wfe->nAvgBytesPerSec = wfe->nSamplesPerSec * wfe->nBlockAlign;
        type->SetSampleSize(wfe->nBlockAlign);
        return S_OK;
    }
    if (position > 1) return VFW_S_NO_MORE_ITEMS;
    const PictureFormat format = position == 0 ? PictureFormat::YV12 : PictureFormat::RGB32;
    *type = CMediaType(MEDIATYPE_Video);
    type->SetSubtype(format == PictureFormat::YV12 ? &MEDIASUBTYPE_YV12 : &MEDIASUBTYPE_RGB32);
    type->SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (vih == nullptr) return E_OUTOFMEMORY;
    *vih = {};
    vih->AvgTimePerFrame = m_setup.frame_time;
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = m_setup.width;
    bmi.biHeight = m_setup.height;
    bmi.biPlanes = 1;
    bmi.biBitCount = format == PictureFormat::YV12 ? 12 : 32;
    bmi.biCompression = format == PictureFormat::YV12 ? MAKEFOURCC('Y', 'V', '1', '2') : 0;
    bmi.biSizeImage = static_cast<DWORD>(PictureConverter(format, m_setup.width, m_setup.height).image_size());
    type->SetSampleSize(bmi.biSizeImage);
    return S_OK;
}

HRESULT AvDecoderFilter::check_output(const CMediaType& type) const
{
    for (int position = 0;; ++position) {
        CMediaType offered;
        if (output_type(position, &offered) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        if (*offered.Subtype() == *type.Subtype() && *offered.FormatType() == *type.FormatType() &&
            offered.FormatLength() <= type.FormatLength() &&
            std::memcmp(offered.Format(), type.Format(), offered.FormatLength()) == 0)
            return S_OK;
    }
}

void AvDecoderFilter::set_output(const CMediaType& type)
{
    std::scoped_lock hold(m_stream_lock);
    if (m_kind == StreamKind::Audio) {
        m_sound = std::make_unique<SoundConverter>(m_out_rate, m_out_channels);
        return;
    }
    const PictureFormat format = *type.Subtype() == MEDIASUBTYPE_YV12 ? PictureFormat::YV12 : PictureFormat::RGB32;
    m_picture = std::make_unique<PictureConverter>(format, m_setup.width, m_setup.height);
}

LONG AvDecoderFilter::output_buffer_size() const
{
    std::scoped_lock hold(m_stream_lock);
    if (m_kind == StreamKind::Audio || !m_picture) return sound_buffer_bytes;
    return static_cast<LONG>(m_picture->image_size());
}

HRESULT AvDecoderFilter::receive(IMediaSample* sample)
{
    if (!m_output->IsConnected()) return S_OK;   // nothing downstream wants it
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return E_POINTER;
    const LONG length = sample->GetActualDataLength();
    REFERENCE_TIME start = 0, stop = 0;
    const std::optional<REFERENCE_TIME> time =
        SUCCEEDED(sample->GetTime(&start, &stop)) ? std::optional<REFERENCE_TIME>(start) : std::nullopt;
    std::scoped_lock hold(m_stream_lock);
    m_decoder.decode(data, length > 0 ? static_cast<std::size_t>(length) : 0, time,
                     [this](const AVFrame& frame, std::optional<REFERENCE_TIME> at) {
                         if (m_kind == StreamKind::Video) deliver_picture(frame, at);
                         else if (m_sound) deliver_sound(m_sound->convert(frame), at);
                     });
    return S_OK;
}

void AvDecoderFilter::end_of_stream()
{
    {
        std::scoped_lock hold(m_stream_lock);
        m_decoder.drain([this](const AVFrame& frame, std::optional<REFERENCE_TIME> at) {
            if (m_kind == StreamKind::Video) deliver_picture(frame, at);
            else if (m_sound) deliver_sound(m_sound->convert(frame), at);
        });
        if (m_sound) deliver_sound(m_sound->drain(), std::nullopt);
    }
    m_output->DeliverEndOfStream();
}

void AvDecoderFilter::flush()
{
    std::scoped_lock hold(m_stream_lock);
    m_decoder.flush();
}

void AvDecoderFilter::new_segment()
{
    std::scoped_lock hold(m_stream_lock);
    m_next_time = 0;
}

void AvDecoderFilter::deliver_picture(const AVFrame& frame, std::optional<REFERENCE_TIME> start)
{
    if (!m_picture) return;
    REFERENCE_TIME duration = frame.pkt_duration > 0 ? frame.pkt_duration : m_setup.frame_time;
    if (duration <= 0) duration = default_frame_time;
    const REFERENCE_TIME begin = start.value_or(m_next_time);
    m_next_time = begin + duration;
    IMediaSample* sample = nullptr;
    if (FAILED(m_output->GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return;
    BYTE* out = nullptr;
    const std::size_t size = m_picture->image_size();
    if (SUCCEEDED(sample->GetPointer(&out)) && static_cast<std::size_t>(sample->GetSize()) >= size &&
        m_picture->convert(frame, out)) {
        REFERENCE_TIME stop = m_next_time;
        REFERENCE_TIME at = begin;
        sample->SetTime(&at, &stop);
        sample->SetActualDataLength(static_cast<LONG>(size));
        sample->SetSyncPoint(TRUE);
        m_output->Deliver(sample);
    }
    sample->Release();
}

void AvDecoderFilter::deliver_sound(const std::vector<BYTE>& bytes, std::optional<REFERENCE_TIME> start)
{
    if (bytes.empty() || m_out_rate <= 0) return;
    const std::size_t frame_bytes = static_cast<std::size_t>(m_out_channels) * 2;
    REFERENCE_TIME at = start.value_or(m_next_time);
    // Sound larger than one buffer goes out in pieces, each with its own time.
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t piece = std::min(bytes.size() - done, sound_buffer_bytes / frame_bytes * frame_bytes);
        const REFERENCE_TIME stop = at + static_cast<REFERENCE_TIME>(piece / frame_bytes) * 10000000 / m_out_rate;
        if (!deliver(bytes.data() + done, piece, at, stop)) break;
        at = stop;
        done += piece;
    }
    m_next_time = at;
}

bool AvDecoderFilter::deliver(const BYTE* data, std::size_t size, REFERENCE_TIME start, REFERENCE_TIME stop)
{
    IMediaSample* sample = nullptr;
    if (FAILED(m_output->GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return false;
    BYTE* out = nullptr;
    bool sent = false;
    if (SUCCEEDED(sample->GetPointer(&out)) && static_cast<std::size_t>(sample->GetSize()) >= size) {
        std::memcpy(out, data, size);
        sample->SetActualDataLength(static_cast<LONG>(size));
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sent = SUCCEEDED(m_output->Deliver(sample));
    }
    sample->Release();
    return sent;
}

}
