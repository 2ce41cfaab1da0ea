#pragma once
// A temporary registry holding the built-in effect (registered by its module)
// under two names, and entries that name no class that can be created.

#include "platform/registry/Registry.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <string>

inline void list_effect(const std::u16string& name, const std::u16string& classid)
{
    const std::u16string path = std::u16string(u"Software\\Microsoft\\MediaPlayer\\Objects\\Effects\\") + name +
                                u"\\Properties";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, u"classid", 0, REG_SZ, reinterpret_cast<const BYTE*>(classid.c_str()),
                   DWORD((classid.size() + 1) * 2));
    RegCloseKey(key);
}

class EffectRegistry {
public:
    EffectRegistry()
    {
        EXPECT_TRUE(plat::register_modules(STRIMO_REGSVR, {EFFECTS_MODULE}));
        list_effect(u"Broken", u"{0BADC1A5-0000-4000-8000-000000000001}");   // no such class
        list_effect(u"Garbled", u"not a class id");
        list_effect(u"Second", u"{6F3C2A9E-5B7D-4E21-9C84-2D1F0A6B3E57}");   // the built-in effect again
    }

private:
    plat::TemporaryRegistry m_registry;
};
