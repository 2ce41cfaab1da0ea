#pragma once
// IDispatch and the structures of a dispatch call, with their Windows numbers.

#include "platform/automation/Variant.h"
#include "platform/com/Unknown.h"

using DISPID = LONG;
using LPOLESTR = WCHAR*;
using LPCOLESTR = const WCHAR*;
using SCODE = LONG;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr LCID LOCALE_USER_DEFAULT = 0x400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;

// Arguments stand in reverse order: rgvarg[cArgs - 1] is the first.
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

struct ITypeInfo;   // never handed out: GetTypeInfo answers E_NOTIMPL

inline constexpr IID IID_IDispatch = plat::make_guid("{00020400-0000-0000-C000-000000000046}");

struct IDispatch : IUnknown {
    static constexpr const IID& iid = IID_IDispatch;
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT* arg_error) = 0;

protected:
    ~IDispatch() = default;
};

namespace plat {

// Frees the texts of an EXCEPINFO and zeroes it.
void clear_excepinfo(EXCEPINFO& info) noexcept;

}
