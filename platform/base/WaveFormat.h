#pragma once
// The wave format header that media types and sound buffers share.

#include "platform/base/Types.h"

inline constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// Stored as in a WAVE file's "fmt " chunk: 18 bytes, then cbSize extra bytes.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
