#include "CVisEffect.h"

#include "platform/base/Bstr.h"
#include "platform/com/Com.h"
#include "platform/com/ComScope.h"

namespace {

constexpr int choices_per_effect = 1000;

plat::ComPtr<IWMPEffects> create(const CLSID& clsid)
{
    plat::ComPtr<IWMPEffects> effect;
    CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IWMPEffects, effect.put_void());
    return effect;
}

std::u16string take(BSTR text)
{
    std::u16string kept(text ? text : u"", text ? SysStringLen(text) : 0);
    SysFreeString(text);
    return kept;
}

}

HRESULT CVisEffect::Setup(const RECT& rect)
{
    const plat::ComScope com;
    m_rect = rect;
    m_effects.Enumerate();
    build_table();
    return SetEffect(default_effect_choice);
}

void CVisEffect::build_table()
{
    m_table.clear();
    const auto& listed = m_effects.Effects();
    for (std::size_t i = 0; i < listed.size(); ++i) {
        EffectTableEntry entry{int(i) + 1, {}, 0, {}};
        if (const auto effect = create(listed[i].clsid)) {
            entry.title = listed[i].title;
            entry.preset_count = listed[i].preset_count;
            for (LONG k = 0; k < entry.preset_count; ++k) {
                BSTR title = nullptr;
                effect->GetPresetTitle(k, &title);
                entry.presets.push_back({entry.number * choices_per_effect + int(k), take(title)});
            }
        }
        m_table.push_back(std::move(entry));
    }
}

HRESULT CVisEffect::SetEffect(int choice)
{
    const plat::ComScope com;
    std::scoped_lock hold(m_lock);
    m_choice = choice;
    if (choice == 0) return S_OK;
    if (choice == no_effect_choice) {
        let_effect_go();
        return S_OK;
    }
    const int index = choice / choices_per_effect - 1;
    const LONG preset = choice % choices_per_effect;
    const auto& listed = m_effects.Effects();
    if (choice < 0 || index < 0 || std::size_t(index) >= listed.size()) {
        let_effect_go();
        return E_FAIL;
    }
    if (!m_effect || m_current < 0 || listed[m_current].clsid != listed[index].clsid) {
        let_effect_go();
        m_effect = create(listed[index].clsid);
        if (!m_effect) return E_FAIL;
    }
    m_current = index;
    m_preset = preset;
    m_effect->SetCurrentPreset(preset);
    return S_OK;
}

void CVisEffect::let_effect_go()
{
    m_effect.reset();
    m_current = -1;
    m_preset = 0;
}

void CVisEffect::Render(const TimedLevel& levels, HDC dc)
{
    plat::ComPtr<IWMPEffects> effect;
    TimedLevel copy;
    {
        std::scoped_lock hold(m_lock);
        effect = m_effect;
        copy = levels;
    }
    RECT rect = m_rect;
    if (effect) effect->Render(&copy, dc, &rect);
}

int CVisEffect::Choice() const
{
    std::scoped_lock hold(m_lock);
    return m_choice;
}

int CVisEffect::CurrentEffect() const
{
    std::scoped_lock hold(m_lock);
    return m_current;
}

LONG CVisEffect::CurrentPreset() const
{
    std::scoped_lock hold(m_lock);
    return m_current < 0 ? -1 : m_preset;
}
