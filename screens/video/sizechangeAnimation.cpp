#include "screens/video/sizechangeAnimation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

void sizechangeAnimation::Start(float, float target_height)
{
    Begin();
    m_target_height = target_height;
}

void sizechangeAnimation::Step()
{
    if (!IsRunning()) return;
    videogeometry& g = m_owner->Geometry();
    g.current_height = EaseToward(g.current_height, m_target_height, Divisor);
    g.current_width = WidthForHeight(g.current_height, g.aspect);
    const bool arrived = std::fabs(m_target_height - g.current_height) < Threshold;
    if (arrived) {
        g.current_height = m_target_height;
        g.current_width = WidthForHeight(g.current_height, g.aspect);
    }
    m_owner->SetSize(g.current_width, g.current_height);
    m_owner->SetPos((ParentWidth() - g.current_width) / 2, (ParentHeight() - g.current_height) / 2);
    if (arrived) Finish();
    m_owner->Invalidate();
}

void sizechangeAnimation::Finish() { Report(); }

}
