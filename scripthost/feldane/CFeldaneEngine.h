#pragma once
// The script host's engine object: wraps one JScript engine, is its site,
// offers "ScriptHelper" and "Logger" to the scripts, and calls the script's
// functions and properties for its client. The client calls Close before
// its last Release: until then the engine holds this object as its site.

#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/script/ScriptDebug.h"
#include "scripthost/feldane/FeldaneLib.h"

#include <string>
#include <map>
#include <unordered_map>

class CFeldaneEngine final
    : public plat::ComObject<plat::DispatchImpl<IFeldaneEngine, CFeldaneEngine>, IActiveScriptSite,
                             IActiveScriptSiteDebug, IObjectSafety> {
public:
    static std::span<const plat::DispatchEntry<CFeldaneEngine>> dispatch_table();

    HRESULT Initialize(VARIANT_BOOL bEnableDebug, BSTR strName) noexcept override;
    HRESULT Close() noexcept override;
    HRESULT Connect() noexcept override;
    HRESULT AddScriptContent(BSTR strScript, BSTR strScriptName) noexcept override;
    HRESULT AddNamedObject(BSTR strObjectName, IUnknown* pUnknown) noexcept override;
    HRESULT InvokeMethod(BSTR strMethodName, VARIANT* varRet) noexcept override;
    HRESULT InvokeParamMethod(BSTR strMethodName, VARIANT* varParams, LONG nParamSize,
                              VARIANT* varRet) noexcept override;
    HRESULT GetProperty(BSTR strPropertyName, VARIANT* varValue) noexcept override;
    HRESULT PutProperty(BSTR strPropertyName, VARIANT* varValue) noexcept override;

    // IActiveScriptSite
    HRESULT GetLCID(LCID*) noexcept override { return E_NOTIMPL; }
    HRESULT GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) noexcept override;
    HRESULT GetDocVersionString(BSTR* version) noexcept override;
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) noexcept override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) noexcept override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError* error) noexcept override;
    HRESULT OnEnterScript() noexcept override { return S_OK; }
    HRESULT OnLeaveScript() noexcept override { return S_OK; }

    // IActiveScriptSiteDebug
    HRESULT GetDocumentContextFromPosition(DWORD_PTR source_context, ULONG offset, ULONG characters,
                                           IDebugDocumentContext** context) noexcept override;
    HRESULT GetApplication(IDebugApplication** application) noexcept override;
    HRESULT GetRootApplicationNode(IDebugApplicationNode** node) noexcept override;
    HRESULT OnScriptErrorDebug(IActiveScriptErrorDebug* error, BOOL* enter_debugger,
                               BOOL* call_on_script_error_when_continuing) noexcept override;

    // IObjectSafety, passed on to the JScript engine (E_UNEXPECTED before Initialize):
    // a client whose scripts are its own lets them create objects.
    HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) noexcept override;
    HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) noexcept override;

private:
    HRESULT start_debugging(BSTR name);
    HRESULT add_debug_document(const std::u16string& text, BSTR name);
    HRESULT call(BSTR name, WORD flags, DISPPARAMS& params, VARIANT* result);

    plat::ComPtr<IActiveScript> m_script;             // null until Initialize
    plat::ComPtr<IDispatch> m_script_dispatch;        // set by Connect
    plat::ComPtr<IProcessDebugManager> m_debug_manager;   // debug mode only
    plat::ComPtr<IDebugApplication> m_debug_application;  // debug mode only
    plat::ComPtr<IScriptHelper> m_helper;
    plat::ComPtr<IScriptLogger> m_logger;             // made when a script first asks for "Logger"
    std::unordered_map<std::u16string, plat::ComPtr<IUnknown>> m_named_objects;
    std::map<DWORD_PTR, plat::ComPtr<IDebugDocumentHelper>> m_documents;   // by source context
};
