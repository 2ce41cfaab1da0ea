#pragma once
// The logger object scripts reach by the name "Logger": texts go to the debug output.

#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"
#include "scripthost/feldane/FeldaneLib.h"

class CScriptLogger final : public plat::ComObject<plat::DispatchImpl<IScriptLogger, CScriptLogger>> {
public:
    static std::span<const plat::DispatchEntry<CScriptLogger>> dispatch_table();

    HRESULT Log(BSTR strLog) noexcept override;
    // The level is not used.
    HRESULT Log2(BSTR strLog, LONG nLevel) noexcept override;
};
