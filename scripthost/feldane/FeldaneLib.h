#pragma once
// The script host's classes and dual interfaces (type library FeldaneLib).

#include "platform/automation/Dispatch.h"

inline constexpr GUID LIBID_FeldaneLib = plat::make_guid("{ED2DD7B5-98AF-4D6F-BEE2-C05908FD0850}");
inline constexpr CLSID CLSID_FeldaneEngine = plat::make_guid("{10A9D854-21BE-4649-9989-29239E05FEA1}");
inline constexpr CLSID CLSID_ScriptHelper = plat::make_guid("{CE391014-1CA5-4910-8A27-613E6DE61CA7}");
inline constexpr CLSID CLSID_ScriptLogger = plat::make_guid("{37D691C7-945F-4149-BD72-47A4C82A5312}");
inline constexpr IID IID_IFeldaneEngine = plat::make_guid("{CE6EDB79-13D7-48FA-A2E1-7774189A1082}");
inline constexpr IID IID_IScriptHelper = plat::make_guid("{62ECA134-FA1B-4508-BF78-14315D5A78C1}");
inline constexpr IID IID_IScriptLogger = plat::make_guid("{47730F9C-BFE2-43BB-ACC3-16A3AB9E6E1C}");

struct IFeldaneEngine : IDispatch {
    static constexpr const IID& iid = IID_IFeldaneEngine;
    using base = IDispatch;
    virtual HRESULT Initialize(VARIANT_BOOL bEnableDebug, BSTR strName) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT Connect() = 0;
    virtual HRESULT AddScriptContent(BSTR strScript, BSTR strScriptName) = 0;
    virtual HRESULT AddNamedObject(BSTR strObjectName, IUnknown* pUnknown) = 0;
    virtual HRESULT InvokeMethod(BSTR strMethodName, VARIANT* varRet) = 0;
    // varParams holds the arguments last first, as IDispatch::Invoke takes them.
    virtual HRESULT InvokeParamMethod(BSTR strMethodName, VARIANT* varParams, LONG nParamSize, VARIANT* varRet) = 0;
    virtual HRESULT GetProperty(BSTR strPropertyName, VARIANT* varValue) = 0;
    virtual HRESULT PutProperty(BSTR strPropertyName, VARIANT* varValue) = 0;

protected:
    ~IFeldaneEngine() = default;
};

struct IScriptHelper : IDispatch {
    static constexpr const IID& iid = IID_IScriptHelper;
    using base = IDispatch;
    virtual HRESULT Sleep(DWORD dwMilliseconds) = 0;
    virtual HRESULT GetLocaleID(BSTR* pVal) = 0;
    virtual HRESULT DecompressFile(BSTR strFilePath, BSTR strDestPath, VARIANT_BOOL* bRet) = 0;

protected:
    ~IScriptHelper() = default;
};

struct IScriptLogger : IDispatch {
    static constexpr const IID& iid = IID_IScriptLogger;
    using base = IDispatch;
    virtual HRESULT Log(BSTR strLog) = 0;
    virtual HRESULT Log2(BSTR strLog, LONG nLevel) = 0;

protected:
    ~IScriptLogger() = default;
};
