#include "toolkit/genericlist/wtlistAnimation.h"

#include "toolkit/genericlist/wtlist.h"

#include <algorithm>
#include <cmath>

namespace UI {

float wtlistAnimation::Bottom() const { return m_list.GetContentHeight() - m_list.GetHeight(); }

void wtlistAnimation::ScrollBy(float delta)
{
    m_overscrolled = false;
    m_target -= delta;
    if (!m_override) {
        if (m_target < -m_margin)
            m_target = -2 * m_margin;
        else if (m_target > Bottom() + m_margin)
            m_target = Bottom() + 2 * m_margin;
    }
    m_list.Invalidate();
}

void wtlistAnimation::Step()
{
    const float bottom = Bottom();
    if (m_current == m_target) {
        m_overscrolled = false;
        if (bottom > 0 && m_target > bottom) {
            m_target = bottom;
            m_overscrolled = true;
            m_list.Invalidate();
        }
        if (m_target < 0) {
            m_target = 0;
            m_overscrolled = true;
            m_list.Invalidate();
        }
        return;
    }
    float step = (m_target - m_current) / 10;
    if (std::fabs(step) < 3)
        step = std::copysign(3.0f, m_target - m_current);
    if (!(m_override && m_overscrolled))
        m_current += step;
    float snap = 3;
    if (!m_override && (m_current < -m_margin || m_current >= bottom + m_margin)) {
        m_overscrolled = true;
        snap = 8;
    }
    const bool close = std::fabs(m_target - m_current) < snap;
    if (close)
        m_current = m_target;
    if (m_overscrolled && !m_override) {
        if (m_target <= -m_margin)
            m_target = 0;
        else if (m_target >= bottom + m_margin)
            m_target = std::max(bottom, 0.0f);
    }
    m_list.Invalidate();
}

}
