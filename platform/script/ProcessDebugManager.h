#pragma once
// The process debug manager: a stand-in that accepts a script host's calls.
// There is no debugger to attach; the documents only keep their texts and
// blocks, and a started session is noted in the debug sink.

#include "platform/com/ComObject.h"
#include "platform/script/ScriptDebug.h"

namespace plat {

class ProcessDebugManager final : public ComObject<IProcessDebugManager> {
public:
    HRESULT CreateApplication(IDebugApplication** application) noexcept override;
    HRESULT AddApplication(IDebugApplication* application, DWORD* cookie) noexcept override;
    HRESULT CreateDebugDocumentHelper(IUnknown* outer, IDebugDocumentHelper** helper) noexcept override;

private:
    DWORD m_next_cookie{1};
};

}
