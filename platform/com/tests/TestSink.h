#pragma once
// The interface the local server tests serve, and how it crosses
// (TestSink.cpp): method 1 is Record.

#include "platform/com/LocalMarshalling.h"

inline constexpr IID IID_ITestSink = plat::make_guid("{6A0F3B2C-55D1-4E9A-8C3B-0D7E9F1A2B02}");

struct ITestSink : IUnknown {
    static constexpr const IID& iid = IID_ITestSink;
    virtual HRESULT Record(LONG first, LONG second) = 0;

protected:
    ~ITestSink() = default;
};

const plat::LocalInterface& test_sink_marshalling();
