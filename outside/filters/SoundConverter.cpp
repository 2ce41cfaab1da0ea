#include "SoundConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace filters {

SoundConverter::SoundConverter(int sample_rate, int channels) : m_rate(sample_rate), m_channels(channels) {}

SoundConverter::~SoundConverter()
{
    swr_free(&m_swr);
}

bool SoundConverter::set_up(const AVFrame& frame)
{
    if (m_swr != nullptr && frame.sample_rate == m_in_rate && frame.format == m_in_format &&
        frame.ch_layout.nb_channels == m_in_channels)
        return true;
    swr_free(&m_swr);
    AVChannelLayout out_layout;
    av_channel_layout_default(&out_layout, m_channels);
    AVChannelLayout in_layout;
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&in_layout, &frame.ch_layout) < 0)
        av_channel_layout_default(&in_layout, frame.ch_layout.nb_channels);
    const int made = swr_alloc_set_opts2(&m_swr, &out_layout, AV_SAMPLE_FMT_S16, m_rate, &in_layout,
                                         static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in_layout);
    av_channel_layout_uninit(&out_layout);
    if (made < 0 || swr_init(m_swr) < 0) {
        swr_free(&m_swr);
        return false;
    }
    m_in_rate = frame.sample_rate;
    m_in_format = frame.format;
    m_in_channels = frame.ch_layout.nb_channels;
    return true;
}

std::vector<BYTE> SoundConverter::convert(const AVFrame& frame)
{
    if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 || !set_up(frame))
        return {};
    return run(frame.extended_data, frame.nb_samples);
}

std::vector<BYTE> SoundConverter::drain()
{
    if (m_swr == nullptr) return {};
    return run(nullptr, 0);
}

std::vector<BYTE> SoundConverter::run(const uint8_t* const* input, int samples)
{
    const int room = swr_get_out_samples(m_swr, samples);
    if (room <= 0) return {};
    std::vector<BYTE> out(static_cast<std::size_t>(room) * m_channels * 2);
    uint8_t* planes[1] = {out.data()};
    const int made = swr_convert(m_swr, planes, room, const_cast<const uint8_t**>(input), samples);
    if (made <= 0) return {};
    out.resize(static_cast<std::size_t>(made) * m_channels * 2);
    return out;
}

}
