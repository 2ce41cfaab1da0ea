#pragma once
// VARIANT as OLE Automation lays it out, and the Variant* functions the
// system's automation code calls. Arrays are not offered: VT_ARRAY exists as
// a flag that callers test, and a VARIANT carrying it is refused.

#include "platform/base/Bstr.h"
#include "platform/base/HResult.h"

struct IUnknown;
struct IDispatch;

using VARTYPE = USHORT;
using VARIANT_BOOL = SHORT;
using LCID = DWORD;
using DATE = double;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI4 = 19,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        SHORT iVal;
        ULONG ulVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        VARIANT* pvarVal;
        BSTR* pbstrVal;
        LONG* plVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;

inline constexpr USHORT VARIANT_NOVALUEPROP = 0x1;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x2;

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = hresult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = hresult(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = hresult(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = hresult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = hresult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = hresult(0x8002000A);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = hresult(0x8002000E);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = hresult(0x8002802B);

// VarBstrCmp results and flags.
inline constexpr HRESULT VARCMP_LT = 0;
inline constexpr HRESULT VARCMP_EQ = 1;
inline constexpr HRESULT VARCMP_GT = 2;
inline constexpr ULONG NORM_IGNORECASE = 0x1;

void VariantInit(VARIANT* v) noexcept;
// Frees a BSTR, releases an interface; a by-reference value is not owned.
// DISP_E_BADVARTYPE for an array or an unknown type (the VARIANT is left as it was).
HRESULT VariantClear(VARIANT* v) noexcept;
// Deep copy: a new BSTR, an added reference. The destination is cleared first.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept;
// Converts src (following one level of VT_BYREF) to vt into dest, which may be src.
// Texts and numbers convert both ways; DISP_E_TYPEMISMATCH when there is no
// conversion, DISP_E_OVERFLOW when a number does not fit.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) noexcept;
// VARCMP_LT/EQ/GT; a null BSTR equals the empty text. NORM_IGNORECASE folds ASCII case.
HRESULT VarBstrCmp(BSTR left, BSTR right, LCID lcid, ULONG flags) noexcept;

namespace plat {

// Owns one VARIANT: cleared when dropped.
class Variant {
public:
    Variant() { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &m_v; }
    const VARIANT* get() const { return &m_v; }
    VARIANT* operator->() { return &m_v; }
    const VARIANT* operator->() const { return &m_v; }

private:
    VARIANT m_v;
};

// The text Windows gives for an HRESULT from its message table; empty when unknown.
std::string hresult_message(HRESULT hr);

// A VT_I4 VARIANT holding value, as an index argument is passed; nothing to clear.
inline VARIANT long_variant(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

}
