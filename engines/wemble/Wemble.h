#pragma once
// The exports of the play controller library.

#include "components/common/controlengine/IBaseControl.h"

extern "C" {
// A new play controller, or null when it cannot be made.
IBaseControl* CreatePlayCtrlInstance();
// Destroys a controller made by CreatePlayCtrlInstance; null is ignored.
void ReleasePlayCtrlInstance(IBaseControl* control);
}
