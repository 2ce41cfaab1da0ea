#pragma once
// A sound track exported as PCM: any range of frames, converted by
// libswresample into the layout an exporter was given.
//
// Like the video track it keeps its position: a read that starts where the
// last one ended decodes onward; any other start seeks and decodes from the
// packet at or before it, dropping what comes before the start.

#include "outside/quicktime/AvStreamDecoder.h"
#include "outside/quicktime/QuickTimeTypes.h"

#include <cstdint>
#include <string>
#include <vector>

struct SwrContext;

namespace qt {

// What the exporter delivers: interleaved samples of this many channels and
// bits (8 unsigned, 16, 24 or 32 signed) at this rate; wider samples
// big-endian unless little_endian.
struct SoundLayout {
    int channels;
    int bits;
    int rate;
    bool little_endian;
};

class AvSoundTrack {
public:
    AvSoundTrack(std::string path, int stream_index);
    ~AvSoundTrack();
    AvSoundTrack(const AvSoundTrack&) = delete;
    AvSoundTrack& operator=(const AvSoundTrack&) = delete;

    // Up to `frames` frames from `start` into `out` (fewer at the end of the
    // track, none past it). False when the file fails.
    bool read(const SoundLayout& layout, std::int64_t start, std::int64_t frames, std::vector<char>& out);

private:
    bool reposition(const SoundLayout& layout, std::int64_t start);
    bool decode_more(const SoundLayout& layout);
    bool convert(const SoundLayout& layout, const struct AVFrame& frame);
    void drop_front(std::size_t frames);
    void pack(const SoundLayout& layout, std::size_t frames, std::vector<char>& out) const;

    const std::string m_path;
    const int m_stream;
    AvStreamDecoder m_decoder;
    bool m_opened = false;
    SwrContext* m_swr = nullptr;      // made for m_made_for and the frame's input
    SoundLayout m_made_for{};
    std::vector<std::uint8_t> m_pending;   // converted, native-endian
    std::int64_t m_pending_start = -1;     // frame of m_pending's first; -1 unknown
    bool m_ended = false;
};

}
