#pragma once
// A player of short interface sounds: up to seven numbered sounds, each able
// to overlap itself six times.

#include "platform/base/Types.h"
#include "platform/com/ComPtr.h"
#include "toolkit/sound/CAudioContainer.h"

#include <array>
#include <memory>
#include <string_view>

class CSound;
struct IDirectSound8;

class CInstantAudioRender final : public CAudioContainer {
public:
    static constexpr int max_sounds = 7;

    CInstantAudioRender(const plat::ComPtr<IDirectSound8>& directsound, int volume, int layer);
    ~CInstantAudioRender() override;

    void SetVolume(int volume) override;
    // The new sound's number (1 for the first), or -1 when the load fails;
    // a failed load does not use up a number.
    int LoadSound(std::u16string_view name);
    // number: 1 to 7, as LoadSound gave it.
    HRESULT Play(int number);

    int volume() const { return m_volume; }
    LONG attenuation() const { return m_attenuation; }
    int layer() const { return m_layer; }

private:
    int m_volume = 100;
    LONG m_attenuation = 0;   // hundredths of a decibel, from m_volume
    int m_layer;              // kept for the server's bookkeeping; mixing does not read it
    std::array<std::unique_ptr<CSound>, max_sounds + 1> m_sounds;   // slot 0 stays empty
    int m_sound_count = 0;
    const plat::ComPtr<IDirectSound8>& m_directsound;   // the server's holder
};
