#pragma once
// For tests that drive IDispatch: text arguments and name lookups.

#include "platform/automation/Dispatch.h"

#include <string>
#include <string_view>

namespace plat {

// A VT_BSTR VARIANT the caller clears.
inline VARIANT bstr_variant(std::string_view utf8)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = Bstr::from_utf8(utf8).detach();
    return v;
}

// The DISPID of a name; *result takes GetIDsOfNames' result when asked for.
inline DISPID dispid_of(IDispatch* object, std::u16string_view name, HRESULT* result = nullptr)
{
    std::u16string copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (result)
        *result = hr;
    return id;
}

}
