#pragma once
// The script debugging interfaces a script host calls, for the subset of
// their methods that is called, with the process debug manager's class id.

#include "platform/script/ActiveScript.h"

inline constexpr CLSID CLSID_ProcessDebugManager = plat::make_guid("{78A51822-51F4-11D0-8F20-00805F2CD064}");
inline constexpr IID IID_IProcessDebugManager = plat::make_guid("{51973C2F-CB0C-11D0-B5C9-00A0244A0E7A}");
inline constexpr IID IID_IDebugApplication = plat::make_guid("{51973C32-CB0C-11D0-B5C9-00A0244A0E7A}");
inline constexpr IID IID_IDebugDocumentHelper = plat::make_guid("{51973C26-CB0C-11D0-B5C9-00A0244A0E7A}");
inline constexpr IID IID_IDebugDocumentContext = plat::make_guid("{51973C28-CB0C-11D0-B5C9-00A0244A0E7A}");
inline constexpr IID IID_IDebugApplicationNode = plat::make_guid("{51973C34-CB0C-11D0-B5C9-00A0244A0E7A}");
inline constexpr IID IID_IActiveScriptSiteDebug = plat::make_guid("{51973C11-CB0C-11D0-B5C9-00A0244A0E7A}");
inline constexpr IID IID_IActiveScriptErrorDebug = plat::make_guid("{51973C12-CB0C-11D0-B5C9-00A0244A0E7A}");

inline constexpr DWORD TEXT_DOC_ATTR_READONLY = 0x1;

struct IDebugDocumentContext : IUnknown {
    static constexpr const IID& iid = IID_IDebugDocumentContext;

protected:
    ~IDebugDocumentContext() = default;
};

struct IDebugApplicationNode : IUnknown {
    static constexpr const IID& iid = IID_IDebugApplicationNode;

protected:
    ~IDebugApplicationNode() = default;
};

struct IDebugApplication : IUnknown {
    static constexpr const IID& iid = IID_IDebugApplication;
    virtual HRESULT SetName(LPCOLESTR name) = 0;
    virtual HRESULT StartDebugSession() = 0;

protected:
    ~IDebugApplication() = default;
};

struct IDebugDocumentHelper : IUnknown {
    static constexpr const IID& iid = IID_IDebugDocumentHelper;
    virtual HRESULT Init(IDebugApplication* application, LPCOLESTR short_name, LPCOLESTR long_name,
                         DWORD attributes) = 0;
    virtual HRESULT Attach(IDebugDocumentHelper* parent) = 0;
    virtual HRESULT Detach() = 0;
    virtual HRESULT AddUnicodeText(LPCOLESTR text) = 0;
    virtual HRESULT DefineScriptBlock(ULONG offset, ULONG characters, IActiveScript* engine, BOOL scriptlet,
                                      DWORD_PTR* source_context) = 0;
    virtual HRESULT CreateDebugDocumentContext(ULONG position, ULONG characters,
                                               IDebugDocumentContext** context) = 0;
    virtual HRESULT GetDebugApplicationNode(IDebugApplicationNode** node) = 0;
    virtual HRESULT GetScriptBlockInfo(DWORD_PTR source_context, IActiveScript** engine, ULONG* position,
                                       ULONG* characters) = 0;

protected:
    ~IDebugDocumentHelper() = default;
};

struct IProcessDebugManager : IUnknown {
    static constexpr const IID& iid = IID_IProcessDebugManager;
    virtual HRESULT CreateApplication(IDebugApplication** application) = 0;
    virtual HRESULT AddApplication(IDebugApplication* application, DWORD* cookie) = 0;
    virtual HRESULT CreateDebugDocumentHelper(IUnknown* outer, IDebugDocumentHelper** helper) = 0;

protected:
    ~IProcessDebugManager() = default;
};

struct IActiveScriptErrorDebug : IActiveScriptError {
    static constexpr const IID& iid = IID_IActiveScriptErrorDebug;
    using base = IActiveScriptError;

protected:
    ~IActiveScriptErrorDebug() = default;
};

struct IActiveScriptSiteDebug : IUnknown {
    static constexpr const IID& iid = IID_IActiveScriptSiteDebug;
    virtual HRESULT GetDocumentContextFromPosition(DWORD_PTR source_context, ULONG offset, ULONG characters,
                                                   IDebugDocumentContext** context) = 0;
    virtual HRESULT GetApplication(IDebugApplication** application) = 0;
    virtual HRESULT GetRootApplicationNode(IDebugApplicationNode** node) = 0;
    virtual HRESULT OnScriptErrorDebug(IActiveScriptErrorDebug* error, BOOL* enter_debugger,
                                       BOOL* call_on_script_error_when_continuing) = 0;

protected:
    ~IActiveScriptSiteDebug() = default;
};
