#include "AudioEncoderFilter.h"

#include "platform/dshow/MediaFormats.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <cstring>

namespace filters {

namespace {

const WAVEFORMATEX* pcm_format(const CMediaType& type)
{
    if (*type.Type() != MEDIATYPE_Audio || *type.FormatType() != FORMAT_WaveFormatEx ||
        type.FormatLength() < sizeof(WAVEFORMATEX))
        return nullptr;
    const auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
    const bool usable = wfe->wFormatTag == 1 && wfe->wBitsPerSample == 16 && wfe->nChannels >= 1 &&
                        wfe->nChannels <= 8 && wfe->nSamplesPerSec >= 4000 && wfe->nSamplesPerSec <= 384000;
    return usable ? wfe : nullptr;
}

}

AudioEncoderFilterBase::AudioEncoderFilterBase()
    : StreamFilter(u"KVR Audio Encoder Filter", CLSID_KVRAudioEncoder, u"Input", u"Output")
{
}

AudioEncoderFilterBase::~AudioEncoderFilterBase()
{
    swr_free(&m_swr);
    if (m_fifo != nullptr) av_audio_fifo_free(m_fifo);
}

HRESULT AudioEncoderFilterBase::check_input(const CMediaType& type) const
{
    return pcm_format(type) != nullptr ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioEncoderFilterBase::input_connected(const CMediaType& type)
{
    const WAVEFORMATEX* wfe = pcm_format(type);
    if (wfe == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
    const tOutputSettings record = current_settings();
    std::scoped_lock hold(m_stream_lock);
    m_in_rate = static_cast<int>(wfe->nSamplesPerSec);
    m_in_channels = wfe->nChannels;
    const bool opened = m_encoder.open("aac", [&](AVCodecContext& c) {
        c.sample_fmt = AV_SAMPLE_FMT_FLTP;
        c.sample_rate = output_sample_rate;
        av_channel_layout_default(&c.ch_layout, output_channels);
        c.time_base = AVRational{1, output_sample_rate};
        c.bit_rate = setting(record, 4, default_audio_bit_rate);
        c.profile = FF_PROFILE_AAC_LOW;
    });
    if (!opened) return VFW_E_TYPE_NOT_ACCEPTED;
    AVChannelLayout in_layout, out_layout;
    av_channel_layout_default(&in_layout, m_in_channels);
    av_channel_layout_default(&out_layout, output_channels);
    swr_free(&m_swr);
    const int made = swr_alloc_set_opts2(&m_swr, &out_layout, AV_SAMPLE_FMT_FLTP, output_sample_rate, &in_layout,
                                         AV_SAMPLE_FMT_S16, m_in_rate, 0, nullptr);
    av_channel_layout_uninit(&in_layout);
    av_channel_layout_uninit(&out_layout);
    if (made < 0 || swr_init(m_swr) < 0) return VFW_E_TYPE_NOT_ACCEPTED;
    if (m_fifo != nullptr) av_audio_fifo_free(m_fifo);
    m_fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, output_channels, output_sample_rate);
    m_next_sample = -1;
    return m_fifo != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT AudioEncoderFilterBase::output_type(int position, CMediaType* type) const
{
    std::scoped_lock hold(m_stream_lock);
    if (position > 0 || !m_encoder.is_open()) return VFW_S_NO_MORE_ITEMS;
    const std::vector<BYTE> header = m_encoder.header();
    *type = CMediaType(MEDIATYPE_Audio);
    const GUID subtype = plat::fourcc_guid(WAVE_FORMAT_AAC);
    type->SetSubtype(&subtype);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    auto* wfe = reinterpret_cast<WAVEFORMATEX*>(
        type->AllocFormatBuffer(static_cast<ULONG>(sizeof(WAVEFORMATEX) + header.size())));
    if (wfe == nullptr) return E_OUTOFMEMORY;
    *wfe = {};
    wfe->wFormatTag = WAVE_FORMAT_AAC;
    wfe->nChannels = output_channels;
    wfe->nSamplesPerSec = output_sample_rate;
    wfe->nAvgBytesPerSec = static_cast<DWORD>(m_encoder.context()->bit_rate / 8);
    wfe->nBlockAlign = 1;
    wfe->cbSize = static_cast<WORD>(header.size());
    if (!header.empty()) std::memcpy(wfe + 1, header.data(), header.size());
    type->SetVariableSize();
    return S_OK;
}

void AudioEncoderFilterBase::receive(IMediaSample* sample)
{
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return;
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::scoped_lock hold(m_stream_lock);
    if (!m_encoder.is_open() || m_swr == nullptr) return;
    if (m_next_sample < 0) m_next_sample = timed && start > 0 ? start * output_sample_rate / 10000000 : 0;
    resample(data, sample->GetActualDataLength() / (2 * m_in_channels));
    encode_frames(false);
}

void AudioEncoderFilterBase::resample(const BYTE* pcm, int samples)
{
    const int room = swr_get_out_samples(m_swr, samples);
    if (room <= 0) return;
    AVFrame* converted = av_frame_alloc();
    if (converted == nullptr) return;
    converted->format = AV_SAMPLE_FMT_FLTP;
    converted->nb_samples = room;
    av_channel_layout_default(&converted->ch_layout, output_channels);
    if (av_frame_get_buffer(converted, 0) == 0) {
        const uint8_t* in[1] = {pcm};
        const int made = swr_convert(m_swr, converted->data, room, pcm != nullptr ? in : nullptr, samples);
        if (made > 0) av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(converted->data), made);
    }
    av_frame_free(&converted);
}

// Encodes whole frames from the fifo; with `all`, the last one padded with silence.
void AudioEncoderFilterBase::encode_frames(bool all)
{
    const int frame_size = m_encoder.context()->frame_size;
    while (av_audio_fifo_size(m_fifo) >= frame_size || (all && av_audio_fifo_size(m_fifo) > 0)) {
        AVFrame* frame = av_frame_alloc();
        if (frame == nullptr) return;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->nb_samples = frame_size;
        frame->sample_rate = output_sample_rate;
        av_channel_layout_default(&frame->ch_layout, output_channels);
        if (av_frame_get_buffer(frame, 0) == 0) {
            av_samples_set_silence(frame->data, 0, frame_size, output_channels, AV_SAMPLE_FMT_FLTP);
            const int read = av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(frame->data), frame_size);
            frame->pts = m_next_sample;
            m_next_sample += read;
            m_encoder.encode(frame, [this](const AVPacket& p) { send(p); });
        }
        av_frame_free(&frame);
    }
}

void AudioEncoderFilterBase::drain()
{
    std::scoped_lock hold(m_stream_lock);
    if (!m_encoder.is_open() || m_swr == nullptr) return;
    resample(nullptr, 0);
    encode_frames(true);
    m_encoder.drain([this](const AVPacket& p) { send(p); });
}

void AudioEncoderFilterBase::flush()
{
    std::scoped_lock hold(m_stream_lock);
    if (m_fifo != nullptr) av_audio_fifo_reset(m_fifo);
    m_next_sample = -1;
}

void AudioEncoderFilterBase::send(const AVPacket& packet)
{
    const REFERENCE_TIME start = packet.pts;
    const REFERENCE_TIME stop = start + packet.duration;
    deliver(static_cast<std::size_t>(packet.size), start, stop, true, [&](BYTE* out) {
        std::memcpy(out, packet.data, static_cast<std::size_t>(packet.size));
        return true;
    });
}

}
