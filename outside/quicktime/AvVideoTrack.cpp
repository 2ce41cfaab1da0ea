#include "outside/quicktime/AvVideoTrack.h"

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace qt {
namespace {

AVPixelFormat av_format_of(OSType pixel_format)
{
    switch (pixel_format) {
    case k24BGRPixelFormat: return AV_PIX_FMT_BGR24;
    case k16LE565PixelFormat: return AV_PIX_FMT_RGB565LE;
    case k16LE555PixelFormat: return AV_PIX_FMT_RGB555LE;
    case kYUVSPixelFormat: return AV_PIX_FMT_YUYV422;
    case k32BGRAPixelFormat: return AV_PIX_FMT_BGRA;
    default: return AV_PIX_FMT_NONE;
    }
}

}

AvVideoTrack::AvVideoTrack(std::string path, int stream_index, std::vector<VideoSample> samples)
    : m_path(std::move(path)), m_stream(stream_index), m_samples(std::move(samples))
{
}

AvVideoTrack::~AvVideoTrack() { sws_freeContext(m_sws); }

std::size_t AvVideoTrack::sample_of(std::int64_t time) const
{
    const auto after = std::upper_bound(m_samples.begin(), m_samples.end(), time,
                                        [](std::int64_t t, const VideoSample& s) { return t < s.time; });
    return after == m_samples.begin() ? 0 : static_cast<std::size_t>(after - m_samples.begin() - 1);
}

std::size_t AvVideoTrack::key_at_or_before(std::size_t sample) const
{
    for (std::size_t i = sample + 1; i-- > 0;)
        if (m_samples[i].key) return i;
    return 0;
}

const AVFrame* AvVideoTrack::picture(std::size_t sample)
{
    if (!m_opened && !(m_opened = m_decoder.open(m_path, m_stream))) return nullptr;
    if (m_shown && *m_shown == sample) return m_picture;
    const bool onward = m_shown && *m_shown < sample && key_at_or_before(sample) <= *m_shown;
    if (!onward) {
        m_shown.reset();
        if (!m_decoder.seek(m_samples[key_at_or_before(sample)].decode_time)) return nullptr;
    }
    m_picture = nullptr;
    while (const AVFrame* frame = m_decoder.next()) {
        const std::int64_t time = frame->best_effort_timestamp;
        m_shown = time == AV_NOPTS_VALUE ? (m_shown ? *m_shown + 1 : sample) : sample_of(time);
        m_picture = frame;
        if (*m_shown >= sample) return frame;
    }
    m_shown.reset();
    return nullptr;
}

bool AvVideoTrack::draw(std::size_t sample, GWorldRecord& world)
{
    if (sample >= m_samples.size()) return false;
    const AVFrame* frame = picture(sample);
    const AVPixelFormat target = av_format_of(world.pixel_format);
    if (frame == nullptr || target == AV_PIX_FMT_NONE) return false;
    const int width = world.bounds.right - world.bounds.left, height = world.bounds.bottom - world.bounds.top;
    m_sws = sws_getCachedContext(m_sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), width,
                                 height, target, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (m_sws == nullptr) return false;
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(world.pixels.data())};
    const int strides[4] = {static_cast<int>(world.row_bytes)};
    return sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, planes, strides) == height;
}

}
