#pragma once
// One libavcodec decoder: packets with their start times in, frames out.

#include "CodecTable.h"

#include <functional>
#include <memory>
#include <optional>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace filters {

class AvDecoder {
public:
    using FrameOut = std::function<void(const AVFrame& frame, std::optional<REFERENCE_TIME> start)>;

    AvDecoder();
    ~AvDecoder();

    // False when libavcodec cannot open a decoder for the setup.
    bool open(const DecoderSetup& setup);
    bool is_open() const { return m_context != nullptr; }
    const AVCodecContext* context() const { return m_context.get(); }

    // Decodes one packet; every frame that comes out goes to `out`. A packet
    // the decoder refuses is dropped: the stream goes on from the next.
    void decode(const BYTE* data, std::size_t size, std::optional<REFERENCE_TIME> start, const FrameOut& out);
    // Hands out the frames the decoder still holds (end of stream).
    void drain(const FrameOut& out);
    // Forgets every held frame (a flush or seek).
    void flush();

private:
    struct ContextFree {
        void operator()(AVCodecContext* c) const;
    };
    struct FrameFree {
        void operator()(AVFrame* f) const;
    };
    struct PacketFree {
        void operator()(AVPacket* p) const;
    };
    void receive_frames(const FrameOut& out);

    std::unique_ptr<AVCodecContext, ContextFree> m_context;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
};

}
