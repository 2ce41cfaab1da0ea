#include "AvDecoder.h"

#include "platform/base/DebugLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace filters {

namespace {

// Media times are in 100 ns units.
constexpr AVRational media_time_base{1, 10000000};

}

void AvDecoder::ContextFree::operator()(AVCodecContext* c) const
{
    avcodec_free_context(&c);
}
void AvDecoder::FrameFree::operator()(AVFrame* f) const
{
    av_frame_free(&f);
}
void AvDecoder::PacketFree::operator()(AVPacket* p) const
{
    av_packet_free(&p);
}

AvDecoder::AvDecoder() : m_frame(av_frame_alloc()), m_packet(av_packet_alloc()) {}
AvDecoder::~AvDecoder() = default;

bool AvDecoder::open(const DecoderSetup& setup)
{
    m_context.reset();
    const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(setup.codec_id));
    if (codec == nullptr || !m_frame || !m_packet) return false;
    std::unique_ptr<AVCodecContext, ContextFree> context(avcodec_alloc_context3(codec));
    if (!context) return false;
    context->pkt_timebase = media_time_base;
    context->width = setup.width;
    context->height = setup.height;
    context->sample_rate = setup.sample_rate;
    if (setup.channels > 0) av_channel_layout_default(&context->ch_layout, setup.channels);
    context->block_align = setup.block_align;
    context->bits_per_coded_sample = setup.bits_per_sample;
    context->bit_rate = setup.bit_rate;
    if (!setup.extradata.empty()) {
        context->extradata = static_cast<uint8_t*>(av_mallocz(setup.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (context->extradata == nullptr) return false;
        std::memcpy(context->extradata, setup.extradata.data(), setup.extradata.size());
        context->extradata_size = static_cast<int>(setup.extradata.size());
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        plat::debug_log(std::string("decoder: libavcodec cannot open ") + codec->name);
        return false;
    }
    m_context = std::move(context);
    return true;
}

void AvDecoder::decode(const BYTE* data, std::size_t size, std::optional<REFERENCE_TIME> start, const FrameOut& out)
{
    if (!m_context || data == nullptr || size == 0 || size > 0x7FFFFFFF) return;
    if (av_new_packet(m_packet.get(), static_cast<int>(size)) < 0) return;
    std::memcpy(m_packet->data, data, size);
    m_packet->pts = start ? *start : AV_NOPTS_VALUE;
    const int sent = avcodec_send_packet(m_context.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    if (sent < 0 && sent != AVERROR(EAGAIN)) plat::debug_log("decoder: a packet was refused and dropped");
    receive_frames(out);
}

void AvDecoder::drain(const FrameOut& out)
{
    if (!m_context) return;
    avcodec_send_packet(m_context.get(), nullptr);
    receive_frames(out);
    avcodec_flush_buffers(m_context.get());   // ready for a stream that goes on after a seek
}

void AvDecoder::flush()
{
    if (m_context) avcodec_flush_buffers(m_context.get());
}

void AvDecoder::receive_frames(const FrameOut& out)
{
    while (avcodec_receive_frame(m_context.get(), m_frame.get()) == 0) {
        const int64_t time = m_frame->best_effort_timestamp;
        out(*m_frame, time == AV_NOPTS_VALUE ? std::nullopt : std::optional<REFERENCE_TIME>(time));
        av_frame_unref(m_frame.get());
    }
}

}
