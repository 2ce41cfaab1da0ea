#include "engines/orvane/Orvane.h"

#include "engines/orvane/CTranscodeControl.h"
#include "platform/base/DebugLog.h"

namespace {

constexpr DWORD position_period_ms = 1000;

}

extern "C" IBaseControl* CreateOrvaneInstance()
{
    try {
        return new CTranscodeControl(plat::create_registered_filter, position_period_ms);
    } catch (const std::exception& e) {
        plat::debug_log(std::string("Transcode: cannot start: ") + e.what());
        return nullptr;
    }
}

extern "C" void ReleaseOrvaneInstance(IBaseControl* control)
{
    delete static_cast<CTranscodeControl*>(control);
}
