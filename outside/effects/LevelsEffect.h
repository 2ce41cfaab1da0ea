#pragma once
// The built-in visualisation effect: preset 0 draws the spectrum as bars,
// preset 1 the waveform of both channels, with cairo into the device context
// it is given.

#include "platform/com/ComObject.h"
#include "platform/wmp/Effects.h"

#include <atomic>

namespace effects {

inline constexpr CLSID CLSID_LevelsEffect = plat::make_guid("{6F3C2A9E-5B7D-4E21-9C84-2D1F0A6B3E57}");

class LevelsEffect final : public plat::ComObject<IWMPEffects> {
public:
    HRESULT Render(TimedLevel* levels, HDC dc, RECT* rect) override;
    HRESULT MediaInfo(LONG channel_count, LONG sample_rate, BSTR title) override;
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT GetTitle(BSTR* title) override;
    HRESULT GetPresetTitle(LONG preset, BSTR* title) override;
    HRESULT GetPresetCount(LONG* count) override;
    HRESULT SetCurrentPreset(LONG preset) override;
    HRESULT GetCurrentPreset(LONG* preset) override;
    HRESULT DisplayPropertyPage(HWND) override { return E_NOTIMPL; }
    HRESULT GoFullscreen(BOOL) override { return E_NOTIMPL; }
    HRESULT RenderFullScreen(TimedLevel*) override { return E_NOTIMPL; }

private:
    std::atomic<LONG> m_preset{0};   // chosen on one thread, drawn on another
};

// Adds (or removes) the effect's entry under the effects key of HKLM.
// Win32 error codes of the registry.
LONG register_effect();
LONG unregister_effect();

}
