#pragma once
// The visualisation effects installed: every class listed under the effects
// key of HKLM that can be created and answers for its capabilities, preset
// count and title.

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

#include <string>
#include <vector>

struct EffectInfo {
    CLSID clsid;
    DWORD capabilities;
    LONG preset_count;
    std::u16string title;
};

class CEnumEffects {
public:
    // Reads the registry once; a filled list is kept. E_FAIL, with an empty
    // list, when the effects key is missing or lists nothing. COM must be
    // initialised on the calling thread.
    HRESULT Enumerate();

    const std::vector<EffectInfo>& Effects() const { return m_effects; }
    LONG TotalPresets() const { return m_total_presets; }

private:
    std::vector<EffectInfo> m_effects;
    LONG m_total_presets{0};
};
