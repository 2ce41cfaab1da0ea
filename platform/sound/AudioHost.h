#pragma once
// The process's one mixer and its output, as the sound card is one per process.

namespace plat {

class Mixer;
class SilentAudioOutput;

Mixer& audio_mixer();
// Opens SDL2's device when no output is open yet; the silent one when that fails.
void open_audio_output();
// Replaces the output with the silent one (tests; a program told to stay quiet).
SilentAudioOutput& use_silent_audio();

}
