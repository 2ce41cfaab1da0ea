#include "RegRead.h"

#include <cstring>

namespace {

class OpenKey {
public:
    OpenKey(HKEY root, const WCHAR* subkey)
    {
        if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &m_key) != ERROR_SUCCESS) m_key = nullptr;
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

constexpr DWORD string_limit = 1024;

}

DWORD ReadRegDword(HKEY root, const WCHAR* subkey, const WCHAR* name, DWORD fallback)
{
    OpenKey key(root, subkey);
    DWORD type = 0, value = 0, size = sizeof value;
    if (!key.get() || RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                          ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return fallback;
    return value;
}

std::u16string ReadRegString(HKEY root, const WCHAR* subkey, const WCHAR* name)
{
    OpenKey key(root, subkey);
    BYTE bytes[string_limit];
    DWORD type = 0, size = sizeof bytes;
    if (!key.get() || RegQueryValueExW(key.get(), name, nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    std::u16string text(size / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), bytes, text.size() * sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}
