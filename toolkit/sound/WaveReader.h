#pragma once
// Reads a sound from a WAVE file, or from a "WAVE"/"WAV" resource of the
// program when no file has the name. Kept open after loading so that a lost
// buffer can be filled again.

#include "platform/base/Types.h"
#include "platform/sound/MmioFile.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

struct WAVEFORMATEX;

class WaveReader {
public:
    // Interface sounds are short; a bigger data chunk is a damaged or foreign file.
    static constexpr DWORD max_data_bytes = 16u << 20;

    // S_OK, or E_FAIL for a missing, damaged or foreign file.
    HRESULT open(std::u16string_view name);

    // The format as stored, with the extra bytes of non-PCM formats after it.
    WAVEFORMATEX* format();
    DWORD data_size() const { return m_data.cksize; }
    // Rewinds to the sound's data and reads at most into.size() bytes of it:
    // never past the data chunk, fewer when the file ends early.
    std::size_t read_data(std::span<std::byte> into);

private:
    HRESULT read_format();

    std::optional<plat::MmioFile> m_io;
    plat::MMCKINFO m_riff;
    plat::MMCKINFO m_data;
    std::vector<std::byte> m_format;
};
