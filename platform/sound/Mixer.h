#pragma once
// Mixes every playing sound buffer into 16-bit stereo at one output rate.
// The output calls mix() from its own thread; buffer calls come from the
// program's threads; one lock keeps both apart.

#include "platform/base/Types.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

struct WAVEFORMATEX;

namespace plat {

inline constexpr int mix_rate = 44100;
inline constexpr int mix_channels = 2;

// The shared samples of a buffer and its duplicates.
struct SampleData {
    WORD channels = 1;
    WORD bits = 16;
    DWORD rate = mix_rate;
    std::vector<std::byte> bytes;
};

struct Voice;

class Mixer {
public:
    using VoicePtr = std::shared_ptr<Voice>;

    // The format must already be one mix() reads (PCM, 8 or 16 bits, 1 or 2 channels).
    VoicePtr add_voice(const WAVEFORMATEX& format, std::size_t bytes);
    VoicePtr duplicate(const Voice& original);

    std::size_t size(const Voice& v) const;
    DWORD status(const Voice& v) const;
    HRESULT restore(Voice& v);
    HRESULT read(const Voice& v, std::size_t offset, std::span<std::byte> into) const;
    HRESULT write(Voice& v, std::size_t offset, std::span<const std::byte> from);
    void set_volume(Voice& v, LONG hundredths_db);
    void set_pan(Voice& v, LONG pan);
    HRESULT set_position(Voice& v, std::size_t offset);
    HRESULT play(Voice& v);

    // A streaming voice: it plays what its owner queues, in order, and waits
    // (silent) when the queue runs dry. It starts halted.
    VoicePtr add_stream(const WAVEFORMATEX& format);
    HRESULT queue(Voice& v, std::span<const std::byte> bytes);
    // Halts (keeping the queue) or drops what is queued.
    void halt(Voice& v);
    void discard(Voice& v);
    std::size_t queued_bytes(const Voice& v) const;
    // Source frames of a stream that went out since it was made: its clock.
    std::uint64_t played_frames(const Voice& v) const;

    // Adds the playing buffers into out (interleaved stereo frames), which it clears first.
    void mix(std::span<std::int16_t> out);

    // As when the device is taken away: every buffer stops and is lost, and
    // the next refusals Restore calls on each fail (-1: they never succeed).
    void lose_all(int refusals);

private:
    mutable std::mutex m_lock;
    std::vector<std::weak_ptr<Voice>> m_voices;   // guarded by m_lock
};

}
