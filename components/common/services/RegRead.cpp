#include "RegRead.h"

#include "components/common/regutil/CUTILregEx.h"

namespace {

constexpr DWORD string_limit = 1024;   // bytes, terminator included

}

DWORD ReadRegDword(HKEY root, const WCHAR* subkey, const WCHAR* name, DWORD fallback)
{
    DWORD value = fallback;
    CUTILregEx(root, subkey, KEY_READ).GetDWORD(name, value);   // a failed read keeps the fallback
    return value;
}

DWORD ReadRegNumber(HKEY root, const WCHAR* subkey, const RegNumber& number)
{
    return ReadNumber(CUTILregEx(root, subkey, KEY_READ), number);
}

std::u16string ReadRegString(HKEY root, const WCHAR* subkey, const WCHAR* name)
{
    WCHAR text[string_limit / sizeof(WCHAR)];
    DWORD size = sizeof text;
    if (CUTILregEx(root, subkey, KEY_READ).GetString(name, text, size) != ERROR_SUCCESS)
        return {};
    return std::u16string(text, size / sizeof(WCHAR) - 1);
}
