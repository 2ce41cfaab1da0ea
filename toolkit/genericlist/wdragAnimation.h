// The flight of the generic list's drag window: position and size each move
// a sixth of the way (at least 1) to the target and a 74 x 60 size, and snap
// within 1.
#pragma once

#include "toolkit/render/Geometry.h"

namespace UI {

class wdragAnimation {
public:
    void Start(frect from, fpoint to);
    // The next geometry (x, y, width, height); the flight ends when it arrives.
    frect Step();
    bool IsRunning() const { return m_running; }

private:
    frect m_now{0, 0, 0, 0};
    fpoint m_to{0, 0};
    bool m_running{false};
};

}
