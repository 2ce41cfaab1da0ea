#include "scripthost/feldane/CScriptLogger.h"

#include "platform/base/DebugLog.h"

std::span<const plat::DispatchEntry<CScriptLogger>> CScriptLogger::dispatch_table()
{
    static const plat::DispatchEntry<CScriptLogger> table[] = {
        plat::dispatch_method<&CScriptLogger::Log>(u"Log", 1),
        plat::dispatch_method<&CScriptLogger::Log2>(u"Log2", 2),
    };
    return table;
}

HRESULT CScriptLogger::Log(BSTR strLog) noexcept
{
    OutputDebugStringW(strLog ? strLog : u"");
    return S_OK;
}

HRESULT CScriptLogger::Log2(BSTR strLog, LONG) noexcept
{
    return Log(strLog);
}
