#include "AvEncoder.h"

#include "platform/base/DebugLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace filters {

void AvEncoder::ContextFree::operator()(AVCodecContext* c) const
{
    avcodec_free_context(&c);
}
void AvEncoder::PacketFree::operator()(AVPacket* p) const
{
    av_packet_free(&p);
}

AvEncoder::AvEncoder() : m_packet(av_packet_alloc()) {}
AvEncoder::~AvEncoder() = default;

bool AvEncoder::open(const char* name, const Configure& configure)
{
    m_context.reset();
    m_drained = false;
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr || !m_packet) {
        plat::debug_log(std::string("encoder: libavcodec has no ") + name);
        return false;
    }
    std::unique_ptr<AVCodecContext, ContextFree> context(avcodec_alloc_context3(codec));
    if (!context) return false;
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    configure(*context);
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        plat::debug_log(std::string("encoder: libavcodec cannot open ") + name);
        return false;
    }
    m_context = std::move(context);
    return true;
}

std::vector<BYTE> AvEncoder::header() const
{
    if (!m_context || m_context->extradata == nullptr) return {};
    return {m_context->extradata, m_context->extradata + m_context->extradata_size};
}

void AvEncoder::encode(const AVFrame* frame, const PacketOut& out)
{
    if (!m_context || m_drained) return;
    if (avcodec_send_frame(m_context.get(), frame) < 0) plat::debug_log("encoder: a frame was refused");
    receive_packets(out);
}

void AvEncoder::drain(const PacketOut& out)
{
    if (!m_context || m_drained) return;
    avcodec_send_frame(m_context.get(), nullptr);
    receive_packets(out);
    m_drained = true;
}

void AvEncoder::receive_packets(const PacketOut& out)
{
    while (avcodec_receive_packet(m_context.get(), m_packet.get()) == 0) {
        av_packet_rescale_ts(m_packet.get(), m_context->time_base, AVRational{1, 10000000});
        out(*m_packet);
        av_packet_unref(m_packet.get());
    }
}

}
