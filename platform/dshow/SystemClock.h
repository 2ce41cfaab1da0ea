#pragma once
// plat::SystemClock: the reference clock a graph uses when none of its filters
// offers one, on the monotonic system clock.

#include "platform/com/ComObject.h"
#include "platform/dshow/Interfaces.h"

namespace plat {

class SystemClock final : public ComObject<IReferenceClock> {
public:
    HRESULT GetTime(REFERENCE_TIME* time) override;
};

}
