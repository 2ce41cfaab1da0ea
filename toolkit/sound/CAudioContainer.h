#pragma once
// What every player of the audio server offers: a volume.

class CAudioContainer {
public:
    virtual ~CAudioContainer() = default;
    // volume: 0 (silent) to 100 (full); values outside are clamped.
    virtual void SetVolume(int volume) = 0;
};
