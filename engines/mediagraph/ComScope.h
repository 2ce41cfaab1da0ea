#pragma once
// COM initialised for one scope of the calling thread: graphs are built on
// whichever thread sends the command, and filters are made on it.

#include "platform/com/Com.h"

namespace mediagraph {

class ComScope {
public:
    ComScope() : m_result(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    const HRESULT m_result;
};

}
