#include "TestSite.h"

#include "platform/base/Utf.h"

HRESULT TestSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) noexcept
{
    std::u16string key(name, plat::wide_length(name));
    ++requests[key];
    if (info)
        *info = nullptr;
    auto found = items.find(key);
    if (found == items.end())
        return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) && item)
        *item = plat::ComPtr<IUnknown>(found->second).detach();
    return S_OK;
}

HRESULT TestSite::OnScriptError(IActiveScriptError* error) noexcept
{
    ReportedError r;
    EXCEPINFO info{};
    if (SUCCEEDED(error->GetExceptionInfo(&info))) {
        r.source = plat::bstr_to_utf8(info.bstrSource);
        r.description = plat::bstr_to_utf8(info.bstrDescription);
        r.scode = info.scode;
        plat::clear_excepinfo(info);
    }
    DWORD context = 0;
    LONG character = 0;
    r.has_position = SUCCEEDED(error->GetSourcePosition(&context, &r.line, &character));
    plat::Bstr text;
    if (SUCCEEDED(error->GetSourceLineText(text.out())))
        r.line_text = text.utf8();
    errors.push_back(r);
    return S_OK;
}

std::span<const plat::DispatchEntry<TestHelper>> TestHelper::dispatch_table()
{
    static const plat::DispatchEntry<TestHelper> table[] = {
        plat::dispatch_property<&TestHelper::get_Name, &TestHelper::put_Name>(u"Name", 1),
        plat::dispatch_method<&TestHelper::Add>(u"Add", 2),
        plat::dispatch_method<&TestHelper::Keep>(u"Keep", 3),
        plat::dispatch_method<&TestHelper::Kept>(u"Kept", 4),
        plat::dispatch_method<&TestHelper::Fail>(u"Fail", 5),
        plat::dispatch_method<&TestHelper::Swap>(u"Swap", 6),
    };
    return table;
}

HRESULT TestHelper::get_Name(BSTR* value) noexcept
{
    *value = plat::Bstr::from_utf8(name).detach();
    return S_OK;
}
HRESULT TestHelper::put_Name(BSTR value) noexcept
{
    name = plat::bstr_to_utf8(value);
    return S_OK;
}
HRESULT TestHelper::Add(LONG a, LONG b, LONG* sum) noexcept
{
    *sum = a + b;
    return S_OK;
}
HRESULT TestHelper::Keep(IDispatch* object) noexcept
{
    kept = plat::ComPtr<IDispatch>(object);
    return S_OK;
}
HRESULT TestHelper::Kept(IDispatch** object) noexcept
{
    *object = plat::ComPtr<IDispatch>(kept).detach();
    return S_OK;
}

HRESULT TestHelper::Swap(BSTR name, BSTR value, BSTR* old) noexcept
{
    if (!kept)
        return E_FAIL;
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = kept->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    plat::Variant was, text;
    DISPPARAMS none{};
    if (SUCCEEDED(hr))
        hr = kept->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, was.get(), nullptr, nullptr);
    if (SUCCEEDED(hr))
        hr = VariantChangeType(text.get(), was.get(), 0, VT_BSTR);
    VARIANT next;
    VariantInit(&next);
    next.vt = VT_BSTR;
    next.bstrVal = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&next, &named, 1, 1};
    if (SUCCEEDED(hr))
        hr = kept->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr))
        *old = SysAllocStringLen(text->bstrVal, SysStringLen(text->bstrVal));
    return hr;
}

EngineHarness::EngineHarness()
    : engine(plat::ComPtr<plat::JScriptEngine>::adopt(new plat::JScriptEngine())),
      site(plat::ComPtr<TestSite>::adopt(new TestSite()))
{
    engine->SetScriptSite(site.get());
    engine->InitNew();
}

EngineHarness::~EngineHarness() { engine->Close(); }

HRESULT EngineHarness::run(const char* text)
{
    const std::u16string code = plat::utf8_to_utf16(text);
    return engine->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 1,
                                   SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, nullptr, nullptr);
}

std::string EngineHarness::global(const char16_t* name)
{
    plat::ComPtr<IDispatch> globals;
    if (FAILED(engine->GetScriptDispatch(nullptr, globals.put())))
        return "<no dispatch>";
    std::u16string copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = 0;
    if (FAILED(globals->GetIDsOfNames(GUID_NULL, names, 1, 1024, &id)))
        return "<unknown>";
    plat::Variant value;
    DISPPARAMS none{};
    if (FAILED(globals->Invoke(id, GUID_NULL, 1024, DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr)))
        return "<failed>";
    if (value->vt == VT_EMPTY)
        return "<undefined>";
    plat::Variant text;
    if (FAILED(VariantChangeType(text.get(), value.get(), VARIANT_ALPHABOOL, VT_BSTR)))
        return "<object>";
    return plat::bstr_to_utf8(text->bstrVal);
}

void EngineHarness::allow_objects()
{
    engine->SetInterfaceSafetyOptions(IID_IActiveScript, INTERFACESAFE_FOR_UNTRUSTED_DATA, 0);
}
