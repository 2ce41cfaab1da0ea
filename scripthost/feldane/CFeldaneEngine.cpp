#include "scripthost/feldane/CFeldaneEngine.h"
#include "scripthost/feldane/ScriptDebugSwitch.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr LCID script_locale = 1024;   // LOCALE_USER_DEFAULT
constexpr DWORD persistent_visible = SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT;

HRESULT fail(HRESULT hr, const char* where)
{
    OutputDebugStringA(where);
    return hr;
}

std::u16string text_of(BSTR text) { return std::u16string(text ? text : u"", SysStringLen(text)); }

void print(const std::string& line) { OutputDebugStringA(line.c_str()); }

}

std::span<const plat::DispatchEntry<CFeldaneEngine>> CFeldaneEngine::dispatch_table()
{
    using plat::Retval;
    static const plat::DispatchEntry<CFeldaneEngine> table[] = {
        plat::dispatch_method<&CFeldaneEngine::Initialize>(u"Initialize", 1),
        plat::dispatch_method<&CFeldaneEngine::Close>(u"Close", 2),
        plat::dispatch_method<&CFeldaneEngine::Connect>(u"Connect", 3),
        plat::dispatch_method<&CFeldaneEngine::AddScriptContent>(u"AddScriptContent", 4),
        plat::dispatch_method<&CFeldaneEngine::AddNamedObject>(u"AddNamedObject", 5),
        plat::dispatch_method<&CFeldaneEngine::InvokeMethod, Retval::Yes>(u"InvokeMethod", 6),
        plat::dispatch_method<&CFeldaneEngine::InvokeParamMethod, Retval::Yes>(u"InvokeParamMethod", 7),
        plat::dispatch_method<&CFeldaneEngine::GetProperty, Retval::Yes>(u"GetProperty", 8),
        plat::dispatch_method<&CFeldaneEngine::PutProperty, Retval::No>(u"PutProperty", 9),
    };
    return table;
}

HRESULT CFeldaneEngine::Initialize(VARIANT_BOOL bEnableDebug, BSTR strName) noexcept
{
    if (m_script)
        return E_UNEXPECTED;
    HRESULT hr = CoCreateInstance(CLSID_JScript, nullptr, CLSCTX_ALL, IID_IActiveScript, m_script.put_void());
    if (hr != S_OK)
        return fail(hr, "Create JScript Instance@Initialize@FeldaneEngine");
    hr = CoCreateInstance(CLSID_ScriptHelper, nullptr, CLSCTX_ALL, IID_IScriptHelper, m_helper.put_void());
    if (hr != S_OK)
        return fail(hr, "Create ScriptHelper Instance@Initialize@FeldaneEngine");
    if (bEnableDebug == VARIANT_TRUE || script_debug_requested()) {
        if (FAILED(hr = start_debugging(strName)))
            return hr;
    }
    hr = m_script->SetScriptSite(this);
    if (hr != S_OK)
        return fail(hr, "JScript SetScriptSite@Initialize@FeldaneEngine");
    auto parse = m_script.as<IActiveScriptParse>();
    if (!parse)
        return E_FAIL;
    if ((hr = parse->InitNew()) != S_OK)
        return fail(hr, "IActiveScriptParse InitNew@Initialize@FeldaneEngine");
    plat::Bstr helper_name(u"ScriptHelper");
    if ((hr = AddNamedObject(helper_name.get(), m_helper.get())) != S_OK)
        return fail(hr, "AddNamedObject(ScriptHelper)@Initialize@FeldaneEngine");
    // The logger is offered by name too; GetItemInfo makes it when a script first uses it.
    return m_script->AddNamedItem(u"Logger", persistent_visible);
}

HRESULT CFeldaneEngine::start_debugging(BSTR name)
{
    HRESULT hr = CoCreateInstance(CLSID_ProcessDebugManager, nullptr, CLSCTX_ALL, IID_IProcessDebugManager,
                                  m_debug_manager.put_void());
    if (hr != S_OK)
        return fail(hr, "Create ProcessDebugManager Instance@Initialize@FeldaneEngine");
    if ((hr = m_debug_manager->CreateApplication(m_debug_application.put())) != S_OK)
        return fail(hr, "ProcessDebugManager CreateApplication@Initialize@FeldaneEngine");
    m_debug_application->SetName(name ? name : u"");
    DWORD cookie = 0;
    if ((hr = m_debug_manager->AddApplication(m_debug_application.get(), &cookie)) != S_OK)
        return fail(hr, "ProcessDebugManager AddApplication@Initialize@FeldaneEngine");
    m_debug_application->StartDebugSession();
    return S_OK;
}

HRESULT CFeldaneEngine::Close() noexcept
{
    if (!m_script)
        return E_UNEXPECTED;
    for (auto& [context, document] : m_documents)
        document->Detach();
    m_script_dispatch.reset();
    return m_script->Close();
}

