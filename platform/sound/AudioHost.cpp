#include "platform/sound/AudioHost.h"

#include "platform/sound/AudioOutput.h"
#include "platform/sound/Mixer.h"

#include <memory>
#include <mutex>

namespace plat {

namespace {

struct AudioHost {
    Mixer mixer;
    std::mutex lock;
    std::unique_ptr<AudioOutput> output;   // guarded by lock; after mixer: closed before it dies
};

AudioHost& host()
{
    static AudioHost h;
    return h;
}

}

Mixer& audio_mixer() { return host().mixer; }

void open_audio_output()
{
    AudioHost& h = host();
    std::scoped_lock hold(h.lock);
    if (h.output)
        return;
    h.output = SdlAudioOutput::open(h.mixer);
    if (!h.output)
        h.output = std::make_unique<SilentAudioOutput>(h.mixer, SilentPace::RealTime);
}

SilentAudioOutput& use_silent_audio() { return use_silent_audio(SilentPace::OnRequest); }

SilentAudioOutput& use_silent_audio(SilentPace pace)
{
    AudioHost& h = host();
    std::scoped_lock hold(h.lock);
    auto silent = std::make_unique<SilentAudioOutput>(h.mixer, pace);
    SilentAudioOutput& out = *silent;
    h.output = std::move(silent);
    return out;
}

}
