#pragma once
// The video engine's exports.

#include "components/common/controlengine/IBaseControl.h"

extern "C" {
IBaseControl* CreateQuelmInstance();
void ReleaseQuelmInstance(IBaseControl* engine);
// The object engines made from now on tell about their video renderer
// (0x10000 with the renderer, 0x10001 when the graph goes): the video layer,
// which attaches its presenter. Null: none.
void RegisterQuelmGraphNotify(IBaseEventHandler* notify);
}
