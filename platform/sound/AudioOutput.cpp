#include "platform/sound/AudioOutput.h"

#include "platform/base/DebugLog.h"
#include "platform/sound/Mixer.h"

#include <SDL.h>

#include <span>
#include <string>

namespace plat {

namespace {

void SDLCALL fill_from_mixer(void* mixer, Uint8* stream, int len) noexcept
{
    static_cast<Mixer*>(mixer)->mix(std::span(reinterpret_cast<std::int16_t*>(stream), std::size_t(len) / 2));
}

}

std::unique_ptr<SdlAudioOutput> SdlAudioOutput::open(Mixer& mixer)
{
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
    // Closing waits for the callback to return, so the mixer outlives every call.
    SDL_CloseAudioDevice(m_device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SilentAudioOutput::render(std::size_t frames)
{
    const std::size_t at = m_recording.size();
    m_recording.resize(at + frames * mix_channels);
    m_mixer.mix(std::span(m_recording).subspan(at));
}

}
