#include "screens/video/hidevideoAnimation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

void hidevideoAnimation::Start(const moveparams& block)
{
    m_block = block;
    videogeometry& g = m_owner->Geometry();
    g.current_width = m_owner->GetWidth();
    g.current_height = m_owner->GetHeight();
    // A distance from the far edge starts where the centred window stands;
    // from the near edge the window takes its final distance at once.
    g.x = block.x_rule == MoveFromFar ? (ParentWidth() - g.current_width) / 2 : block.x;
    g.y = block.y_rule == MoveFromFar ? (ParentHeight() - g.current_height) / 2 : block.y;
    Begin();
}

void hidevideoAnimation::Step()
{
    if (!IsRunning()) return;
    videogeometry& g = m_owner->Geometry();
    g.current_height = EaseToward(g.current_height, m_block.target_height, Divisor);
    g.current_width = WidthForHeight(g.current_height, g.aspect);
    const float height_left = std::fabs(m_block.target_height - g.current_height);
    if (height_left > 0 && height_left < 1) {
        g.current_height = m_block.target_height;
        g.current_width = std::trunc(WidthForHeight(g.current_height, g.aspect));
    }
    g.y = EaseToward(g.y, m_block.y, Divisor);
    const float y_left = std::fabs(m_block.y - g.y);
    g.y = SnapNear(g.y, m_block.y);
    g.x = EaseToward(g.x, m_block.x, Divisor);
    const float x_left = std::fabs(m_block.x - g.x);
    g.x = SnapNear(g.x, m_block.x);

    m_owner->SetSize(std::trunc(g.current_width), std::trunc(g.current_height));
    const float y = m_block.y_rule == MoveFromFar ? ParentHeight() - m_owner->GetHeight() - g.y : g.y;
    const float x = m_block.x_rule == MoveFromFar ? ParentWidth() - m_owner->GetWidth() - g.x : g.x;
    m_owner->SetPos(std::trunc(x), std::trunc(y));
    m_owner->UpdateLayout();
    if (height_left < 1 && y_left < 1 && x_left < 1) Finish();
    m_owner->Invalidate();
}

void hidevideoAnimation::Finish()
{
    m_owner->SetPosRule(m_block.x_rule, m_block.y_rule, 9, 25);
    m_owner->UpdateLayout();
    Report();
}

}
