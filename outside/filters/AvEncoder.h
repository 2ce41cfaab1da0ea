#pragma once
// One libavcodec encoder: frames in, packets out with their times in 100 ns.

#include "platform/dshow/DShowTypes.h"

#include <functional>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace filters {

class AvEncoder {
public:
    using PacketOut = std::function<void(const AVPacket& packet)>;
    using Configure = std::function<void(AVCodecContext& context)>;

    AvEncoder();
    ~AvEncoder();

    // Opens the named encoder (a libavcodec encoder name) with its header
    // kept apart (the multiplexer's type carries it); false when it cannot.
    bool open(const char* name, const Configure& configure);
    bool is_open() const { return m_context != nullptr; }
    AVCodecContext* context() const { return m_context.get(); }
    std::vector<BYTE> header() const;

    void encode(const AVFrame* frame, const PacketOut& out);
    // Hands out the packets the encoder still holds; it cannot take more after.
    void drain(const PacketOut& out);

private:
    struct ContextFree {
        void operator()(AVCodecContext* c) const;
    };
    struct PacketFree {
        void operator()(AVPacket* p) const;
    };
    void receive_packets(const PacketOut& out);

    std::unique_ptr<AVCodecContext, ContextFree> m_context;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    bool m_drained = false;
};

}
