#include "toolkit/sound/CInstantAudioRender.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"
#include "platform/base/Utf.h"
#include "toolkit/sound/CSound.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

LONG attenuation_for(int volume)
{
    if (volume <= 0)
        return DSBVOLUME_MIN;
    return static_cast<LONG>((std::log10(double(volume)) - 2.0) * 2000.0);
}

}

CInstantAudioRender::CInstantAudioRender(const plat::ComPtr<IDirectSound8>& directsound, int volume, int layer)
    : m_layer(layer), m_directsound(directsound)
{
    SetVolume(volume);
}

CInstantAudioRender::~CInstantAudioRender() = default;

void CInstantAudioRender::SetVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    m_attenuation = attenuation_for(m_volume);
    for (const auto& sound : m_sounds)
        if (sound)
            sound->ApplyVolume(m_attenuation);
}

int CInstantAudioRender::LoadSound(std::u16string_view name)
{
    if (m_sound_count >= max_sounds)
        return -1;
    IDirectSound8* directsound = m_directsound.get();
    HRESULT hr = CO_E_NOTINITIALIZED;
    auto reader = std::make_unique<WaveReader>();
    std::unique_ptr<CSound> sound;
    if (directsound && SUCCEEDED(hr = reader->open(name)))
        hr = CSound::Create(*directsound, std::move(reader), sound);
    if (FAILED(hr)) {
        plat::debug_log("sound: cannot load " + plat::utf16_to_utf8(name) + ": " + std::to_string(hr));
        return -1;
    }
    m_sounds[std::size_t(++m_sound_count)] = std::move(sound);
    return m_sound_count;
}

HRESULT CInstantAudioRender::Play(int number)
{
    if (number < 1 || number > max_sounds)
        return E_FAIL;
    CSound* sound = m_sounds[std::size_t(number)].get();
    if (!sound)
        return CO_E_NOTINITIALIZED;
    return sound->Play(m_attenuation);
}
