#include "engines/wemble/Wemble.h"

#include "engines/wemble/CPlayControl.h"
#include "outside/quelm/Quelm.h"
#include "platform/base/DebugLog.h"

extern "C" IBaseControl* CreatePlayCtrlInstance()
{
    try {
        CPlayControl::Options options;
        options.create_engine = CreateQuelmInstance;
        options.release_engine = ReleaseQuelmInstance;
        return new CPlayControl(options);
    } catch (const std::exception& e) {
        plat::debug_log(std::string("PlayControl: cannot start: ") + e.what());
        return nullptr;
    }
}

extern "C" void ReleasePlayCtrlInstance(IBaseControl* control)
{
    delete static_cast<CPlayControl*>(control);
}
