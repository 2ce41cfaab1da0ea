#pragma once
// The DirectSound calls the interface sounds make: one device object, sound
// buffers that are filled once and played many times, duplicates that share
// their samples. Buffers are mixed by plat::Mixer and heard through whichever
// audio output the process opened (SDL2, or the silent one tests read).

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"
#include "platform/base/Types.h"
#include "platform/base/WaveFormat.h"
#include "platform/com/Unknown.h"
#include "platform/window/Handles.h"

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

inline constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
inline constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr DWORD DSBSTATUS_PLAYING = 0x1;
inline constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
inline constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;
inline constexpr DWORD DSSCL_PRIORITY = 2;
inline constexpr DWORD DSBSIZE_MIN = 4;
inline constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;
inline constexpr LONG DSBVOLUME_MIN = -10000;
inline constexpr LONG DSBVOLUME_MAX = 0;
inline constexpr LONG DSBPAN_LEFT = -10000;
inline constexpr LONG DSBPAN_RIGHT = 10000;

inline constexpr HRESULT DS_OK = S_OK;
inline constexpr HRESULT DS_NO_VIRTUALIZATION = hresult(0x0878000A);
inline constexpr HRESULT DSERR_BUFFERLOST = hresult(0x88780096);
inline constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DSERR_INVALIDCALL = hresult(0x88780032);
inline constexpr HRESULT DSERR_BADFORMAT = hresult(0x88780064);
inline constexpr HRESULT DSERR_NODRIVER = hresult(0x88780078);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = hresult(0x8878001E);

inline constexpr IID IID_IDirectSoundBuffer = plat::make_guid("{279AFA85-4981-11CE-A521-0020AF0BE560}");
inline constexpr IID IID_IDirectSound8 = plat::make_guid("{C50A7E93-F395-4834-9EF6-7FA99DE50966}");

struct IDirectSoundBuffer : IUnknown {
    static constexpr const IID& iid = IID_IDirectSoundBuffer;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Restore() = 0;
    // One region only: the buffer does not wrap, so the second pointer is always null.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* first_bytes, void** second,
                         DWORD* second_bytes, DWORD flags) = 0;
    virtual HRESULT Unlock(void* first, DWORD first_bytes, void* second, DWORD second_bytes) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetCurrentPosition(DWORD offset) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
};

struct IDirectSound8 : IUnknown {
    static constexpr const IID& iid = IID_IDirectSound8;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) = 0;
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
};

// Opens the process's audio output on first use: SDL2's device, or the silent
// output when no device opens, so interface sounds never stop the program.
HRESULT DirectSoundCreate8(const GUID* device, IDirectSound8** out, IUnknown* outer);
