#include "screens/video/warningAnimation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

void warningAnimation::Start(const moveparams& block)
{
    m_block = block;
    TakeOwnerPlace(Rules::Clear);
    Begin();
}

void warningAnimation::Step()
{
    if (!IsRunning()) return;
    videogeometry& g = m_owner->Geometry();
    g.current_height = SnapNear(EaseToward(g.current_height, m_block.target_height, Divisor), m_block.target_height);
    g.current_width = SnapNear(EaseToward(g.current_width, m_block.target_width, Divisor), m_block.target_width);
    m_owner->SetSize(g.current_width, g.current_height);
    m_owner->SetPos((ParentWidth() - g.current_width) / 2, (ParentHeight() - g.current_height) / 2);
    m_owner->UpdateLayout();
    if (std::fabs(m_block.target_height - g.current_height) < Threshold &&
        std::fabs(m_block.target_width - g.current_width) < Threshold)
        Finish();
    m_owner->Invalidate();
}

void warningAnimation::Finish()
{
    m_owner->UpdateLayout();
    Report();
}

}
