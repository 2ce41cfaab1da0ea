#pragma once
// plat::SystemClock: the reference clock a graph uses when none of its filters
// offers one, on the monotonic system clock.

#include "platform/dshow/Interfaces.h"

#include <atomic>

namespace plat {

class SystemClock final : public IReferenceClock {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTime(REFERENCE_TIME* time) override;

private:
    ~SystemClock() = default;
    std::atomic<ULONG> m_ref{0};
};

}
