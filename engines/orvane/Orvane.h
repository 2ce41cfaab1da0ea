#pragma once
// The exports of the transcode engine library.

#include "components/common/controlengine/IBaseControl.h"

extern "C" {
// A new transcode engine, or null when it cannot be made.
IBaseControl* CreateOrvaneInstance();
// Destroys an engine made by CreateOrvaneInstance; null is ignored.
void ReleaseOrvaneInstance(IBaseControl* control);
}
