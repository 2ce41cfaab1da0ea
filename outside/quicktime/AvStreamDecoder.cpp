#include "outside/quicktime/AvStreamDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace qt {

void AvStreamDecoder::FormatClose::operator()(AVFormatContext* c) const { avformat_close_input(&c); }
void AvStreamDecoder::CodecFree::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void AvStreamDecoder::FrameFree::operator()(AVFrame* f) const { av_frame_free(&f); }
void AvStreamDecoder::PacketFree::operator()(AVPacket* p) const { av_packet_free(&p); }

AvStreamDecoder::AvStreamDecoder() : m_frame(av_frame_alloc()), m_packet(av_packet_alloc()) {}
AvStreamDecoder::~AvStreamDecoder() = default;

bool AvStreamDecoder::open(const std::string& path, int stream_index)
{
    AVFormatContext* format = nullptr;
    if (!m_frame || !m_packet || avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    m_format.reset(format);
    if (avformat_find_stream_info(format, nullptr) < 0) return false;
    if (stream_index < 0 || stream_index >= static_cast<int>(format->nb_streams)) return false;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = static_cast<int>(i) == stream_index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVCodecParameters* parameters = format->streams[stream_index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (codec == nullptr) return false;
    m_codec.reset(avcodec_alloc_context3(codec));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), parameters) < 0) return false;
    m_codec->pkt_timebase = format->streams[stream_index]->time_base;
    if (avcodec_open2(m_codec.get(), codec, nullptr) < 0) return false;
    m_index = stream_index;
    return true;
}

const AVStream& AvStreamDecoder::stream() const { return *m_format->streams[m_index]; }

bool AvStreamDecoder::seek(std::int64_t timestamp)
{
    avcodec_flush_buffers(m_codec.get());
    m_drained = false;
    return av_seek_frame(m_format.get(), m_index, timestamp, AVSEEK_FLAG_BACKWARD) >= 0;
}

const AVFrame* AvStreamDecoder::next()
{
    for (;;) {
        const int result = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (result == 0) return m_frame.get();
        if (result != AVERROR(EAGAIN) || !feed()) return nullptr;
    }
}

// One packet (or the end of the file) into the decoder; false when nothing more can go in.
bool AvStreamDecoder::feed()
{
    if (m_drained) return false;
    for (;;) {
        const int read = av_read_frame(m_format.get(), m_packet.get());
        if (read < 0) {
            m_drained = true;
            return avcodec_send_packet(m_codec.get(), nullptr) == 0;
        }
        if (m_packet->stream_index != m_index) {
            av_packet_unref(m_packet.get());
            continue;
        }
        const int sent = avcodec_send_packet(m_codec.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        // A packet the decoder refuses is dropped: the stream goes on from the next.
        if (sent == 0 || sent == AVERROR_INVALIDDATA) return true;
        return false;
    }
}

}
