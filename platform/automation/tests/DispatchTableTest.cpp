#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

inline constexpr IID IID_ITestDual = plat::make_guid("{6A0E3F0C-5E64-4C0B-9B2B-1F4E83C7D001}");

struct ITestDual : IDispatch {
    static constexpr const IID& iid = IID_ITestDual;
    using base = IDispatch;
    virtual HRESULT get_Name(BSTR* value) = 0;
    virtual HRESULT put_Name(BSTR value) = 0;
    virtual HRESULT Join(BSTR first, LONG second, BSTR* joined) = 0;
    virtual HRESULT Keep(ITestDual* other) = 0;
    virtual HRESULT Echo(VARIANT* value, VARIANT* copy) = 0;

protected:
    ~ITestDual() = default;
};

class TestDual final : public plat::ComObject<plat::DispatchImpl<ITestDual, TestDual>> {
public:
    static std::span<const plat::DispatchEntry<TestDual>> dispatch_table()
    {
        static const plat::DispatchEntry<TestDual> table[] = {
            plat::dispatch_property<&TestDual::get_Name, &TestDual::put_Name>(u"Name", 1),
            plat::dispatch_method<&TestDual::Join>(u"Join", 2),
            plat::dispatch_method<&TestDual::Keep>(u"Keep", 3),
            plat::dispatch_method<&TestDual::Echo, plat::Retval::Yes>(u"Echo", 4),
        };
        return table;
    }

    HRESULT get_Name(BSTR* value) noexcept override { *value = plat::Bstr::from_utf8(m_name).detach(); return S_OK; }
    HRESULT put_Name(BSTR value) noexcept override { m_name = plat::bstr_to_utf8(value); return S_OK; }
    HRESULT Join(BSTR first, LONG second, BSTR* joined) noexcept override
    {
        *joined = plat::Bstr::from_utf8(plat::bstr_to_utf8(first) + "/" + std::to_string(second)).detach();
        return S_OK;
    }
    HRESULT Keep(ITestDual* other) noexcept override { m_kept = plat::ComPtr<ITestDual>(other); return S_OK; }
    HRESULT Echo(VARIANT* value, VARIANT* copy) noexcept override { return VariantCopy(copy, value); }

    std::string m_name;
    plat::ComPtr<ITestDual> m_kept;
};

DISPID id_of(IDispatch* d, const char16_t* name)
{
    std::u16string copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_IDispatch, names, 1, 1024, &id), S_OK);
    return id;
}

VARIANT bstr(const char* text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = plat::Bstr::from_utf8(text).detach();
    return v;
}

}

TEST(DispatchTable, NamesResolveWithoutCaseAndUnknownNamesFail)
{
    auto object = plat::ComPtr<TestDual>::adopt(new TestDual());
    EXPECT_EQ(id_of(object.get(), u"name"), 1);
    EXPECT_EQ(id_of(object.get(), u"JOIN"), 2);
    std::u16string missing(u"Joins");
    LPOLESTR names[] = {missing.data()};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_IDispatch, names, 1, 1024, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST(DispatchTable, ArgumentsArriveLastFirst)
{
    auto object = plat::ComPtr<TestDual>::adopt(new TestDual());
    // Join("a", 7): the array holds 7 first, then "a".
    VARIANT args[2];
    VariantInit(&args[0]);
    args[0].vt = VT_I4;
    args[0].lVal = 7;
    args[1] = bstr("a");
    DISPPARAMS params{args, nullptr, 2, 0};
    plat::Variant result;
    ASSERT_EQ(object->Invoke(2, IID_IDispatch, 1024, DISPATCH_METHOD, &params, result.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(result->vt, VT_BSTR);
    EXPECT_EQ(plat::bstr_to_utf8(result->bstrVal), "a/7");

    // A text that is a number converts; one that is not names its argument.
    VariantClear(result.get());   // a result is an out value: the caller frees it before reuse
    VariantClear(&args[0]);
    args[0] = bstr("x");
    UINT bad = 99;
    EXPECT_EQ(object->Invoke(2, IID_IDispatch, 1024, DISPATCH_METHOD, &params, result.get(), nullptr, &bad),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bad, 0u);
    params.cArgs = 1;
    EXPECT_EQ(object->Invoke(2, IID_IDispatch, 1024, DISPATCH_METHOD, &params, result.get(), nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    VariantClear(&args[0]);
    VariantClear(&args[1]);
}

TEST(DispatchTable, PropertiesTakeTheirValueAsTheNamedPutArgument)
{
    auto object = plat::ComPtr<TestDual>::adopt(new TestDual());
    VARIANT value = bstr("épée");
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &put, 1, 1};
    ASSERT_EQ(object->Invoke(1, IID_IDispatch, 1024, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(object->m_name, "épée");

    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    EXPECT_EQ(object->Invoke(1, IID_IDispatch, 1024, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    VariantClear(&value);

    plat::Variant result;
    DISPPARAMS none{};
    ASSERT_EQ(object->Invoke(1, IID_IDispatch, 1024, DISPATCH_PROPERTYGET, &none, result.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(plat::bstr_to_utf8(result->bstrVal), "épée");
    VariantClear(result.get());
    EXPECT_EQ(object->Invoke(2, IID_IDispatch, 1024, DISPATCH_PROPERTYGET, &none, result.get(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND)
        << "a method is not a property";
    EXPECT_EQ(object->Invoke(42, IID_IDispatch, 1024, DISPATCH_METHOD, &none, result.get(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST(DispatchTable, ObjectArgumentsAreQueriedForTheirInterface)
{
    auto object = plat::ComPtr<TestDual>::adopt(new TestDual());
    auto other = plat::ComPtr<TestDual>::adopt(new TestDual());
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = other.get();
    DISPPARAMS params{&arg, nullptr, 1, 0};
    ASSERT_EQ(object->Invoke(3, IID_IDispatch, 1024, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(object->m_kept.get(), static_cast<ITestDual*>(other.get()));

    VARIANT word = bstr("not an object");
    params.rgvarg = &word;
    EXPECT_EQ(object->Invoke(3, IID_IDispatch, 1024, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_TYPEMISMATCH);
    VariantClear(&word);

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = 5;
    params.rgvarg = &value;
    plat::Variant result;
    ASSERT_EQ(object->Invoke(4, IID_IDispatch, 1024, DISPATCH_METHOD, &params, result.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(result->vt, VT_I4);
    EXPECT_EQ(result->lVal, 5);
    object->m_kept.reset();
}
