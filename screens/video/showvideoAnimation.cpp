#include "screens/video/showvideoAnimation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

void showvideoAnimation::Start(const moveparams& block)
{
    m_block = block;
    TakeOwnerPlace(Rules::Clear);
    Begin();
}

// A quarter of the way, but at least one pixel (a zero step counts as
// negative); within a pixel it lands on the target.
float showvideoAnimation::StepAtLeastOne(float value, float target) const
{
    float step = (target - value) / Divisor;
    if (std::fabs(step) < 1) step = step > 0 ? 1.0f : -1.0f;
    value += step;
    return std::fabs(target - value) < 1 ? target : value;
}

void showvideoAnimation::Step()
{
    if (!IsRunning()) return;
    videogeometry& g = m_owner->Geometry();
    g.current_height = StepAtLeastOne(g.current_height, m_block.target_height);
    m_block.target_width = m_block.target_height * g.shown_aspect;
    g.current_width = std::trunc(WidthForHeight(g.current_height, g.aspect));
    g.y = StepAtLeastOne(g.y, m_block.y);
    m_block.x = (ParentWidth() - m_block.target_width) / 2;
    g.x = StepAtLeastOne(g.x, m_block.x);

    m_owner->SetSize(std::trunc(g.current_width), std::trunc(g.current_height));
    m_owner->SetPos(std::trunc(g.x), std::trunc(g.y));
    m_owner->UpdateLayout();
    if (std::fabs(m_block.target_height - g.current_height) < Threshold) Finish();
    m_owner->Invalidate();
}

void showvideoAnimation::Finish()
{
    m_owner->UpdateLayout();
    Report();
}

}
