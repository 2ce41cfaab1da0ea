#include "toolkit/genericlist/wdragAnimation.h"

#include <cmath>

namespace UI {
namespace {

constexpr float LandedWidth = 74;
constexpr float LandedHeight = 60;

float approach(float from, float to)
{
    const float left = to - from;
    if (std::fabs(left) <= 1)
        return to;
    const float step = left / 6;
    return from + (std::fabs(step) < 1 ? std::copysign(1.0f, left) : step);
}

}  // namespace

void wdragAnimation::Start(frect from, fpoint to)
{
    m_now = from;
    m_to = to;
    m_running = true;
}

frect wdragAnimation::Step()
{
    m_now = {approach(m_now.x, m_to.x), approach(m_now.y, m_to.y), approach(m_now.width, LandedWidth),
             approach(m_now.height, LandedHeight)};
    m_running = !(m_now.x == m_to.x && m_now.y == m_to.y && m_now.width == LandedWidth &&
                  m_now.height == LandedHeight);
    return m_now;
}

}
