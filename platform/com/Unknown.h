#pragma once
// IUnknown and IClassFactory with their Windows IIDs. Each interface names its
// own IID as `iid`, which ComPtr::as uses.

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

inline constexpr IID IID_IUnknown = plat::make_guid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = plat::make_guid("{00000001-0000-0000-C000-000000000046}");

struct IUnknown {
    static constexpr const IID& iid = IID_IUnknown;
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // COM objects die through Release, never through delete on an interface.
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static constexpr const IID& iid = IID_IClassFactory;
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};