HRESULT CFeldaneEngine::Connect() noexcept
{
    if (!m_script)
        return E_UNEXPECTED;
    HRESULT hr = m_script->SetScriptState(SCRIPTSTATE_CONNECTED);
    if (FAILED(hr))
        return hr;
    return m_script->GetScriptDispatch(nullptr, m_script_dispatch.put());
}

HRESULT CFeldaneEngine::AddScriptContent(BSTR strScript, BSTR strScriptName) noexcept
try {
    if (!m_script)
        return E_UNEXPECTED;
    std::u16string text = text_of(strScript);
    if (m_debug_manager) {
        if (script_debug_requested())
            text = u"debugger;" + text;
        if (HRESULT hr = add_debug_document(text, strScriptName); FAILED(hr))
            return hr;
    }
    auto parse = m_script.as<IActiveScriptParse>();
    if (!parse)
        return E_FAIL;
    return parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 1,
                                  SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, nullptr, nullptr);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CFeldaneEngine::add_debug_document(const std::u16string& text, BSTR name)
{
    plat::ComPtr<IDebugDocumentHelper> document;
    HRESULT hr = m_debug_manager->CreateDebugDocumentHelper(nullptr, document.put());
    if (FAILED(hr))
        return hr;
    const WCHAR* title = name ? name : u"";
    DWORD_PTR context = 0;
    if (FAILED(hr = document->Init(m_debug_application.get(), title, title, TEXT_DOC_ATTR_READONLY)) ||
        FAILED(hr = document->Attach(nullptr)) || FAILED(hr = document->AddUnicodeText(text.c_str())) ||
        FAILED(hr = document->DefineScriptBlock(0, static_cast<ULONG>(text.size()), m_script.get(), FALSE, &context)))
        return hr;
    m_documents[context] = document;
    return S_OK;
}

HRESULT CFeldaneEngine::AddNamedObject(BSTR strObjectName, IUnknown* pUnknown) noexcept
try {
    if (!m_script)
        return E_UNEXPECTED;
    if (!strObjectName || !pUnknown)
        return E_INVALIDARG;
    HRESULT hr = m_script->AddNamedItem(strObjectName, persistent_visible);
    if (SUCCEEDED(hr))
        m_named_objects[text_of(strObjectName)] = plat::ComPtr<IUnknown>(pUnknown);
    return hr;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CFeldaneEngine::call(BSTR name, WORD flags, DISPPARAMS& params, VARIANT* result)
{
    if (!m_script_dispatch)
        return E_FAIL;
    LPOLESTR names[] = {name ? name : const_cast<LPOLESTR>(u"")};
    DISPID id = 0;
    HRESULT hr = m_script_dispatch->GetIDsOfNames(GUID_NULL, names, 1, script_locale, &id);
    if (FAILED(hr))
        return hr;
    return m_script_dispatch->Invoke(id, GUID_NULL, script_locale, flags, &params, result, nullptr, nullptr);
}

HRESULT CFeldaneEngine::InvokeMethod(BSTR strMethodName, VARIANT* varRet) noexcept
{
    return InvokeParamMethod(strMethodName, nullptr, 0, varRet);
}

HRESULT CFeldaneEngine::InvokeParamMethod(BSTR strMethodName, VARIANT* varParams, LONG nParamSize,
                                          VARIANT* varRet) noexcept
{
    if (!m_script_dispatch)
        return E_FAIL;
    if (nParamSize < 0 || (nParamSize > 0 && !varParams))
        return E_INVALIDARG;
    DISPPARAMS params{varParams, nullptr, static_cast<UINT>(nParamSize), 0};
    return call(strMethodName, DISPATCH_METHOD, params, varRet);
}

HRESULT CFeldaneEngine::GetProperty(BSTR strPropertyName, VARIANT* varValue) noexcept
{
    DISPPARAMS none{};
    return call(strPropertyName, DISPATCH_PROPERTYGET, none, varValue);
}

HRESULT CFeldaneEngine::PutProperty(BSTR strPropertyName, VARIANT* varValue) noexcept
{
    if (!m_script_dispatch)
        return E_FAIL;
    if (!varValue)
        return E_INVALIDARG;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{varValue, &named, 1, 1};
    const VARTYPE vt = varValue->vt;
    const bool by_reference =
        (vt & VT_TYPEMASK) == VT_DISPATCH || (vt & VT_TYPEMASK) == VT_UNKNOWN || (vt & (VT_ARRAY | VT_BYREF));
    if (by_reference && SUCCEEDED(call(strPropertyName, DISPATCH_PROPERTYPUTREF, params, nullptr)))
        return S_OK;
    return call(strPropertyName, DISPATCH_PROPERTYPUT, params, nullptr);
}

HRESULT CFeldaneEngine::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) noexcept
try {
    if (!name)
        return E_INVALIDARG;
    const std::u16string key(name, plat::wide_length(name));
    auto found = m_named_objects.find(key);
    if (found == m_named_objects.end()) {
        plat::Bstr asked(key), logger(u"Logger");
        if (VarBstrCmp(asked.get(), logger.get(), script_locale, 0) != VARCMP_EQ)
            return TYPE_E_ELEMENTNOTFOUND;
        HRESULT hr = CoCreateInstance(CLSID_ScriptLogger, nullptr, CLSCTX_ALL, IID_IScriptLogger, m_logger.put_void());
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = AddNamedObject(logger.get(), m_logger.get())))
            return hr;
        return GetItemInfo(name, mask, item, info);
    }
    if (mask & SCRIPTINFO_IUNKNOWN) {
        if (!item)
            return TYPE_E_ELEMENTNOTFOUND;
        *item = plat::ComPtr<IUnknown>(found->second).detach();
    }
    if ((mask & SCRIPTINFO_ITYPEINFO) && info)
        *info = nullptr;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CFeldaneEngine::GetDocVersionString(BSTR* version) noexcept
{
    if (!version)
        return E_POINTER;
    *version = SysAllocString(u"FeldaneEngine 1.0");
    return *version ? S_OK : E_OUTOFMEMORY;
}

