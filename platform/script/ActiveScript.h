#pragma once
// The Active Scripting interfaces the script host drives, for the subset of
// their methods that is called, with the JScript engine's class id.

#include "platform/automation/Dispatch.h"

enum SCRIPTSTATE : LONG {
    SCRIPTSTATE_UNINITIALIZED = 0,
    SCRIPTSTATE_STARTED = 1,
    SCRIPTSTATE_CONNECTED = 2,
    SCRIPTSTATE_DISCONNECTED = 3,
    SCRIPTSTATE_CLOSED = 4,
    SCRIPTSTATE_INITIALIZED = 5,
};

inline constexpr DWORD SCRIPTITEM_ISVISIBLE = 0x2;
inline constexpr DWORD SCRIPTITEM_ISSOURCE = 0x4;
inline constexpr DWORD SCRIPTITEM_ISPERSISTENT = 0x40;
inline constexpr DWORD SCRIPTINFO_IUNKNOWN = 0x1;
inline constexpr DWORD SCRIPTINFO_ITYPEINFO = 0x2;
inline constexpr DWORD SCRIPTTEXT_ISVISIBLE = 0x2;
inline constexpr DWORD SCRIPTTEXT_ISPERSISTENT = 0x40;

// The engine has told the site of the error through OnScriptError.
inline constexpr HRESULT SCRIPT_E_REPORTED = hresult(0x80020101);

inline constexpr CLSID CLSID_JScript = plat::make_guid("{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}");
inline constexpr IID IID_IActiveScript = plat::make_guid("{BB1A2AE1-A4F9-11CF-8F20-00805F2CD064}");
inline constexpr IID IID_IActiveScriptParse = plat::make_guid("{BB1A2AE2-A4F9-11CF-8F20-00805F2CD064}");
inline constexpr IID IID_IActiveScriptSite = plat::make_guid("{DB01A1E3-A42B-11CF-8F20-00805F2CD064}");
inline constexpr IID IID_IActiveScriptError = plat::make_guid("{EAE1BA61-A4ED-11CF-8F20-00805F2CD064}");
inline constexpr IID IID_IObjectSafety = plat::make_guid("{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");

struct IActiveScriptError : IUnknown {
    static constexpr const IID& iid = IID_IActiveScriptError;
    virtual HRESULT GetExceptionInfo(EXCEPINFO* info) = 0;
    // The line is zero-based within the script text; the character is 0 when unknown.
    virtual HRESULT GetSourcePosition(DWORD* source_context, ULONG* line, LONG* character) = 0;
    virtual HRESULT GetSourceLineText(BSTR* line) = 0;

protected:
    ~IActiveScriptError() = default;
};

struct IActiveScriptSite : IUnknown {
    static constexpr const IID& iid = IID_IActiveScriptSite;
    virtual HRESULT GetLCID(LCID* lcid) = 0;
    virtual HRESULT GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) = 0;
    virtual HRESULT GetDocVersionString(BSTR* version) = 0;
    virtual HRESULT OnScriptTerminate(const VARIANT* result, const EXCEPINFO* info) = 0;
    virtual HRESULT OnStateChange(SCRIPTSTATE state) = 0;
    virtual HRESULT OnScriptError(IActiveScriptError* error) = 0;
    virtual HRESULT OnEnterScript() = 0;
    virtual HRESULT OnLeaveScript() = 0;

protected:
    ~IActiveScriptSite() = default;
};

struct IActiveScript : IUnknown {
    static constexpr const IID& iid = IID_IActiveScript;
    virtual HRESULT SetScriptSite(IActiveScriptSite* site) = 0;
    virtual HRESULT SetScriptState(SCRIPTSTATE state) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT AddNamedItem(LPCOLESTR name, DWORD flags) = 0;
    // With no item name: an IDispatch over the script's globals and functions.
    virtual HRESULT GetScriptDispatch(LPCOLESTR item, IDispatch** dispatch) = 0;

protected:
    ~IActiveScript() = default;
};

struct IActiveScriptParse : IUnknown {
    static constexpr const IID& iid = IID_IActiveScriptParse;
    virtual HRESULT InitNew() = 0;
    virtual HRESULT ParseScriptText(LPCOLESTR code, LPCOLESTR item, IUnknown* context, LPCOLESTR delimiter,
                                    DWORD_PTR source_context, ULONG starting_line, DWORD flags, VARIANT* result,
                                    EXCEPINFO* info) = 0;

protected:
    ~IActiveScriptParse() = default;
};

// Safety options of the engine. INTERFACESAFE_FOR_UNTRUSTED_DATA is on from
// the start: the ActiveXObject constructor then refuses to create anything.
// A host whose scripts are its own clears it to let them create objects.
inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;

struct IObjectSafety : IUnknown {
    static constexpr const IID& iid = IID_IObjectSafety;
    virtual HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) = 0;

protected:
    ~IObjectSafety() = default;
};
