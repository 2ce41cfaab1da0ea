#include "platform/automation/Variant.h"

#include "platform/automation/Dispatch.h"
#include "platform/base/Utf.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

bool is_interface(VARTYPE vt) { return vt == VT_DISPATCH || vt == VT_UNKNOWN; }

bool is_known_scalar(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_UI4: case VT_R8: case VT_BOOL: case VT_ERROR:
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
        return true;
    default:
        return false;
    }
}

// The value a by-reference VARIANT points at, copied shallowly (owned by the referee).
HRESULT dereference(const VARIANT& src, VARIANT& out)
{
    if (!(src.vt & VT_BYREF)) {
        out = src;
        return S_OK;
    }
    if (!src.byref)
        return E_INVALIDARG;
    VariantInit(&out);
    switch (src.vt & ~VT_BYREF) {
    case VT_VARIANT: return dereference(*src.pvarVal, out);
    case VT_BSTR: out.vt = VT_BSTR; out.bstrVal = *src.pbstrVal; return S_OK;
    case VT_I4: out.vt = VT_I4; out.lVal = *src.plVal; return S_OK;
    default: return DISP_E_BADVARTYPE;
    }
}

// Numbers, booleans and the empty value as a double; text parsed whole.
HRESULT to_double(const VARIANT& v, double& out)
{
    switch (v.vt) {
    case VT_EMPTY: out = 0; return S_OK;
    case VT_I2: out = v.iVal; return S_OK;
    case VT_I4: out = v.lVal; return S_OK;
    case VT_UI4: out = v.ulVal; return S_OK;
    case VT_R8: out = v.dblVal; return S_OK;
    case VT_BOOL: out = v.boolVal ? -1 : 0; return S_OK;
    case VT_BSTR: {
        std::string text = plat::bstr_to_utf8(v.bstrVal);
        const char* begin = text.c_str();
        while (*begin == ' ' || *begin == '\t') ++begin;
        if (*begin == 0)
            return DISP_E_TYPEMISMATCH;
        char* end = nullptr;
        errno = 0;
        double value = std::strtod(begin, &end);
        while (*end == ' ' || *end == '\t') ++end;
        if (*end != 0 || std::isnan(value))
            return DISP_E_TYPEMISMATCH;
        if (errno == ERANGE || std::isinf(value))
            return DISP_E_OVERFLOW;
        out = value;
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

template <class N>
HRESULT to_integer(const VARIANT& v, N& out)
{
    double value = 0;
    HRESULT hr = to_double(v, value);
    if (FAILED(hr))
        return hr;
    // Windows rounds a fraction to the nearest integer, halves to even.
    std::fesetround(FE_TONEAREST);
    value = std::nearbyint(value);
    if (value < static_cast<double>(std::numeric_limits<N>::min()) ||
        value > static_cast<double>(std::numeric_limits<N>::max()))
        return DISP_E_OVERFLOW;
    out = static_cast<N>(value);
    return S_OK;
}

std::string number_text(double value)
{
    char buffer[64];
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
    else
        std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

HRESULT to_text(const VARIANT& v, USHORT flags, BSTR& out)
{
    std::string text;
    switch (v.vt) {
    case VT_EMPTY: break;
    case VT_BSTR: out = SysAllocStringLen(v.bstrVal, SysStringLen(v.bstrVal)); return out ? S_OK : E_OUTOFMEMORY;
    case VT_BOOL:
        text = (flags & VARIANT_ALPHABOOL) ? (v.boolVal ? "True" : "False") : (v.boolVal ? "-1" : "0");
        break;
    case VT_I2: text = std::to_string(v.iVal); break;
    case VT_I4: text = std::to_string(v.lVal); break;
    case VT_UI4: text = std::to_string(v.ulVal); break;
    case VT_R8: text = number_text(v.dblVal); break;
    default: return DISP_E_TYPEMISMATCH;
    }
    out = plat::Bstr::from_utf8(text).detach();
    return out ? S_OK : E_OUTOFMEMORY;
}

bool same_word(std::u16string_view text, std::u16string_view word)
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i] >= u'a' && text[i] <= u'z' ? static_cast<char16_t>(text[i] - u'a' + u'A') : text[i];
        char16_t w = word[i] >= u'a' && word[i] <= u'z' ? static_cast<char16_t>(word[i] - u'a' + u'A') : word[i];
        if (c != w)
            return false;
    }
    return true;
}

HRESULT to_bool(const VARIANT& v, VARIANT_BOOL& out)
{
    if (v.vt == VT_BSTR) {
        std::u16string_view text{v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal)};
        if (same_word(text, u"True")) { out = VARIANT_TRUE; return S_OK; }
        if (same_word(text, u"False")) { out = VARIANT_FALSE; return S_OK; }
    }
    double value = 0;
    HRESULT hr = to_double(v, value);
    if (FAILED(hr))
        return hr;
    out = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT to_interface(const VARIANT& v, VARTYPE vt, VARIANT& out)
{
    if (v.vt == VT_EMPTY) {
        out.vt = vt;
        out.punkVal = nullptr;
        return S_OK;
    }
    if (!is_interface(v.vt))
        return DISP_E_TYPEMISMATCH;
    void* found = nullptr;
    if (v.punkVal) {
        HRESULT hr = v.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &found);
        if (FAILED(hr))
            return DISP_E_TYPEMISMATCH;
    }
    out.vt = vt;
    out.punkVal = static_cast<IUnknown*>(found);
    return S_OK;
}

