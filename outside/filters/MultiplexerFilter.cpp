#include "MultiplexerFilter.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/dshow/BaseInputPin.h"
#include "platform/dshow/MediaFormats.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstring>

namespace filters {

namespace {

constexpr AVRational media_time_base{1, 10000000};

bool is_h264(const CMediaType& type)
{
    return *type.Type() == MEDIATYPE_Video && *type.Subtype() == plat::fourcc_guid(MAKEFOURCC('H', '2', '6', '4')) &&
           *type.FormatType() == FORMAT_VideoInfo && type.FormatLength() >= sizeof(VIDEOINFOHEADER);
}

bool is_aac(const CMediaType& type)
{
    if (*type.Type() != MEDIATYPE_Audio || *type.FormatType() != FORMAT_WaveFormatEx ||
        type.FormatLength() < sizeof(WAVEFORMATEX))
        return false;
    const auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
    return wfe->wFormatTag == WAVE_FORMAT_AAC && sizeof(WAVEFORMATEX) + wfe->cbSize <= type.FormatLength();
}

// The stream's parameters from the pin's type; false when libavformat cannot take them.
bool describe(AVCodecParameters& p, const CMediaType& type)
{
    const BYTE* extra = nullptr;
    std::size_t extra_size = 0;
    if (is_h264(type)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
        p.codec_type = AVMEDIA_TYPE_VIDEO;
        p.codec_id = AV_CODEC_ID_H264;
        p.width = vih->bmiHeader.biWidth;
        p.height = std::abs(vih->bmiHeader.biHeight);
        extra = type.Format() + sizeof(VIDEOINFOHEADER);
        extra_size = type.FormatLength() - sizeof(VIDEOINFOHEADER);
    } else {
        const auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
        p.codec_type = AVMEDIA_TYPE_AUDIO;
        p.codec_id = AV_CODEC_ID_AAC;
        p.sample_rate = static_cast<int>(wfe->nSamplesPerSec);
        av_channel_layout_default(&p.ch_layout, wfe->nChannels);
        p.bit_rate = static_cast<int64_t>(wfe->nAvgBytesPerSec) * 8;
        extra = reinterpret_cast<const BYTE*>(wfe + 1);
        extra_size = wfe->cbSize;
    }
    if (extra_size == 0) return true;
    p.extradata = static_cast<uint8_t*>(av_mallocz(extra_size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (p.extradata == nullptr) return false;
    std::memcpy(p.extradata, extra, extra_size);
    p.extradata_size = static_cast<int>(extra_size);
    return true;
}

}

class MultiplexerFilterBase::InputPin final : public CBaseInputPin {
public:
    InputPin(MultiplexerFilterBase* filter, Track track)
        : CBaseInputPin(track == Video ? u"Video Input" : u"Audio Input", filter, &filter->m_filter_lock, nullptr),
          m_owner(filter), m_track(track)
    {
    }
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return (m_track == Video ? is_h264(*type) : is_aac(*type)) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override
    {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr == S_OK) m_owner->write(m_track, sample);
        return hr;
    }
    HRESULT EndOfStream() override
    {
        const HRESULT hr = CheckStreaming();
        if (hr == S_OK) m_owner->track_ended(m_track);
        return hr;
    }

private:
    MultiplexerFilterBase* m_owner;
    const Track m_track;
};

MultiplexerFilterBase::MultiplexerFilterBase()
    : CBaseFilter(u"KVR Multiplexer Filter", &m_filter_lock, CLSID_KVRMultiplexer),
      m_pins{std::make_unique<InputPin>(this, Audio), std::make_unique<InputPin>(this, Video)}
{
}

MultiplexerFilterBase::~MultiplexerFilterBase()
{
    std::scoped_lock hold(m_write_lock);
    finish();
}

HRESULT MultiplexerFilterBase::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object != nullptr && iid == IFileSinkFilter::iid) {
        *object = static_cast<IFileSinkFilter*>(this);
        AddRef();
        return S_OK;
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

CBasePin* MultiplexerFilterBase::GetPin(int n)
{
    return n == Audio || n == Video ? m_pins[n].get() : nullptr;
}

HRESULT MultiplexerFilterBase::SetFileName(LPCWSTR file_name, const AM_MEDIA_TYPE*)
{
    if (file_name == nullptr) return E_POINTER;
    std::scoped_lock hold(m_write_lock);
    if (m_file != nullptr) return VFW_E_WRONG_STATE;   // a file is being written
    m_path = plat::utf16_to_utf8({file_name, plat::wide_length(file_name)});
    return m_path.empty() ? E_INVALIDARG : S_OK;
}

HRESULT MultiplexerFilterBase::Pause()
{
    if (IsStopped()) {
        const HRESULT hr = open_file();
        if (FAILED(hr)) return hr;
    }
    return CBaseFilter::Pause();
}

HRESULT MultiplexerFilterBase::Stop()
{
    const HRESULT hr = CBaseFilter::Stop();
    std::scoped_lock hold(m_write_lock);
    finish();   // a stopped run leaves a whole file of what was written
    return hr;
}

HRESULT MultiplexerFilterBase::open_file()
{
    std::scoped_lock hold(m_write_lock);
    if (m_file != nullptr) return S_OK;
    if (m_path.empty()) return E_FAIL;
    AVFormatContext* file = nullptr;
    if (avformat_alloc_output_context2(&file, nullptr, "ipod", m_path.c_str()) < 0) return E_FAIL;
    for (int track : {Video, Audio}) {
        m_stream[track] = -1;
        m_ended[track] = !m_pins[track]->IsConnected();
        if (m_ended[track]) continue;
        AVStream* stream = avformat_new_stream(file, nullptr);
        if (stream == nullptr || !describe(*stream->codecpar, m_pins[track]->CurrentMediaType())) {
            avformat_free_context(file);
            return E_FAIL;
        }
        stream->time_base = media_time_base;
        m_stream[track] = stream->index;
    }
    if (file->nb_streams == 0 || avio_open(&file->pb, m_path.c_str(), AVIO_FLAG_WRITE) < 0) {
        avformat_free_context(file);
        return E_FAIL;
    }
    if (avformat_write_header(file, nullptr) < 0) {
        avio_closep(&file->pb);
        avformat_free_context(file);
        return E_FAIL;
    }
    m_file = file;
    return S_OK;
}

void MultiplexerFilterBase::write(Track track, IMediaSample* sample)
{
    BYTE* data = nullptr;
    REFERENCE_TIME start = 0, stop = 0;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || length <= 0 || FAILED(sample->GetTime(&start, &stop))) return;
    std::scoped_lock hold(m_write_lock);
    if (m_file == nullptr || m_stream[track] < 0) return;
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr || av_new_packet(packet, length) < 0) {
        av_packet_free(&packet);
        return fail(E_OUTOFMEMORY);
    }
    std::memcpy(packet->data, data, static_cast<std::size_t>(length));
    packet->stream_index = m_stream[track];
    packet->pts = packet->dts = start;   // neither encoder reorders
    packet->duration = stop > start ? stop - start : 0;
    if (sample->IsSyncPoint() == S_OK) packet->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet, media_time_base, m_file->streams[m_stream[track]]->time_base);
    const int written = av_interleaved_write_frame(m_file, packet);
    av_packet_free(&packet);
    if (written < 0) fail(E_FAIL);
}

void MultiplexerFilterBase::track_ended(Track track)
{
    bool complete = false;
    {
        std::scoped_lock hold(m_write_lock);
        if (m_file == nullptr) return;
        m_ended[track] = true;
        if (!m_ended[Audio] || !m_ended[Video]) return;
        complete = av_write_trailer(m_file) == 0;
        finish();
    }
    if (complete) NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    else NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
}

// Under m_write_lock.
void MultiplexerFilterBase::finish()
{
    if (m_file == nullptr) return;
    if (!m_ended[Audio] || !m_ended[Video]) av_write_trailer(m_file);
    avio_closep(&m_file->pb);
    avformat_free_context(m_file);
    m_file = nullptr;
}

// Under m_write_lock.
void MultiplexerFilterBase::fail(HRESULT reason)
{
    plat::debug_log("multiplexer: the file cannot be written");
    finish();
    NotifyEvent(EC_ERRORABORT, reason, 0);
}

}
