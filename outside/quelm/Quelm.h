#pragma once
// The video engine's exports.

#include "components/common/controlengine/IBaseControl.h"

extern "C" {
IBaseControl* CreateQuelmInstance();
void ReleaseQuelmInstance(IBaseControl* engine);
}
