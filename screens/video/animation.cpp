#include "screens/video/animation.h"

#include "screens/video/videoplaywindow.h"

#include <cmath>

namespace UI {

float SnapNear(float value, float target)
{
    const float distance = std::fabs(target - value);
    return distance > 0 && distance < 1 ? target : value;
}

void animation::Step()
{
    if (m_running) Finish();
}

void animation::Report()
{
    m_running = false;
    m_owner->OnAnimationDone(m_kind);
}

widget* animation::OwnerParent() const { return m_owner->GetParent(); }

float animation::ParentWidth() const { return OwnerParent() ? OwnerParent()->GetWidth() : 0; }

float animation::ParentHeight() const { return OwnerParent() ? OwnerParent()->GetHeight() : 0; }

void animation::TakeOwnerPlace(Rules rules)
{
    if (rules == Rules::Clear) m_owner->SetPosRule(0, 0, 0, 0);
    videogeometry& g = m_owner->Geometry();
    g.x = m_owner->GetX();
    g.y = m_owner->GetY();
    g.current_width = m_owner->GetWidth();
    g.current_height = m_owner->GetHeight();
}

}
