#pragma once
// One loaded sound: six buffers sharing its samples, so that it can overlap
// itself six times, and the reader that refills a buffer the device lost.

#include "platform/base/Types.h"
#include "platform/com/ComPtr.h"
#include "platform/sound/DirectSound.h"
#include "toolkit/sound/WaveReader.h"

#include <array>
#include <memory>

class CSound {
public:
    static constexpr int buffer_count = 6;

    // Makes the buffers and fills them; out is set only on success.
    static HRESULT Create(IDirectSound8& directsound, std::unique_ptr<WaveReader> reader,
                          std::unique_ptr<CSound>& out);

    // Plays once from the start on a buffer that is not playing, or on a random
    // one when all six are.
    HRESULT Play(LONG attenuation);
    // Changes the volume of the buffers playing now.
    void ApplyVolume(LONG attenuation);

private:
    CSound(std::unique_ptr<WaveReader> reader, DWORD size) : m_size(size), m_reader(std::move(reader)) {}
    HRESULT Fill(IDirectSoundBuffer& buffer);
    IDirectSoundBuffer& ChooseBuffer();

    std::array<plat::ComPtr<IDirectSoundBuffer>, buffer_count> m_buffers;
    DWORD m_size;                        // bytes of sound data in each buffer
    std::unique_ptr<WaveReader> m_reader;
    DWORD m_flags = DSBCAPS_CTRLVOLUME;
};
