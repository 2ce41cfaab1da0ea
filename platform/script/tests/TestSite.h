#pragma once
// A script site for the engine's tests: named items from a map, and every
// reported error kept.

#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/script/JScriptEngine.h"

#include <map>
#include <string>
#include <vector>

struct ReportedError {
    std::string source;
    std::string description;
    HRESULT scode{0};
    bool has_position{false};
    ULONG line{0};
    std::string line_text;
};

class TestSite final : public plat::ComObject<IActiveScriptSite> {
public:
    HRESULT GetLCID(LCID*) noexcept override { return E_NOTIMPL; }
    HRESULT GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) noexcept override;
    HRESULT GetDocVersionString(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) noexcept override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) noexcept override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError* error) noexcept override;
    HRESULT OnEnterScript() noexcept override { return S_OK; }
    HRESULT OnLeaveScript() noexcept override { return S_OK; }

    std::map<std::u16string, plat::ComPtr<IUnknown>> items;
    std::map<std::u16string, int> requests;
    std::vector<ReportedError> errors;
};

inline constexpr IID IID_ITestHelper = plat::make_guid("{0D5B8E3A-7C41-4F0E-8B1A-5A2E9C7D4F21}");

struct ITestHelper : IDispatch {
    static constexpr const IID& iid = IID_ITestHelper;
    using base = IDispatch;
    virtual HRESULT get_Name(BSTR* value) = 0;
    virtual HRESULT put_Name(BSTR value) = 0;
    virtual HRESULT Add(LONG a, LONG b, LONG* sum) = 0;
    virtual HRESULT Keep(IDispatch* object) = 0;
    virtual HRESULT Kept(IDispatch** object) = 0;
    virtual HRESULT Fail() = 0;
    // Reads the kept object's property and writes a new value into it.
    virtual HRESULT Swap(BSTR name, BSTR value, BSTR* old) = 0;

protected:
    ~ITestHelper() = default;
};

class TestHelper final : public plat::ComObject<plat::DispatchImpl<ITestHelper, TestHelper>> {
public:
    static std::span<const plat::DispatchEntry<TestHelper>> dispatch_table();

    HRESULT get_Name(BSTR* value) noexcept override;
    HRESULT put_Name(BSTR value) noexcept override;
    HRESULT Add(LONG a, LONG b, LONG* sum) noexcept override;
    HRESULT Keep(IDispatch* object) noexcept override;
    HRESULT Kept(IDispatch** object) noexcept override;
    HRESULT Fail() noexcept override { return E_ACCESSDENIED; }
    HRESULT Swap(BSTR name, BSTR value, BSTR* old) noexcept override;

    std::string name;
    plat::ComPtr<IDispatch> kept;
};

// An engine with a TestSite, and ways to run a text and read a global.
class EngineHarness {
public:
    EngineHarness();
    ~EngineHarness();

    HRESULT run(const char* text);
    // The global's value as text (VariantChangeType to VT_BSTR); "<undefined>" when it is empty.
    std::string global(const char16_t* name);
    void allow_objects();

    plat::ComPtr<plat::JScriptEngine> engine;
    plat::ComPtr<TestSite> site;
};
