#pragma once
// Interfaces and class ids of the test server module (TestModule.cpp).

#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_TestCounter = plat::make_guid("{3C0D8E51-7A2B-4E6F-9D10-2B5F6C7A8E01}");
inline constexpr IID IID_ITestCounter = plat::make_guid("{3C0D8E51-7A2B-4E6F-9D10-2B5F6C7A8E02}");
inline constexpr IID IID_ITestNamedCounter = plat::make_guid("{3C0D8E51-7A2B-4E6F-9D10-2B5F6C7A8E03}");
inline constexpr IID IID_ITestFactoryUser = plat::make_guid("{3C0D8E51-7A2B-4E6F-9D10-2B5F6C7A8E04}");

struct ITestCounter : IUnknown {
    static constexpr const IID& iid = IID_ITestCounter;
    virtual LONG Next() = 0;

protected:
    ~ITestCounter() = default;
};

struct ITestNamedCounter : ITestCounter {
    static constexpr const IID& iid = IID_ITestNamedCounter;
    using base = ITestCounter;
    virtual const char* Name() = 0;

protected:
    ~ITestNamedCounter() = default;
};

// Creates another object by class id from inside the module.
struct ITestFactoryUser : IUnknown {
    static constexpr const IID& iid = IID_ITestFactoryUser;
    virtual HRESULT CreateByClassId(REFCLSID clsid, REFIID iid, void** object) = 0;

protected:
    ~ITestFactoryUser() = default;
};
