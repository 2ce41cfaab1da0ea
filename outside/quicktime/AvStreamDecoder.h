#pragma once
// One stream of a file, demultiplexed by libavformat (the file's other
// streams are skipped) and decoded by libavcodec, frame by frame.

#include <cstdint>
#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace qt {

class AvStreamDecoder {
public:
    AvStreamDecoder();
    ~AvStreamDecoder();
    AvStreamDecoder(const AvStreamDecoder&) = delete;
    AvStreamDecoder& operator=(const AvStreamDecoder&) = delete;

    // False when the file, the stream or its decoder cannot be opened.
    bool open(const std::string& path, int stream_index);
    const AVStream& stream() const;

    // Goes to the key frame at or before the time (in the stream's time base)
    // and forgets what the decoder held. False when libavformat cannot seek.
    bool seek(std::int64_t timestamp);
    // The next decoded frame, valid until the next call; null at the end of
    // the stream or when the file fails.
    const AVFrame* next();

private:
    struct FormatClose {
        void operator()(AVFormatContext* c) const;
    };
    struct CodecFree {
        void operator()(AVCodecContext* c) const;
    };
    struct FrameFree {
        void operator()(AVFrame* f) const;
    };
    struct PacketFree {
        void operator()(AVPacket* p) const;
    };
    bool feed();

    std::unique_ptr<AVFormatContext, FormatClose> m_format;
    std::unique_ptr<AVCodecContext, CodecFree> m_codec;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    int m_index = -1;
    bool m_drained = false;   // the end of the file was sent to the decoder
};

}
