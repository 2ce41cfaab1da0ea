#pragma once
// Windows Media Player's visualisation effect plug-in interface and the level
// record it draws from, with their published layouts, and the registry key
// under which effects are listed.

#include "platform/base/Bstr.h"
#include "platform/base/Geometry.h"
#include "platform/com/Unknown.h"
#include "platform/d3d9/DeviceContext.h"
#include "platform/window/Handles.h"

inline constexpr int SA_BUFFER_SIZE = 1024;

enum PlayerState { stop_state = 0, pause_state = 1, play_state = 2 };

// Per channel: 1024 spectrum levels (0..255) and 1024 waveform samples centred on 128.
struct TimedLevel {
    unsigned char frequency[2][SA_BUFFER_SIZE];
    unsigned char waveform[2][SA_BUFFER_SIZE];
    int state;                 // PlayerState
    std::int64_t timeStamp;
};
static_assert(sizeof(TimedLevel) == 4112);

// IWMPEffects::GetCapabilities
inline constexpr DWORD EFFECT_CANGOFULLSCREEN = 0x1;
inline constexpr DWORD EFFECT_HASPROPERTYPAGE = 0x2;
inline constexpr DWORD EFFECT_VARIABLEFREQSTEP = 0x4;
inline constexpr DWORD EFFECT_WINDOWEDONLY = 0x8;

inline constexpr IID IID_IWMPEffects = plat::make_guid("{D3984C13-C3CB-48E2-8BE5-5168340B4F35}");

struct IWMPEffects : IUnknown {
    static constexpr const IID& iid = IID_IWMPEffects;
    // Draws one picture of the levels into the device context, inside rect.
    virtual HRESULT Render(TimedLevel* levels, HDC dc, RECT* rect) = 0;
    virtual HRESULT MediaInfo(LONG channel_count, LONG sample_rate, BSTR title) = 0;
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT GetTitle(BSTR* title) = 0;
    virtual HRESULT GetPresetTitle(LONG preset, BSTR* title) = 0;
    virtual HRESULT GetPresetCount(LONG* count) = 0;
    virtual HRESULT SetCurrentPreset(LONG preset) = 0;
    virtual HRESULT GetCurrentPreset(LONG* preset) = 0;
    virtual HRESULT DisplayPropertyPage(HWND owner) = 0;
    virtual HRESULT GoFullscreen(BOOL full_screen) = 0;
    virtual HRESULT RenderFullScreen(TimedLevel* levels) = 0;

protected:
    ~IWMPEffects() = default;
};

// HKEY_LOCAL_MACHINE: one subkey per effect, whose "Properties" subkey holds
// the string value "classid", the effect's class id in braces.
inline constexpr char16_t wmp_effects_key[] = u"Software\\Microsoft\\MediaPlayer\\Objects\\Effects";
