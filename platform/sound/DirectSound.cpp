// The device and buffer objects. A buffer holds a voice of the process mixer;
// Lock hands out a private copy that Unlock writes back under the mixer's
// lock, so filling never races the output thread.

#include "platform/sound/DirectSound.h"

#include "platform/com/ComObject.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/Mixer.h"

#include <cstddef>
#include <new>
#include <vector>

namespace {

using plat::Mixer;

bool can_mix(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 100 &&
           f.nSamplesPerSec <= 200000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

class SoundBuffer final : public plat::ComObject<IDirectSoundBuffer> {
public:
    SoundBuffer(Mixer& mixer, Mixer::VoicePtr voice, DWORD flags)
        : m_mixer(mixer), m_voice(std::move(voice)), m_flags(flags) {}

    const plat::Voice& voice() const { return *m_voice; }
    DWORD flags() const { return m_flags; }

    HRESULT GetStatus(DWORD* status) noexcept override
    {
        if (!status)
            return DSERR_INVALIDPARAM;
        *status = m_mixer.status(*m_voice);
        return DS_OK;
    }
    HRESULT Restore() noexcept override { return m_mixer.restore(*m_voice); }

    HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* first_bytes, void** second, DWORD* second_bytes,
                 DWORD flags) noexcept override try {
        if (!first || !first_bytes)
            return DSERR_INVALIDPARAM;
        if (m_locked)
            return DSERR_INVALIDCALL;
        const std::size_t size = m_mixer.size(*m_voice);
        if (flags & DSBLOCK_ENTIREBUFFER) {
            offset = 0;
            bytes = DWORD(size);
        }
        if (bytes == 0 || offset > size || bytes > size - offset)
            return DSERR_INVALIDPARAM;
        m_staging.assign(bytes, std::byte{0});
        if (HRESULT hr = m_mixer.read(*m_voice, offset, m_staging); FAILED(hr))
            return hr;
        m_locked = true;
        m_lock_offset = offset;
        *first = m_staging.data();
        *first_bytes = bytes;
        if (second)
            *second = nullptr;
        if (second_bytes)
            *second_bytes = 0;
        return DS_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    HRESULT Unlock(void* first, DWORD first_bytes, void*, DWORD) noexcept override
    {
        if (!m_locked || first != m_staging.data() || first_bytes > m_staging.size())
            return DSERR_INVALIDPARAM;
        m_locked = false;
        return m_mixer.write(*m_voice, m_lock_offset, std::span(m_staging).first(first_bytes));
    }

    HRESULT SetVolume(LONG volume) noexcept override
    {
        HRESULT hr = check_control(DSBCAPS_CTRLVOLUME, volume, DSBVOLUME_MIN, DSBVOLUME_MAX);
        if (SUCCEEDED(hr))
            m_mixer.set_volume(*m_voice, volume);
        return hr;
    }
    HRESULT SetPan(LONG pan) noexcept override
    {
        HRESULT hr = check_control(DSBCAPS_CTRLPAN, pan, DSBPAN_LEFT, DSBPAN_RIGHT);
        if (SUCCEEDED(hr))
            m_mixer.set_pan(*m_voice, pan);
        return hr;
    }
    HRESULT SetCurrentPosition(DWORD offset) noexcept override { return m_mixer.set_position(*m_voice, offset); }
    HRESULT Play(DWORD, DWORD, DWORD) noexcept override { return m_mixer.play(*m_voice); }

private:
    // A control works only when the buffer was created with it, and within its range.
    HRESULT check_control(DWORD control, LONG value, LONG low, LONG high) const
    {
        if (!(m_flags & control))
            return DSERR_CONTROLUNAVAIL;
        return value < low || value > high ? DSERR_INVALIDPARAM : DS_OK;
    }

    Mixer& m_mixer;
    Mixer::VoicePtr m_voice;
    DWORD m_flags;
    std::vector<std::byte> m_staging;   // the region a Lock handed out
    bool m_locked = false;
    DWORD m_lock_offset = 0;
};

class DirectSoundDevice final : public plat::ComObject<IDirectSound8> {
public:
    explicit DirectSoundDevice(Mixer& mixer) : m_mixer(mixer) {}

    HRESULT SetCooperativeLevel(HWND window, DWORD) noexcept override
    {
        return window ? DS_OK : DSERR_INVALIDPARAM;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) noexcept override
    try {
        if (!buffer || !desc || outer || desc->dwSize != sizeof(DSBUFFERDESC) || !desc->lpwfxFormat)
            return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX)
            return DSERR_INVALIDPARAM;
        if (!can_mix(*desc->lpwfxFormat))
            return DSERR_BADFORMAT;
        *buffer = new SoundBuffer(m_mixer, m_mixer.add_voice(*desc->lpwfxFormat, desc->dwBufferBytes),
                                  desc->dwFlags);
        return DS_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) noexcept override
    try {
        auto* ours = dynamic_cast<SoundBuffer*>(original);
        if (!ours || !duplicate)
            return DSERR_INVALIDPARAM;
        *duplicate = new SoundBuffer(m_mixer, m_mixer.duplicate(ours->voice()), ours->flags());
        return DS_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

private:
    Mixer& m_mixer;
};

}

HRESULT DirectSoundCreate8(const GUID*, IDirectSound8** out, IUnknown* outer)
try {
    if (!out || outer)
        return DSERR_INVALIDPARAM;
    plat::open_audio_output();
    *out = new DirectSoundDevice(plat::audio_mixer());
    return DS_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
