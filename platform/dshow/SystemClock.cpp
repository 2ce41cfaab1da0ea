#include "platform/dshow/SystemClock.h"

#include <chrono>

namespace plat {

HRESULT SystemClock::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IReferenceClock) {
        *object = static_cast<IReferenceClock*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG SystemClock::AddRef() { return ++m_ref; }

ULONG SystemClock::Release()
{
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time)
{
    if (!time) return E_POINTER;
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
    *time = std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return S_OK;
}

}
