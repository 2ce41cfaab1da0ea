#include "platform/automation/Dispatch.h"
#include "platform/com/ComObject.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

VARIANT text(const char* utf8)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = plat::Bstr::from_utf8(utf8).detach();
    return v;
}

VARIANT number(VARTYPE vt, double value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    switch (vt) {
    case VT_I2: v.iVal = static_cast<SHORT>(value); break;
    case VT_I4: v.lVal = static_cast<LONG>(value); break;
    case VT_UI4: v.ulVal = static_cast<ULONG>(value); break;
    case VT_BOOL: v.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_R8: v.dblVal = value; break;
    default: break;
    }
    return v;
}

class Counted final : public plat::ComObject<IUnknown> {
public:
    ULONG refs() { AddRef(); return Release(); }
};

}

TEST(Variant, ChangeTypeConvertsTextAndNumbers)
{
    const struct {
        const char* name;
        VARIANT in;
        VARTYPE to;
        HRESULT hr;
        std::optional<double> number;
        const char* text;
    } cases[] = {
        {"text to long", text(" 42 "), VT_I4, S_OK, 42, nullptr},
        {"negative text to long", text("-7"), VT_I4, S_OK, -7, nullptr},
        {"text fraction rounds half to even", text("2.5"), VT_I4, S_OK, 2, nullptr},
        {"word to long", text("abc"), VT_I4, DISP_E_TYPEMISMATCH, {}, nullptr},
        {"empty text to long", text(""), VT_I4, DISP_E_TYPEMISMATCH, {}, nullptr},
        {"negative to unsigned", number(VT_I4, -1), VT_UI4, DISP_E_OVERFLOW, {}, nullptr},
        {"big to short", number(VT_I4, 40000), VT_I2, DISP_E_OVERFLOW, {}, nullptr},
        {"true to short", number(VT_BOOL, 1), VT_I2, S_OK, -1, nullptr},
        {"double to long", number(VT_R8, 3.7), VT_I4, S_OK, 4, nullptr},
        {"long to text", number(VT_I4, -12), VT_BSTR, S_OK, {}, "-12"},
        {"unsigned to text", number(VT_UI4, 4000000000.0), VT_BSTR, S_OK, {}, "4000000000"},
        {"double to text", number(VT_R8, 0.5), VT_BSTR, S_OK, {}, "0.5"},
        {"empty to text", VARIANT{}, VT_BSTR, S_OK, {}, ""},
        {"text True to bool", text("true"), VT_BOOL, S_OK, -1, nullptr},
        {"text 0 to bool", text("0"), VT_BOOL, S_OK, 0, nullptr},
        {"null to long", number(VT_NULL, 0), VT_I4, DISP_E_TYPEMISMATCH, {}, nullptr},
        {"text to object", text("x"), VT_DISPATCH, DISP_E_TYPEMISMATCH, {}, nullptr},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT out;
        VariantInit(&out);
        EXPECT_EQ(VariantChangeType(&out, &c.in, 0, c.to), c.hr);
        if (c.hr == S_OK) {
            EXPECT_EQ(out.vt, c.to);
            if (c.text) {
                EXPECT_EQ(plat::bstr_to_utf8(out.bstrVal), c.text);
            }
            if (c.number) {
                VARIANT as_double;
                VariantInit(&as_double);
                ASSERT_EQ(VariantChangeType(&as_double, &out, 0, VT_R8), S_OK);
                EXPECT_EQ(as_double.dblVal, *c.number);
            }
        } else {
            EXPECT_EQ(out.vt, VT_EMPTY) << "a failed conversion leaves the destination alone";
        }
        VariantClear(&out);
        VariantClear(&c.in);
    }
}

TEST(Variant, ChangeTypeInPlaceAndThroughAReference)
{
    VARIANT v = text("17");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 17);

    VARIANT inner = text("9");
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &inner;
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_UI4), S_OK);
    EXPECT_EQ(out.ulVal, 9u);
    EXPECT_EQ(VariantClear(&ref), S_OK) << "a reference does not own its value";
    EXPECT_EQ(plat::bstr_to_utf8(inner.bstrVal), "9");
    VariantClear(&inner);
}

TEST(Variant, CopyAndClearOwnTextsAndReferences)
{
    auto* object = new Counted();
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_UNKNOWN;
    a.punkVal = object;
    VARIANT b;
    VariantInit(&b);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(object->refs(), 2u);
    VariantClear(&b);
    EXPECT_EQ(object->refs(), 1u);

    VARIANT s = text("same");
    ASSERT_EQ(VariantCopy(&b, &s), S_OK);
    EXPECT_NE(b.bstrVal, s.bstrVal);
    EXPECT_EQ(plat::bstr_to_utf8(b.bstrVal), "same");
    VariantClear(&s);
    VariantClear(&b);
    VariantClear(&a);   // the last reference

    VARIANT array;
    VariantInit(&array);
    array.vt = VT_ARRAY | VT_I4;
    EXPECT_EQ(VariantClear(&array), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&b, &array), DISP_E_BADVARTYPE);
}

TEST(Variant, BstrCompare)
{
    plat::Bstr logger(u"Logger"), lower(u"logger"), empty(u""), longer(u"Loggers");
    EXPECT_EQ(VarBstrCmp(logger.get(), logger.get(), 1024, 0), VARCMP_EQ);
    EXPECT_EQ(VarBstrCmp(logger.get(), lower.get(), 1024, 0), VARCMP_LT);
    EXPECT_EQ(VarBstrCmp(logger.get(), lower.get(), 1024, NORM_IGNORECASE), VARCMP_EQ);
    EXPECT_EQ(VarBstrCmp(longer.get(), logger.get(), 1024, 0), VARCMP_GT);
    EXPECT_EQ(VarBstrCmp(nullptr, empty.get(), 1024, 0), VARCMP_EQ);
}
