#include "platform/sound/AudioOutput.h"

#include "platform/base/DebugLog.h"
#include "platform/sound/Mixer.h"
#include "platform/sync/Thread.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>
#include <string>

namespace plat {

namespace {

void SDLCALL fill_from_mixer(void* mixer, Uint8* stream, int len) noexcept
{
    static_cast<Mixer*>(mixer)->mix(std::span(reinterpret_cast<std::int16_t*>(stream), std::size_t(len) / 2));
}

// SDL keeps state for every thread that calls it (its error text) and frees it
// only for threads it made: the device is opened and closed by whatever thread
// plays first or ends the process, and that thread must leave nothing behind.
void free_sdl_state_at_thread_exit() { run_at_thread_exit(SDL_TLSCleanup); }

}

std::unique_ptr<SdlAudioOutput> SdlAudioOutput::open(Mixer& mixer)
{
    free_sdl_state_at_thread_exit();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        debug_log(std::string("sound: no audio: ") + SDL_GetError());
        return nullptr;
    }
    SDL_AudioSpec want{};
    want.freq = mix_rate;
    want.format = AUDIO_S16SYS;
    want.channels = mix_channels;
    want.samples = 1024;
    want.callback = fill_from_mixer;
    want.userdata = &mixer;
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        debug_log(std::string("sound: no audio device: ") + SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_PauseAudioDevice(device, 0);
    return std::unique_ptr<SdlAudioOutput>(new SdlAudioOutput(device));
}

SdlAudioOutput::~SdlAudioOutput()
{
    free_sdl_state_at_thread_exit();
    // Closing waits for the callback to return, so the mixer outlives every call.
    SDL_CloseAudioDevice(m_device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SilentAudioOutput::SilentAudioOutput(Mixer& mixer, SilentPace pace) : m_mixer(mixer)
{
    if (pace == SilentPace::RealTime)
        m_clock = std::jthread([this](std::stop_token stop) { keep_time(stop); });
}

SilentAudioOutput::~SilentAudioOutput() = default;

// Mixes in steps of 10 ms, as many as the steady clock says have passed, so
// a late wake-up catches up rather than slowing the voices' clocks down.
void SilentAudioOutput::keep_time(std::stop_token stop)
{
    using namespace std::chrono;
    constexpr std::size_t step_frames = mix_rate / 100;
    std::vector<std::int16_t> scratch(step_frames * mix_channels);
    const auto began = steady_clock::now();
    std::uint64_t mixed = 0;
    std::mutex idle;
    std::condition_variable_any wake;
    while (!stop.stop_requested()) {
        const auto due = std::uint64_t(duration_cast<microseconds>(steady_clock::now() - began).count()) * mix_rate / 1000000;
        for (; mixed + step_frames <= due; mixed += step_frames)
            m_mixer.mix(scratch);
        std::unique_lock hold(idle);
        wake.wait_for(hold, stop, milliseconds(10), [] { return false; });
    }
}

void SilentAudioOutput::render(std::size_t frames)
{
    const std::size_t at = m_recording.size();
    m_recording.resize(at + frames * mix_channels);
    m_mixer.mix(std::span(m_recording).subspan(at));
}

}
