#pragma once
// Spectrum levels and waveforms of two channels from 16-bit stereo samples,
// drawn by the chosen effect.

#include "playback/visualization/CFixedFFT.h"
#include "playback/visualization/CVisEffect.h"

#include <cstddef>
#include <mutex>
#include <span>

class CVisualization {
public:
    // The fewest sample bytes that give new levels.
    static constexpr std::size_t minimum_bytes = 4096;
    static constexpr int points = 2048;   // samples of one channel per transform

    CVisualization();

    HRESULT Setup(const RECT& rect) { return m_effect.Setup(rect); }
    HRESULT SetEffect(int choice) { return m_effect.SetEffect(choice); }
    const CVisEffect& Effect() const { return m_effect; }

    // Levels of interleaved stereo samples: false, and nothing computed, for
    // fewer than minimum_bytes; frames past the end of samples count as silence.
    bool ComputeLevels(std::span<const std::byte> samples, TimedLevel& levels);
    // New levels from the samples, drawn into dc; fewer bytes draw nothing.
    void Render(std::span<const std::byte> samples, HDC dc);

    // 0 for a power of 20 or less, else log(power / 20) x 15 within 0..255.
    static unsigned char LevelOf(std::uint64_t power);

private:
    std::mutex m_lock;       // guards the transform's work arrays
    CFixedFFT m_fft;
    CVisEffect m_effect;
};
