#include "toolkit/uimgr/uiMgr.h"

namespace UI {

uiMgr& uiMgr::Instance()
{
    static uiMgr manager;
    return manager;
}

}
