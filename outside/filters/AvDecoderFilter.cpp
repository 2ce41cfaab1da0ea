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

AvDecoderFilter::AvDecoderFilter(const WCHAR* name, const CLSID& clsid, StreamKind kind)
    : StreamFilter(name, clsid, u"Input", kind == StreamKind::Video ? u"Video Output" : u"Audio Output"), m_kind(kind)
{
}

AvDecoderFilter::~AvDecoderFilter() = default;

HRESULT AvDecoderFilter::check_input(const CMediaType& type) const
{
    const GUID& major = m_kind == StreamKind::Video ? MEDIATYPE_Video : MEDIATYPE_Audio;
    if (*type.Type() != major) return VFW_E_TYPE_NOT_ACCEPTED;
    return decoder_setup(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AvDecoderFilter::input_connected(const CMediaType& type)
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

void AvDecoderFilter::output_chosen(const CMediaType& type)
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

void AvDecoderFilter::receive(IMediaSample* sample)
{
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return;
    const LONG length = sample->GetActualDataLength();
    REFERENCE_TIME start = 0, stop = 0;
    const std::optional<REFERENCE_TIME> time =
        SUCCEEDED(sample->GetTime(&start, &stop)) ? std::optional<REFERENCE_TIME>(start) : std::nullopt;
    std::scoped_lock hold(m_stream_lock);
    m_decoder.decode(data, length > 0 ? static_cast<std::size_t>(length) : 0, time,
                     [this](const AVFrame& frame, std::optional<REFERENCE_TIME> at) { take_frame(frame, at); });
}

void AvDecoderFilter::take_frame(const AVFrame& frame, std::optional<REFERENCE_TIME> start)
{
    if (m_kind == StreamKind::Video) deliver_picture(frame, start);
    else if (m_sound) deliver_sound(m_sound->convert(frame), start);
}

void AvDecoderFilter::drain()
{
    std::scoped_lock hold(m_stream_lock);
    m_decoder.drain([this](const AVFrame& frame, std::optional<REFERENCE_TIME> at) { take_frame(frame, at); });
    if (m_sound) deliver_sound(m_sound->drain(), std::nullopt);
    m_next_time = 0;
}

void AvDecoderFilter::flush()
{
    std::scoped_lock hold(m_stream_lock);
    m_decoder.flush();
    m_next_time = 0;
}

void AvDecoderFilter::deliver_picture(const AVFrame& frame, std::optional<REFERENCE_TIME> start)
{
    if (!m_picture) return;
    REFERENCE_TIME duration = frame.pkt_duration > 0 ? frame.pkt_duration : m_setup.frame_time;
    if (duration <= 0) duration = default_frame_time;
    const REFERENCE_TIME begin = start.value_or(m_next_time);
    m_next_time = begin + duration;
    deliver(m_picture->image_size(), begin, m_next_time, true, [&](BYTE* out) { return m_picture->convert(frame, out); });
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
        const BYTE* from = bytes.data() + done;
        if (!deliver(piece, at, stop, true, [&](BYTE* out) { return std::memcpy(out, from, piece) != nullptr; })) break;
        at = stop;
        done += piece;
    }
    m_next_time = at;
}

}
