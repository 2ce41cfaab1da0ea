#include "RegistryRead.h"

#include "platform/base/Utf.h"

#include <cstring>
#include <memory>

namespace {

struct KeyClose {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<HKEY__, KeyClose>;

KeyHandle open_for_reading(HKEY root, const std::string& subkey)
{
    HKEY key = nullptr;
    const std::u16string wide = plat::utf8_to_utf16(subkey);
    if (RegOpenKeyExW(root, wide.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return KeyHandle();
    return KeyHandle(key);
}

}

DWORD ReadRegDword(HKEY root, const std::string& subkey, const std::string& name, DWORD fallback)
{
    const KeyHandle key = open_for_reading(root, subkey);
    if (!key) return fallback;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const std::u16string wide = plat::utf8_to_utf16(name);
    if (RegQueryValueExW(key.get(), wide.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return fallback;
    return value;
}

std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& name)
{
    const KeyHandle key = open_for_reading(root, subkey);
    if (!key) return {};
    DWORD type = 0;
    BYTE data[1024];
    DWORD size = sizeof data;
    const std::u16string wide = plat::utf8_to_utf16(name);
    if (RegQueryValueExW(key.get(), wide.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::u16string text(size / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return plat::utf16_to_utf8(text);
}
