#include "screens/video/ratiochangeAnimation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

void ratiochangeAnimation::Start(float from, float to)
{
    Begin();
    m_to = to;
    m_owner->Geometry().shown_aspect = from;
}

void ratiochangeAnimation::Step()
{
    if (!IsRunning()) return;
    videogeometry& g = m_owner->Geometry();
    g.shown_aspect = EaseToward(g.shown_aspect, m_to, Divisor);
    if (std::fabs(m_to - g.shown_aspect) < Threshold) {
        g.shown_aspect = m_to;
        g.aspect = m_to;
        Finish();
    }
    m_owner->Invalidate();
}

void ratiochangeAnimation::Finish() { Report(); }

}
