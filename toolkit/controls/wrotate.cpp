#include "toolkit/controls/wrotate.h"

#include "core/settings/CAppSettings.h"
#include "toolkit/render/picture.h"

namespace UI {
namespace {

constexpr float RestSize = 16;
constexpr float FullSize = 64;
constexpr float BottomMargin = 25;
// The offset a fall starts with: an accelerating keyframe grows its distance
// from the start, so it must not start on it.
constexpr float FallHeadStart = 0.2f;

void start(slowerkeyframe& k, float from, float to, float divisor, float threshold)
{
    k.Init({0, from, to, divisor, threshold});
    k.Start();
}

float toward(float from, float to) { return to > from ? FallHeadStart : to < from ? -FallHeadStart : 0; }

}  // namespace

wrotate::wrotate(std::string name) : wimage(std::move(name))
{
    if (CAppSettings* settings = CAppSettings::Instance())
        m_filter = short(settings->GetMetric(13));
    Show(false);
    SetZOrder(1002);
}

float wrotate::CentredX() const
{
    const widget* parent = GetParent();
    return parent ? (parent->GetWidth() - RestSize) / 2 : 0;
}

float wrotate::Bottom() const
{
    const widget* parent = GetParent();
    return parent ? parent->GetHeight() - BottomMargin - RestSize : 0;
}

void wrotate::Rise(float from, float to)
{
    Show(true);
    SetPos(CentredX(), from);
    start(m_angle, 0, 18.84f, 6, 0.1f);
    start(m_rise_y, from, to, 6, 2);
    start(m_rise_size, RestSize, FullSize, 3, 1);
    m_state = Rising;
}

// The head start points toward the target, so a fall from below the bottom
// still arrives; a fall from the bottom itself has nothing to cover and ends.
void wrotate::Fall(float from, float to)
{
    Show(true);
    SetPos(CentredX(), from);
    start(m_angle, 3.14f, 0, 6, 0.1f);
    m_fall_y.Start({from, to, 0.4f});
    m_fall_size.Start({FullSize, RestSize, 0.4f});
    m_fall_y.SetCurrent(from + toward(from, to));
    m_fall_size.SetCurrent(FullSize - FallHeadStart);
    m_state = Falling;
}

void wrotate::PlayIn()
{
    const widget* parent = GetParent();
    Rise(Bottom(), parent ? parent->GetHeight() / 2 : 0);
}

void wrotate::FlyUp(float y) { Rise(Bottom(), y); }

void wrotate::PlayOut()
{
    const widget* parent = GetParent();
    Fall(parent ? parent->GetHeight() / 2 : 0, Bottom());
}

void wrotate::FlyDown(float y) { Fall(y, Bottom()); }

bool wrotate::Moving() const
{
    if (m_state == Rising)
        return !m_angle.IsIdle() || !m_rise_y.IsIdle() || !m_rise_size.IsIdle();
    if (m_state == Falling)
        return !m_angle.IsIdle() || !m_fall_y.HasReached() || !m_fall_size.HasReached();
    return false;
}

void wrotate::StepMotion()
{
    if (!m_angle.IsIdle())
        m_angle.Step(1);
    float y = 0, size = 0;
    if (m_state == Rising) {
        if (!m_rise_size.IsIdle())
            m_rise_size.Step(33);
        if (!m_rise_y.IsIdle())
            m_rise_y.Step(18);
        y = m_rise_y.GetValue();
        size = m_rise_size.GetValue();
    } else {
        if (!m_fall_y.HasReached())
            m_fall_y.StepMs(84);
        if (!m_fall_size.HasReached())
            m_fall_size.StepMs(101);
        y = m_fall_y.GetValue();
        size = m_fall_size.GetValue();
    }
    const widget* parent = GetParent();
    SetSize(size, size);
    SetPos(parent ? (parent->GetWidth() - size) / 2 : 0, y);
}

// The picture is the resource manager's and may be shown elsewhere too, so
// its rotation and filter are set for this draw only.
void wrotate::Draw()
{
    if (Moving())
        StepMotion();
    if (!Moving() && m_state != Resting) {
        Show(false);
        m_state = Resting;
        return;
    }
    RenderEngine::picture* picture = GetPicture();
    if (!picture) {
        wimage::Draw();
        return;
    }
    const float rotation = picture->m_rotation;
    const short filter = picture->m_filter;
    picture->m_rotation = m_angle.GetValue();
    picture->m_filter = m_filter;
    wimage::Draw();
    picture->m_rotation = rotation;
    picture->m_filter = filter;
}

}
