#include "platform/dshow/SystemClock.h"

#include <chrono>

namespace plat {

HRESULT SystemClock::GetTime(REFERENCE_TIME* time)
{
    if (!time) return E_POINTER;
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
    *time = std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return S_OK;
}

}
