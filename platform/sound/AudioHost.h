#pragma once
// The process's one mixer and its output, as the sound card is one per process.

namespace plat {

class Mixer;
class SilentAudioOutput;
enum class SilentPace;

Mixer& audio_mixer();
// Opens SDL2's device when no output is open yet; when that fails, the silent
// one keeping real time, so what plays on a sound clock still moves on.
void open_audio_output();
// Replaces the output with the silent one (tests; a program told to stay
// quiet). Time passes only when the test renders unless asked for RealTime.
SilentAudioOutput& use_silent_audio();
SilentAudioOutput& use_silent_audio(SilentPace pace);

}
