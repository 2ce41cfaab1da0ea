#include "engines/wemble/Wemble.h"

#include "engines/wemble/CPlayControl.h"
#include "platform/base/DebugLog.h"

extern "C" IBaseControl* CreatePlayCtrlInstance()
{
    try {
        return new CPlayControl(CPlayControl::Options{});
    } catch (const std::exception& e) {
        plat::debug_log(std::string("PlayControl: cannot start: ") + e.what());
        return nullptr;
    }
}

extern "C" void ReleasePlayCtrlInstance(IBaseControl* control)
{
    delete static_cast<CPlayControl*>(control);
}
