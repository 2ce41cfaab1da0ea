#include "screens/video/logicRightTop.h"

#include "screens/video/videoplaywindow.h"

namespace UI {

void logicRightTop::Update()
{
    if (m_ratio.IsRunning()) m_ratio.Step();
    m_owner->SetWidth(184);
    m_owner->KeepAspect();
    if (const widget* parent = m_owner->GetParent())
        m_owner->SetPos(parent->GetWidth() - m_owner->GetWidth() - 9, (140.25f - m_owner->GetHeight()) / 2 + 25);
    // The position rules the move to the corner left win over the place above.
    m_owner->UpdateLayout();
}

}
