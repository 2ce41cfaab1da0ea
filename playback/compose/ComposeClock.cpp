#include "ComposeClock.h"

#include "platform/base/Time.h"

#include <chrono>

namespace {

class SystemComposeClock final : public ComposeClock {
public:
    std::int64_t counter() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t frequency() override { return 1'000'000'000; }
    void sleep(DWORD milliseconds) override { Sleep(milliseconds); }
};

}

std::unique_ptr<ComposeClock> make_system_compose_clock() { return std::make_unique<SystemComposeClock>(); }
