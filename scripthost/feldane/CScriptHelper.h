#pragma once
// The helper object scripts reach by the name "ScriptHelper".

#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"
#include "scripthost/feldane/FeldaneLib.h"

class CScriptHelper final : public plat::ComObject<plat::DispatchImpl<IScriptHelper, CScriptHelper>> {
public:
    static std::span<const plat::DispatchEntry<CScriptHelper>> dispatch_table();

    HRESULT Sleep(DWORD dwMilliseconds) noexcept override;
    // The system default locale's language id as four upper-case hexadecimal digits ("0409").
    HRESULT GetLocaleID(BSTR* pVal) noexcept override;
    HRESULT DecompressFile(BSTR, BSTR, VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
};