HRESULT convert(const VARIANT& v, USHORT flags, VARTYPE vt, VARIANT& out)
{
    VariantInit(&out);
    if (v.vt == VT_NULL && vt != VT_NULL && vt != VT_EMPTY)
        return DISP_E_TYPEMISMATCH;
    switch (vt) {
    case VT_EMPTY: return S_OK;
    case VT_NULL: out.vt = VT_NULL; return S_OK;
    case VT_BSTR: { BSTR text = nullptr; HRESULT hr = to_text(v, flags, text); if (SUCCEEDED(hr)) { out.vt = VT_BSTR; out.bstrVal = text; } return hr; }
    case VT_I2: { HRESULT hr = to_integer(v, out.iVal); if (SUCCEEDED(hr)) out.vt = VT_I2; return hr; }
    case VT_I4: { HRESULT hr = to_integer(v, out.lVal); if (SUCCEEDED(hr)) out.vt = VT_I4; return hr; }
    case VT_UI4: { HRESULT hr = to_integer(v, out.ulVal); if (SUCCEEDED(hr)) out.vt = VT_UI4; return hr; }
    case VT_R8: { HRESULT hr = to_double(v, out.dblVal); if (SUCCEEDED(hr)) out.vt = VT_R8; return hr; }
    case VT_BOOL: { HRESULT hr = to_bool(v, out.boolVal); if (SUCCEEDED(hr)) out.vt = VT_BOOL; return hr; }
    case VT_DISPATCH:
    case VT_UNKNOWN: return to_interface(v, vt, out);
    default: return DISP_E_BADVARTYPE;
    }
}

}

void VariantInit(VARIANT* v) noexcept
{
    if (!v)
        return;
    v->vt = VT_EMPTY;
    v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
    v->dblVal = 0;
}

HRESULT VariantClear(VARIANT* v) noexcept
{
    if (!v)
        return E_INVALIDARG;
    if (v->vt & VT_BYREF) {
        VariantInit(v);
        return S_OK;
    }
    if (!is_known_scalar(v->vt))
        return DISP_E_BADVARTYPE;
    if (v->vt == VT_BSTR)
        SysFreeString(v->bstrVal);
    else if (is_interface(v->vt) && v->punkVal)
        v->punkVal->Release();
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    if (!(src->vt & VT_BYREF) && !is_known_scalar(src->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    } else if (is_interface(src->vt) && src->punkVal) {
        src->punkVal->AddRef();
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) noexcept
{
    if (!dest || !src)
        return E_INVALIDARG;
    VARIANT value;
    HRESULT hr = dereference(*src, value);
    if (FAILED(hr))
        return hr;
    if ((value.vt & (VT_ARRAY | VT_BYREF)) || !is_known_scalar(value.vt) || (vt & (VT_ARRAY | VT_BYREF)))
        return DISP_E_BADVARTYPE;
    VARIANT converted;
    if (value.vt == vt) {
        VariantInit(&converted);
        hr = VariantCopy(&converted, &value);
    } else {
        hr = convert(value, flags, vt, converted);
    }
    if (FAILED(hr))
        return hr;
    VariantClear(dest);
    *dest = converted;
    return S_OK;
}

HRESULT VarBstrCmp(BSTR left, BSTR right, LCID, ULONG flags) noexcept
{
    std::u16string_view a{left ? left : u"", SysStringLen(left)};
    std::u16string_view b{right ? right : u"", SysStringLen(right)};
    auto fold = [flags](char16_t c) -> char16_t {
        return (flags & NORM_IGNORECASE) && c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    };
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        char16_t x = fold(a[i]), y = fold(b[i]);
        if (x != y)
            return x < y ? VARCMP_LT : VARCMP_GT;
    }
    if (a.size() == b.size())
        return VARCMP_EQ;
    return a.size() < b.size() ? VARCMP_LT : VARCMP_GT;
}

namespace plat {

std::string hresult_message(HRESULT hr)
{
    static const struct { HRESULT hr; const char* text; } messages[] = {
        {E_FAIL, "Unspecified error"},
        {E_NOTIMPL, "Not implemented"},
        {E_NOINTERFACE, "No such interface supported"},
        {E_POINTER, "Invalid pointer"},
        {E_UNEXPECTED, "Catastrophic failure"},
        {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
        {E_INVALIDARG, "The parameter is incorrect."},
        {DISP_E_MEMBERNOTFOUND, "Member not found."},
        {DISP_E_TYPEMISMATCH, "Type mismatch."},
        {DISP_E_UNKNOWNNAME, "Unknown name."},
        {DISP_E_EXCEPTION, "Exception occurred."},
        {DISP_E_OVERFLOW, "Out of present range."},
        {DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
        {TYPE_E_ELEMENTNOTFOUND, "Element not found."},
    };
    for (const auto& m : messages)
        if (m.hr == hr)
            return m.text;
    return {};
}

void clear_excepinfo(EXCEPINFO& info) noexcept
{
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
}

}

namespace plat::dispatch_detail {

bool same_name(std::u16string_view a, const WCHAR* b)
{
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0)
            return false;
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return b[i] == 0;
}

}
