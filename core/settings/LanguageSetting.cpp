#include "LanguageSetting.h"

#include "components/common/regutil/CUTILregEx.h"
#include "components/common/regutil/ProgramKey.h"

LONG ReadLanguageSetting(DWORD& language)
{
    language = 1033;
    return CUTILregEx(HKEY_LOCAL_MACHINE, ProgramKey, KEY_READ).GetDWORD(u"Language", language);
}
