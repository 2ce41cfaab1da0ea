#pragma once
// Helpers of the parser's tests: the feed settings in the registry, and
// properties read back as UTF-8.

#include "feedparser/pellow/PellowLib.h"
#include "platform/base/Utf.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

inline void set_feed_settings(const std::optional<std::string>& host, std::optional<DWORD> timeout_ms)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (host) {
        const std::u16string text = plat::utf8_to_utf16(*host);
        RegSetValueExW(key, u"FeedHost", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }
    if (timeout_ms)
        RegSetValueExW(key, u"FeedTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*timeout_ms), sizeof(DWORD));
    RegCloseKey(key);
}

template <class Object>
std::string read(Object* object, HRESULT (Object::*getter)(BSTR*))
{
    plat::Bstr value;
    if (FAILED((object->*getter)(value.out())))
        return "<failed>";
    return value.utf8();
}
