#include "CVisualization.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr int channels = 2;
constexpr int waveform_start = 512;   // the middle 1024 samples
constexpr std::uint64_t quietest_power = 20;

std::int16_t sample_at(std::span<const std::byte> samples, int frame, int channel)
{
    const std::size_t at = (std::size_t(frame) * channels + channel) * sizeof(std::int16_t);
    if (at + sizeof(std::int16_t) > samples.size()) return 0;
    std::int16_t value;
    std::memcpy(&value, samples.data() + at, sizeof value);
    return value;
}

}

CVisualization::CVisualization() { m_fft.Init(points); }

unsigned char CVisualization::LevelOf(std::uint64_t power)
{
    if (power <= quietest_power) return 0;
    const double level = std::log(double(power) / double(quietest_power)) * 15.0;
    return static_cast<unsigned char>(std::clamp(level, 0.0, 255.0));
}

bool CVisualization::ComputeLevels(std::span<const std::byte> samples, TimedLevel& levels)
{
    if (samples.size() < minimum_bytes) return false;
    std::scoped_lock hold(m_lock);
    std::array<std::int16_t, points> re, im;
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < points; ++i) re[i] = sample_at(samples, i, c);
        for (int k = 0; k < SA_BUFFER_SIZE; ++k) {
            const auto high_byte = static_cast<std::uint8_t>(std::uint16_t(re[waveform_start + k]) >> 8);
            levels.waveform[c][k] = static_cast<unsigned char>(high_byte - 128);
        }
        im.fill(0);
        m_fft.Transform(re, im);
        for (int j = 0; j < SA_BUFFER_SIZE; ++j) {
            const std::uint64_t power = std::uint64_t(std::int64_t(re[j]) * re[j]) + std::uint64_t(std::int64_t(im[j]) * im[j]);
            levels.frequency[c][j] = LevelOf(power);
        }
    }
    levels.state = play_state;
    levels.timeStamp = std::int64_t(samples.size());
    return true;
}

void CVisualization::Render(std::span<const std::byte> samples, HDC dc)
{
    TimedLevel levels{};
    if (ComputeLevels(samples, levels)) m_effect.Render(levels, dc);
}
