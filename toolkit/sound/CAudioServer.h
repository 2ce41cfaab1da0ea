#pragma once
// The process's sound server: owns the DirectSound device and every player it
// made. Created on first use, it lives as long as the process.

#include "platform/base/Types.h"
#include "platform/com/ComPtr.h"
#include "platform/window/Handles.h"

#include <memory>
#include <vector>

class CInstantAudioRender;
struct IDirectSound8;

class CAudioServer {
public:
    static CAudioServer& Instance();

    // 1 for a null window (no device); otherwise opens the device and returns 0.
    int Init(HWND window);
    // A new player on the given mixing layer (0 to 4; others fall back to 0).
    HRESULT CreateRender(CInstantAudioRender** out, int layer);

    int volume() const { return m_volume; }

private:
    CAudioServer();
    ~CAudioServer();

    int m_volume = 100;
    plat::ComPtr<IDirectSound8> m_directsound;
    std::vector<std::unique_ptr<CInstantAudioRender>> m_players;   // in creation order
};
