#pragma once
// The effect the visualisation draws with, chosen by a choice number:
// 0 changes nothing but the remembered choice; 1 lets the effect go (nothing
// more is drawn); (i + 1) x 1000 + k is preset k of listed effect i. The
// default is 1000, the first effect's first preset.

#include "playback/visualization/CEnumEffects.h"

#include "platform/base/Geometry.h"
#include "platform/com/ComPtr.h"
#include "platform/wmp/Effects.h"

#include <mutex>

struct EffectPreset {
    int choice;             // (effect number) x 1000 + preset
    std::u16string title;
};

// One listed effect as offered for choosing; empty when it could not be created again.
struct EffectTableEntry {
    int number;             // 1-based
    std::u16string title;
    LONG preset_count{0};
    std::vector<EffectPreset> presets;
};

inline constexpr int default_effect_choice = 1000;
inline constexpr int no_effect_choice = 1;

class CVisEffect {
public:
    // Lists the effects, builds the table and makes the default choice. COM is
    // initialised for the length of the call.
    HRESULT Setup(const RECT& rect);
    // E_FAIL, with no effect loaded, for a choice past the list (or any choice
    // when nothing is listed) and for an effect that cannot be created.
    HRESULT SetEffect(int choice);
    // Draws the levels with the loaded effect into dc; nothing without one.
    void Render(const TimedLevel& levels, HDC dc);

    const std::vector<EffectTableEntry>& Table() const { return m_table; }
    const CEnumEffects& Effects() const { return m_effects; }
    int Choice() const;
    // The listed effect loaded and its preset; -1 when none is.
    int CurrentEffect() const;
    LONG CurrentPreset() const;

private:
    void build_table();
    void let_effect_go();   // under m_lock

    RECT m_rect{0, 0, 0, 0};
    CEnumEffects m_effects;               // filled by Setup, then read only
    std::vector<EffectTableEntry> m_table;

    mutable std::mutex m_lock;            // guards the fields below: chosen on one thread, drawn on another
    plat::ComPtr<IWMPEffects> m_effect;
    int m_current{-1};                    // index into the list of the loaded effect
    LONG m_preset{0};
    int m_choice{default_effect_choice};
};
