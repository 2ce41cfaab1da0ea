#include "toolkit/sound/CSound.h"

#include "platform/base/DebugLog.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// A device that never gives its buffers back must not hang the interface:
// half a second of tries, then the sound is skipped.
constexpr int restore_tries = 50;
constexpr auto restore_pause = std::chrono::milliseconds(10);

bool is_lost(IDirectSoundBuffer& buffer)
{
    DWORD status = 0;
    return SUCCEEDED(buffer.GetStatus(&status)) && (status & DSBSTATUS_BUFFERLOST);
}

bool restore(IDirectSoundBuffer& buffer)
{
    for (int i = 0; i < restore_tries; ++i) {
        if (buffer.Restore() != DSERR_BUFFERLOST)
            return true;
        std::this_thread::sleep_for(restore_pause);
    }
    plat::debug_log("sound: a lost buffer could not be restored");
    return false;
}

}

HRESULT CSound::Create(IDirectSound8& directsound, std::unique_ptr<WaveReader> reader, std::unique_ptr<CSound>& out)
{
    std::unique_ptr<CSound> sound(new CSound(std::move(reader), 0));
    sound->m_size = sound->m_reader->data_size();
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = sound->m_flags;
    desc.dwBufferBytes = sound->m_size;
    desc.lpwfxFormat = sound->m_reader->format();
    IDirectSoundBuffer* first = nullptr;
    HRESULT hr = directsound.CreateSoundBuffer(&desc, &first, nullptr);
    if (FAILED(hr))
        return hr;
    sound->m_buffers[0] = plat::ComPtr<IDirectSoundBuffer>::adopt(first);
    for (int i = 1; i < buffer_count; ++i) {
        IDirectSoundBuffer* copy = nullptr;
        if (hr = directsound.DuplicateSoundBuffer(first, &copy); FAILED(hr))
            return hr;
        sound->m_buffers[std::size_t(i)] = plat::ComPtr<IDirectSoundBuffer>::adopt(copy);
    }
    if (hr = sound->Fill(*first); FAILED(hr))
        return hr;
    out = std::move(sound);
    return S_OK;
}

HRESULT CSound::Fill(IDirectSoundBuffer& buffer)
{
    if (is_lost(buffer) && !restore(buffer))
        return DSERR_BUFFERLOST;
    void* bytes = nullptr;
    DWORD size = 0;
    if (HRESULT hr = buffer.Lock(0, m_size, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER); FAILED(hr))
        return hr;
    auto* out = static_cast<std::byte*>(bytes);
    const std::size_t got = m_reader->read_data(std::span(out, size));
    // What a short file does not supply plays as silence.
    const int silence = m_reader->format()->wBitsPerSample == 8 ? 128 : 0;
    std::memset(out + got, silence, size - got);
    return buffer.Unlock(bytes, size, nullptr, 0);
}

IDirectSoundBuffer& CSound::ChooseBuffer()
{
    for (auto& buffer : m_buffers) {
        DWORD status = 0;
        if (SUCCEEDED(buffer->GetStatus(&status)) && !(status & DSBSTATUS_PLAYING))
            return *buffer.get();
    }
    return *m_buffers[std::size_t(std::rand() % buffer_count)].get();
}

HRESULT CSound::Play(LONG attenuation)
{
    IDirectSoundBuffer& buffer = ChooseBuffer();
    if (is_lost(buffer)) {
        if (HRESULT hr = Fill(buffer); FAILED(hr))
            return hr;
    }
    if (m_flags & DSBCAPS_CTRLVOLUME)
        buffer.SetVolume(attenuation);
    if (m_flags & DSBCAPS_CTRLPAN)
        buffer.SetPan(0);
    // A buffer taken while it plays starts the sound over, not from where it was.
    buffer.SetCurrentPosition(0);
    return buffer.Play(0, 0, 0);
}

void CSound::ApplyVolume(LONG attenuation)
{
    for (auto& buffer : m_buffers) {
        DWORD status = 0;
        if (SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING))
            buffer->SetVolume(attenuation);
    }
}
