#pragma once
// A video track's samples and pictures: the sample table libavformat read,
// and the picture of any sample drawn into a graphics world.
//
// The decoder keeps its position: a picture at or after the last one shown,
// with no key frame between, is decoded onward from there, so a pass from
// start to end decodes every sample once; any other sample (a seek) decodes
// from the key frame at or before it. Asking for the shown sample again
// decodes nothing.

#include "outside/quicktime/AvStreamDecoder.h"
#include "outside/quicktime/GWorld.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SwsContext;

namespace qt {

// Times in the stream's time base, as libavformat gives its packets.
struct VideoSample {
    std::int64_t time;          // when it is shown
    std::int64_t decode_time;   // where the demultiplexer seeks to it
    bool key;
};

class AvVideoTrack {
public:
    AvVideoTrack(std::string path, int stream_index, std::vector<VideoSample> samples);
    ~AvVideoTrack();
    AvVideoTrack(const AvVideoTrack&) = delete;
    AvVideoTrack& operator=(const AvVideoTrack&) = delete;

    const std::vector<VideoSample>& samples() const { return m_samples; }

    // Draws the sample's picture over the whole world, in its pixel format.
    // False when the picture cannot be decoded or converted.
    bool draw(std::size_t sample, GWorldRecord& world);

private:
    const struct AVFrame* picture(std::size_t sample);
    std::size_t sample_of(std::int64_t time) const;
    std::size_t key_at_or_before(std::size_t sample) const;

    const std::string m_path;
    const int m_stream;
    const std::vector<VideoSample> m_samples;   // in the order they are shown
    AvStreamDecoder m_decoder;
    bool m_opened = false;
    std::optional<std::size_t> m_shown;         // the sample of the decoder's last picture
    const struct AVFrame* m_picture = nullptr;  // the decoder's, while m_shown holds
    SwsContext* m_sws = nullptr;                // remade when a size or format changes
};

}
