#pragma once
// Decoded sound into interleaved 16-bit PCM at the output pin's rate and
// number of channels.

#include "platform/base/Types.h"

#include <vector>

struct AVFrame;
struct SwrContext;

namespace filters {

class SoundConverter {
public:
    SoundConverter(int sample_rate, int channels);
    ~SoundConverter();
    SoundConverter(const SoundConverter&) = delete;
    SoundConverter& operator=(const SoundConverter&) = delete;

    // The frame's samples, converted; empty when it cannot be converted.
    std::vector<BYTE> convert(const AVFrame& frame);
    // What the resampler still holds (end of stream).
    std::vector<BYTE> drain();

private:
    bool set_up(const AVFrame& frame);
    std::vector<BYTE> run(const uint8_t* const* input, int samples);

    const int m_rate, m_channels;
    SwrContext* m_swr = nullptr;
    int m_in_rate = 0, m_in_format = -1, m_in_channels = 0;   // what m_swr was made for
};

}
