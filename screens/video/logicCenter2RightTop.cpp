#include "screens/video/logicCenter2RightTop.h"

#include "components/common/regutil/ProgramKey.h"
#include "screens/video/videoplaywindow.h"

#include "components/common/services/RegRead.h"

#include <cmath>

namespace UI {

void logicCenter2RightTop::Update()
{
    if (m_ratio.IsRunning()) m_ratio.Step();
    if (m_move.IsRunning()) m_move.Step();
}

void logicCenter2RightTop::StartMove()
{
    const float aspect = m_owner->Geometry().aspect;
    moveparams block;
    block.target_width = 184;
    block.target_height = std::trunc(HeightForWidth(184, aspect));
    block.x = 9;
    block.y = 25;
    block.x_rule = MoveFromFar;
    const DWORD bottom = ReadRegDword(HKEY_CURRENT_USER, ProgramKey, u"VideoRightBottom", 1);
    block.y_rule = bottom != 0 ? MoveFromFar : MoveFromNear;
    m_move.Start(block);
}

}
