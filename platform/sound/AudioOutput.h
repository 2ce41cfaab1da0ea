#pragma once
// Where the mix goes: the sound card through SDL2, or nowhere (the silent
// output, which mixes only when asked and keeps what it mixed for tests).

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace plat {

class Mixer;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
};

class SdlAudioOutput final : public AudioOutput {
public:
    // Null when SDL has no audio device to open.
    static std::unique_ptr<SdlAudioOutput> open(Mixer& mixer);
    ~SdlAudioOutput() override;

private:
    explicit SdlAudioOutput(std::uint32_t device) : m_device(device) {}
    std::uint32_t m_device;
};

// How the silent output lets time pass: only when a test renders, or by
// itself at the output rate, as a sound card would (the streaming voices'
// clocks then run in real time, with no card).
enum class SilentPace { OnRequest, RealTime };

class SilentAudioOutput final : public AudioOutput {
public:
    SilentAudioOutput(Mixer& mixer, SilentPace pace);
    ~SilentAudioOutput() override;

    // Lets frames of time pass: mixes them and records the result. Only
    // for the OnRequest pace; the real-time pace keeps no recording.
    void render(std::size_t frames);
    // Interleaved stereo samples of everything rendered so far.
    const std::vector<std::int16_t>& recording() const { return m_recording; }
    void clear_recording() { m_recording.clear(); }

private:
    void keep_time(std::stop_token stop);

    Mixer& m_mixer;
    std::vector<std::int16_t> m_recording;
    std::jthread m_clock;   // last member: joined before the rest go
};

}
