#include "CEnumEffects.h"

#include "platform/base/Bstr.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/registry/Registry.h"
#include "platform/wmp/Effects.h"

#include <optional>

namespace {

constexpr DWORD longest_name = 256;
constexpr DWORD longest_value_bytes = 256;

class OpenKey {
public:
    OpenKey(HKEY parent, const std::u16string& path)
    {
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    }
    ~OpenKey()
    {
        if (m_key) RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return m_key; }

private:
    HKEY m_key{nullptr};
};

std::optional<CLSID> listed_class(const std::u16string& entry)
{
    const OpenKey properties(HKEY_LOCAL_MACHINE, std::u16string(wmp_effects_key) + u"\\" + entry + u"\\Properties");
    if (!properties.get()) return std::nullopt;
    char16_t text[longest_value_bytes / 2 + 1] = {};
    DWORD size = longest_value_bytes;
    DWORD type = 0;
    if (RegQueryValueExW(properties.get(), u"classid", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return plat::parse_guid(plat::utf16_to_utf8(std::u16string_view(text)));   // up to the terminator
}

std::optional<EffectInfo> describe(const CLSID& clsid)
{
    plat::ComPtr<IWMPEffects> effect;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IWMPEffects, effect.put_void()))) return std::nullopt;
    EffectInfo info{clsid, 0, 0, {}};
    BSTR title = nullptr;
    if (FAILED(effect->GetCapabilities(&info.capabilities)) || FAILED(effect->GetPresetCount(&info.preset_count)) ||
        FAILED(effect->GetTitle(&title)))
        return std::nullopt;
    info.title.assign(title ? title : u"", title ? SysStringLen(title) : 0);
    SysFreeString(title);
    return info;
}

}

HRESULT CEnumEffects::Enumerate()
{
    if (!m_effects.empty()) return S_OK;
    const OpenKey effects(HKEY_LOCAL_MACHINE, wmp_effects_key);
    if (!effects.get()) return E_FAIL;
    DWORD listed = 0;
    for (DWORD index = 0;; ++index) {
        char16_t name[longest_name] = {};
        DWORD length = longest_name;
        const LONG result = RegEnumKeyExW(effects.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        ++listed;
        if (result != ERROR_SUCCESS) continue;
        const std::optional<CLSID> clsid = listed_class(std::u16string(name, length));
        if (!clsid) continue;
        if (std::optional<EffectInfo> info = describe(*clsid)) {
            m_total_presets += info->preset_count;
            m_effects.push_back(std::move(*info));
        }
    }
    return listed == 0 ? E_FAIL : S_OK;
}
