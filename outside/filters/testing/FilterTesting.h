#pragma once
// Test support for the filters: the registered module, filters made by
// class id, pins by direction, and what ffmpeg's tools say of a file.

#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/script/testing/ModuleTesting.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// What a command prints on its standard output.
inline std::vector<BYTE> output_of(const std::string& command)
{
    std::vector<BYTE> bytes;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return bytes;
    BYTE buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    ::pclose(pipe);
    return bytes;
}

inline std::string text_of(const std::string& command)
{
    const std::vector<BYTE> bytes = output_of(command);
    return {bytes.begin(), bytes.end()};
}

// The filters module registered in a temporary registry, COM initialised.
class RegisteredFilters : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE}));
    }
    void TearDown() override { CoUninitialize(); }

    static plat::ComPtr<IBaseFilter> create(const CLSID& clsid)
    {
        plat::ComPtr<IBaseFilter> filter;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void()), S_OK);
        return filter;
    }

    // The filter's first pin of that direction (the filter keeps it alive).
    static IPin* pin(IBaseFilter* filter, PIN_DIRECTION direction, int skip = 0)
    {
        plat::ComPtr<IEnumPins> pins;
        filter->EnumPins(pins.put());
        for (plat::ComPtr<IPin> p; pins->Next(1, p.put(), nullptr) == S_OK;) {
            PIN_DIRECTION d;
            p->QueryDirection(&d);
            if (d == direction && skip-- == 0) return p.get();
        }
        return nullptr;
    }

    // The major type of the first type the pin offers.
    static GUID offered_major(IPin* pin)
    {
        plat::ComPtr<IEnumMediaTypes> types;
        AM_MEDIA_TYPE* type = nullptr;
        if (FAILED(pin->EnumMediaTypes(types.put())) || types->Next(1, &type, nullptr) != S_OK) return GUID_NULL;
        const GUID major = type->majortype;
        DeleteMediaType(type);
        return major;
    }

    plat::TemporaryRegistry registry;
};
