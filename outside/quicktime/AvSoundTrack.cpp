#include "outside/quicktime/AvSoundTrack.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace qt {
namespace {

AVSampleFormat native_format(int bits)
{
    if (bits == 8) return AV_SAMPLE_FMT_U8;
    return bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
}

std::size_t native_bytes(int bits) { return bits == 8 ? 1 : bits == 16 ? 2 : 4; }

bool same(const SoundLayout& a, const SoundLayout& b)
{
    return a.channels == b.channels && a.bits == b.bits && a.rate == b.rate;
}

}

AvSoundTrack::AvSoundTrack(std::string path, int stream_index) : m_path(std::move(path)), m_stream(stream_index) {}

AvSoundTrack::~AvSoundTrack() { swr_free(&m_swr); }

bool AvSoundTrack::read(const SoundLayout& layout, std::int64_t start, std::int64_t frames, std::vector<char>& out)
{
    out.clear();
    if (!m_opened && !(m_opened = m_decoder.open(m_path, m_stream))) return false;
    if (start != m_pending_start || !same(layout, m_made_for)) {
        if (!reposition(layout, start)) return false;
    }
    const std::size_t frame_bytes = native_bytes(layout.bits) * layout.channels;
    while (m_pending.size() / frame_bytes < static_cast<std::size_t>(frames) && !m_ended)
        if (!decode_more(layout)) return false;
    const std::size_t taken = std::min<std::size_t>(frames, m_pending.size() / frame_bytes);
    pack(layout, taken, out);
    drop_front(taken);
    return true;
}

bool AvSoundTrack::reposition(const SoundLayout& layout, std::int64_t start)
{
    const AVRational tb = m_decoder.stream().time_base;
    swr_free(&m_swr);
    m_made_for = layout;
    m_pending.clear();
    m_pending_start = -1;
    m_ended = false;
    if (!m_decoder.seek(av_rescale_q(start, AVRational{1, layout.rate}, tb))) return false;
    while (!m_ended && (m_pending_start < 0 || m_pending_start + static_cast<std::int64_t>(
                                                   m_pending.size() / (native_bytes(layout.bits) * layout.channels)) <= start)) {
        if (!decode_more(layout)) return false;
        if (m_pending_start >= 0 && m_pending_start < start) {
            const std::size_t have = m_pending.size() / (native_bytes(layout.bits) * layout.channels);
            drop_front(std::min<std::size_t>(have, start - m_pending_start));
        }
    }
    // A track that begins after `start`, or ends before it, answers from `start` on.
    m_pending_start = start;
    return true;
}

bool AvSoundTrack::decode_more(const SoundLayout& layout)
{
    const AVFrame* frame = m_decoder.next();
    if (frame == nullptr) {
        m_ended = true;
        return true;
    }
    if (m_pending_start < 0) {
        const std::int64_t time = frame->best_effort_timestamp;
        m_pending_start = time == AV_NOPTS_VALUE ? 0 : av_rescale_q(time, m_decoder.stream().time_base, AVRational{1, layout.rate});
    }
    return convert(layout, *frame);
}

bool AvSoundTrack::convert(const SoundLayout& layout, const AVFrame& frame)
{
    if (m_swr == nullptr) {
        AVChannelLayout out_layout;
        av_channel_layout_default(&out_layout, layout.channels);
        const int made = swr_alloc_set_opts2(&m_swr, &out_layout, native_format(layout.bits), layout.rate, const_cast<AVChannelLayout*>(&frame.ch_layout),
                                             static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&out_layout);
        if (made < 0 || swr_init(m_swr) < 0) return false;
    }
    const int room = swr_get_out_samples(m_swr, frame.nb_samples);
    if (room < 0) return false;
    const std::size_t frame_bytes = native_bytes(layout.bits) * layout.channels;
    const std::size_t before = m_pending.size();
    m_pending.resize(before + static_cast<std::size_t>(room) * frame_bytes);
    uint8_t* out = m_pending.data() + before;
    const int converted = swr_convert(m_swr, &out, room, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0) return false;
    m_pending.resize(before + static_cast<std::size_t>(converted) * frame_bytes);
    return true;
}

void AvSoundTrack::drop_front(std::size_t frames)
{
    const std::size_t bytes = frames * native_bytes(m_made_for.bits) * m_made_for.channels;
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(bytes));
    m_pending_start += static_cast<std::int64_t>(frames);
}

// From the native samples to the exporter's byte order and width.
void AvSoundTrack::pack(const SoundLayout& layout, std::size_t frames, std::vector<char>& out) const
{
    const std::size_t samples = frames * layout.channels;
    const std::size_t width = static_cast<std::size_t>(layout.bits) / 8;
    out.resize(samples * width);
    for (std::size_t i = 0; i < samples; ++i) {
        std::uint32_t value = 0;
        std::memcpy(&value, m_pending.data() + i * native_bytes(layout.bits), native_bytes(layout.bits));
        if (layout.bits == 24) value >>= 8;   // the top 24 bits of the 32-bit sample
        for (std::size_t b = 0; b < width; ++b) {
            const std::size_t shift = layout.little_endian ? b : width - 1 - b;
            out[i * width + b] = static_cast<char>(value >> (8 * shift));
        }
    }
}

}