HRESULT CFeldaneEngine::OnScriptError(IActiveScriptError* error) noexcept
try {
    print("**********************************\n");
    print("Script Error:\n");
    EXCEPINFO info{};
    if (!error || FAILED(error->GetExceptionInfo(&info))) {
        print("<Unknown>\n");
    } else {
        char code[64];
        std::snprintf(code, sizeof code, "Error code: 0x%x - ", static_cast<unsigned>(info.scode));
        print("Error: " + plat::bstr_to_utf8(info.bstrSource) + "\n");
        print("Description: " + plat::bstr_to_utf8(info.bstrDescription) + "\n");
        print(code + plat::hresult_message(info.scode) + "\n");
        plat::clear_excepinfo(info);
        DWORD context = 0;
        ULONG line = 0;
        LONG character = 0;
        plat::Bstr source;
        if (SUCCEEDED(error->GetSourcePosition(&context, &line, &character)) &&
            SUCCEEDED(error->GetSourceLineText(source.out()))) {
            print("Source: " + source.utf8() + "\n");
            print("Line: " + std::to_string(line) + ", Char: " + std::to_string(character) + "\n");
        }
    }
    print("**********************************\n\n");
    return S_OK;
} catch (const std::bad_alloc&) {
    return S_OK;
}

HRESULT CFeldaneEngine::GetDocumentContextFromPosition(DWORD_PTR source_context, ULONG offset, ULONG characters,
                                                       IDebugDocumentContext** context) noexcept
{
    if (!context)
        return E_POINTER;
    *context = nullptr;
    auto found = m_documents.find(source_context);
    if (found == m_documents.end())
        return E_NOTIMPL;
    ULONG start = 0;
    HRESULT hr = found->second->GetScriptBlockInfo(source_context, nullptr, &start, nullptr);
    if (FAILED(hr))
        return hr;
    return found->second->CreateDebugDocumentContext(start + offset, characters, context);
}

HRESULT CFeldaneEngine::GetApplication(IDebugApplication** application) noexcept
{
    if (!application)
        return E_POINTER;
    *application = plat::ComPtr<IDebugApplication>(m_debug_application).detach();
    return *application ? S_OK : E_INVALIDARG;
}

HRESULT CFeldaneEngine::GetRootApplicationNode(IDebugApplicationNode** node) noexcept
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    if (m_documents.empty())
        return E_FAIL;
    return m_documents.begin()->second->GetDebugApplicationNode(node);
}

HRESULT CFeldaneEngine::OnScriptErrorDebug(IActiveScriptErrorDebug*, BOOL* enter_debugger,
                                           BOOL* call_on_script_error_when_continuing) noexcept
{
    if (enter_debugger)
        *enter_debugger = TRUE;
    if (call_on_script_error_when_continuing)
        *call_on_script_error_when_continuing = TRUE;
    return S_OK;
}

HRESULT CFeldaneEngine::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) noexcept
{
    auto safety = m_script.as<IObjectSafety>();
    return safety ? safety->GetInterfaceSafetyOptions(iid, supported, enabled) : E_UNEXPECTED;
}

HRESULT CFeldaneEngine::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) noexcept
{
    auto safety = m_script.as<IObjectSafety>();
    return safety ? safety->SetInterfaceSafetyOptions(iid, mask, enabled) : E_UNEXPECTED;
}
