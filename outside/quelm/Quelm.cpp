#include "outside/quelm/Quelm.h"

#include "outside/quelm/QuelmControl.h"
#include "platform/base/DebugLog.h"

#include <atomic>

namespace {

constexpr DWORD position_period_ms = 1000;

std::atomic<IBaseEventHandler*> graph_notify{nullptr};

}

extern "C" IBaseControl* CreateQuelmInstance()
{
    try {
        return new QuelmControl(plat::create_registered_filter, position_period_ms, graph_notify.load());
    } catch (const std::exception& e) {
        plat::debug_log(std::string("Quelm: cannot start: ") + e.what());
        return nullptr;
    }
}

extern "C" void ReleaseQuelmInstance(IBaseControl* engine)
{
    delete static_cast<QuelmControl*>(engine);
}

extern "C" void RegisterQuelmGraphNotify(IBaseEventHandler* notify)
{
    graph_notify = notify;
}
