#include "toolkit/sound/CAudioServer.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"
#include "platform/sound/DirectSound.h"
#include "toolkit/sound/CInstantAudioRender.h"

#include <new>

namespace {

constexpr int mixing_layers = 5;

}

CAudioServer::CAudioServer() = default;
CAudioServer::~CAudioServer() = default;

CAudioServer& CAudioServer::Instance()
{
    static CAudioServer server;
    return server;
}

int CAudioServer::Init(HWND window)
{
    if (!window)
        return 1;
    m_directsound = nullptr;
    IDirectSound8* directsound = nullptr;
    if (SUCCEEDED(DirectSoundCreate8(nullptr, &directsound, nullptr))) {
        m_directsound = plat::ComPtr<IDirectSound8>::adopt(directsound);
        m_directsound->SetCooperativeLevel(window, DSSCL_PRIORITY);
    }
    return 0;
}

HRESULT CAudioServer::CreateRender(CInstantAudioRender** out, int layer)
try {
    if (layer < 0 || layer >= mixing_layers) {
        plat::debug_log("Warning!, audioserver cannot mix this layer");
        layer = 0;
    }
    m_players.push_back(std::make_unique<CInstantAudioRender>(m_directsound, m_volume, layer));
    *out = m_players.back().get();
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_FAIL;
}
