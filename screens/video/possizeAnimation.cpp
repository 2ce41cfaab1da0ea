#include "screens/video/possizeAnimation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

void possizeAnimation::Start(const moveparams& block)
{
    m_block = block;
    TakeOwnerPlace(Rules::Clear);
    Begin();
}

void possizeAnimation::Step()
{
    if (!IsRunning()) return;
    videogeometry& g = m_owner->Geometry();
    g.current_height = SnapNear(EaseToward(g.current_height, m_block.target_height, m_divisor), m_block.target_height);
    g.current_width = EaseToward(g.current_width, m_block.target_width, m_divisor);
    m_block.target_width = m_block.target_height * g.shown_aspect;
    g.current_width = SnapNear(g.current_width, m_block.target_width);
    g.y = SnapNear(EaseToward(g.y, m_block.y, m_divisor), m_block.y);

    m_owner->SetSize(g.current_width, g.current_height);
    m_owner->SetPos((ParentWidth() - g.current_width) / 2, g.y);
    m_owner->UpdateLayout();
    if (std::fabs(m_block.target_height - g.current_height) < Threshold &&
        std::fabs(m_block.target_width - g.current_width) < Threshold && std::fabs(m_block.y - g.y) < Threshold)
        Finish();
    m_owner->Invalidate();
}

void possizeAnimation::Finish()
{
    m_owner->UpdateLayout();
    Report();
}

}
