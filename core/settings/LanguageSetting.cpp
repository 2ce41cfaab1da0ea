#include "LanguageSetting.h"

#include "components/common/regutil/CUTILregEx.h"

LONG ReadLanguageSetting(DWORD& language)
{
    language = 1033;
    return CUTILregEx(HKEY_LOCAL_MACHINE, u"Software\\Corvalen\\Strimo", KEY_READ).GetDWORD(u"Language", language);
}
