#pragma once
// COM initialised for one scope of the calling thread, for code that creates
// objects on whatever thread calls it.

#include "platform/com/Com.h"

namespace plat {

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
