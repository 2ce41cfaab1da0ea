#include "core/app/testing/FreshProfile.h"

#include "components/common/regutil/CUTILregEx.h"
#include "components/common/regutil/ProgramKey.h"

#include <vector>

namespace app_testing {

std::string FreshProfile::data_folder() const { return m_home / "data/Corvalen/Strimo"; }

void FreshProfile::set_value(const char16_t* name, std::uint32_t value)
{
    CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE).SetDWORD(name, value);
}

void FreshProfile::set_text(const char16_t* name, const std::u16string& value)
{
    CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE).SetString(name, value.c_str());
}

std::optional<std::uint32_t> FreshProfile::value(const char16_t* name)
{
    DWORD value = 0;
    if (CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ).GetDWORD(name, value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::u16string> FreshProfile::text(const char16_t* name)
{
    std::vector<char16_t> buffer(4096);
    DWORD size = DWORD(buffer.size() * sizeof(char16_t));
    if (CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ).GetString(name, buffer.data(), size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::u16string(buffer.data());
}

}
