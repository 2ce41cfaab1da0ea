#pragma once
// IDispatch for the document's objects, which C++ callers use through their
// interfaces: it knows no names, so every call by name fails as Windows
// reports an unknown member.

#include "platform/automation/Dispatch.h"

namespace plat::html {

template <class Object>
class NamelessDispatch : public Object {
public:
    HRESULT GetTypeInfoCount(UINT* count) noexcept override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    ~NamelessDispatch() override = default;
};

}
