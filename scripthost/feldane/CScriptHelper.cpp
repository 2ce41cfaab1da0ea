#include "scripthost/feldane/CScriptHelper.h"

#include "platform/automation/Locale.h"
#include "platform/base/Time.h"

#include <cstdio>

std::span<const plat::DispatchEntry<CScriptHelper>> CScriptHelper::dispatch_table()
{
    static const plat::DispatchEntry<CScriptHelper> table[] = {
        plat::dispatch_method<&CScriptHelper::Sleep>(u"Sleep", 1),
        plat::dispatch_method<&CScriptHelper::GetLocaleID>(u"GetLocaleID", 2),
        plat::dispatch_method<&CScriptHelper::DecompressFile>(u"DecompressFile", 3),
    };
    return table;
}

HRESULT CScriptHelper::Sleep(DWORD dwMilliseconds) noexcept
{
    ::Sleep(dwMilliseconds);
    return S_OK;
}

HRESULT CScriptHelper::GetLocaleID(BSTR* pVal) noexcept
{
    if (!pVal)
        return E_POINTER;
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(GetSystemDefaultLCID() & 0xFFFF));
    *pVal = plat::Bstr::from_utf8(text).detach();
    return *pVal ? S_OK : E_OUTOFMEMORY;
}
