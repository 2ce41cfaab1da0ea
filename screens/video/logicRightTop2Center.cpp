#include "screens/video/logicRightTop2Center.h"

#include "screens/video/videoplaywindow.h"

namespace UI {

void logicRightTop2Center::Update()
{
    if (m_ratio.IsRunning()) m_ratio.Step();
    if (m_move.IsRunning()) m_move.Step();
}

void logicRightTop2Center::StartMove()
{
    const widget* parent = m_owner->GetParent();
    const float parent_width = parent ? parent->GetWidth() : 0;
    const float parent_height = parent ? parent->GetHeight() : 0;
    moveparams block;
    block.target_height = 364;
    block.target_width = float(int(WidthForHeight(364, m_owner->Geometry().shown_aspect)));
    block.x = float(int(parent_width - block.target_width) / 2);
    block.y = float(int(parent_height - 364) / 2);
    m_move.Start(block);
}

}
