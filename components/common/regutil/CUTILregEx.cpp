#include "CUTILregEx.h"

#include "platform/base/Utf.h"
#include "platform/registry/RegistryText.h"

#include <algorithm>
#include <vector>

CUTILregEx::CUTILregEx(HKEY root, LPCWSTR sub_key, REGSAM access)
{
    const bool may_create = access != KEY_QUERY_VALUE && access != KEY_READ;
    if (RegOpenKeyExW(root, sub_key, 0, access, &m_key) == ERROR_SUCCESS) return;
    m_key = nullptr;
    if (!may_create) return;
    WCHAR no_class[] = u"";
    if (RegCreateKeyExW(root, sub_key, 0, no_class, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &m_key,
                        nullptr) != ERROR_SUCCESS)
        m_key = nullptr;
}

CUTILregEx::~CUTILregEx()
{
    if (m_key) RegCloseKey(m_key);
}

LONG CUTILregEx::GetDWORD(LPCWSTR name, DWORD& value) const
{
    if (!m_key) return E_FAIL;
    DWORD type = REG_NONE;
    DWORD read = 0;
    DWORD size = sizeof read;
    if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof read)
        return E_FAIL;
    value = read;
    return ERROR_SUCCESS;
}

LONG CUTILregEx::GetString(LPCWSTR name, LPWSTR buffer, DWORD& size) const
{
    if (!m_key || !buffer) return E_FAIL;
    // Learn the type first, so that a value of another type never lands in the buffer.
    DWORD type = REG_NONE;
    DWORD needed = 0;
    if (RegQueryValueExW(m_key, name, nullptr, &type, nullptr, &needed) != ERROR_SUCCESS || type != REG_SZ)
        return E_FAIL;
    std::vector<BYTE> data(needed);
    if (RegQueryValueExW(m_key, name, nullptr, &type, data.data(), &needed) != ERROR_SUCCESS || type != REG_SZ)
        return E_FAIL;
    // The stored bytes may lack the terminator (another writer): it gets its own here.
    const std::u16string text = plat::registry_text(std::span(data.data(), needed));
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    if (bytes > size) return E_FAIL;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    size = bytes;
    return ERROR_SUCCESS;
}

LONG CUTILregEx::SetDWORD(LPCWSTR name, DWORD value, BOOL only_if_present)
{
    if (!m_key) return E_FAIL;
    if (only_if_present)
        if (LONG rc = RegQueryValueExW(m_key, name, nullptr, nullptr, nullptr, nullptr); rc != ERROR_SUCCESS) return rc;
    return RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG CUTILregEx::SetString(LPCWSTR name, LPCWSTR text)
{
    if (!m_key || !text) return E_FAIL;
    const auto bytes = static_cast<DWORD>((plat::wide_length(text) + 1) * sizeof(WCHAR));
    return RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG CUTILregEx::DeleteValue(LPCWSTR name)
{
    if (!m_key) return E_FAIL;
    return RegDeleteValueW(m_key, name) == ERROR_SUCCESS ? ERROR_SUCCESS : E_FAIL;
}
