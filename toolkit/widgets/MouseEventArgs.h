#pragma once
// The record of a mouse event as the UI manager delivers it to widgets.

#include "toolkit/widgets/EventSet.h"

#include "toolkit/render/Geometry.h"

namespace UI {

struct MouseEventArgs : EventArgs {
    fpoint position{0, 0};   // client coordinates
    fpoint second{0, 0};     // the wheel delta in x for wheel events
    int kind{6};
    BYTE cursor_set{0};      // a widget chose the cursor itself
};

}
