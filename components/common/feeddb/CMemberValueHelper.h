#pragma once
// Base of the COM feed objects: holds their record and moves one of its
// string members across the COM boundary (UTF-8 inside, BSTR outside).

#include "platform/base/Bstr.h"
#include "platform/base/HResult.h"
#include "platform/base/Utf.h"

#include <string>

template <class T>
class CMemberValueHelper {
protected:
    // A new BSTR of the member; an empty member gives an empty, not a null, BSTR.
    HRESULT GetMember(std::string T::*member, BSTR* out) const
    {
        if (!out)
            return E_POINTER;
        const std::u16string wide = plat::utf8_to_utf16(m_value.*member);
        *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    // A null BSTR stores the empty text.
    HRESULT PutMember(std::string T::*member, BSTR value)
    {
        m_value.*member = plat::bstr_to_utf8(value);
        return S_OK;
    }

    T m_value;
};
