#include "keyframe.h"

#include "widget.h"

#include <algorithm>
#include <cmath>

namespace UI {

namespace {

constexpr int MaxStepMs = 33;

}

bool keyframe::Start()
{
    if (!IsIdle()) return false;
    m_state = KeyframeStarted;
    OnBegin();
    return true;
}

void widget_keyframe::Init(int kind, int start_ms, int end_ms, float from, float to)
{
    m_kind = kind;
    m_start = start_ms;
    m_end = end_ms;
    m_from = from;
    m_to = to;
    m_current = from;
    m_elapsed = 0;
    m_target_float = nullptr;
}

bool widget_keyframe::Start()
{
    if (!IsIdle()) return false;
    m_state = KeyframeStarted;
    return true;
}

float widget_keyframe::Interpolate() const
{
    const float value = m_from + (m_to - m_from) * float(m_elapsed - m_start) / float(m_end - m_start);
    return m_to >= m_from ? std::min(value, m_to) : std::max(value, m_to);
}

void widget_keyframe::Step(int ms)
{
    if (m_start >= m_end) {
        m_state = KeyframeReached;
        return;
    }
    m_elapsed += std::clamp(ms, 0, MaxStepMs);
    if (m_elapsed < m_start) return;
    if (m_state == KeyframeStarted) m_state = KeyframeRunning;
    if (m_elapsed > m_end) {
        m_state = KeyframeReached;
        // A value that already landed on its target is not applied twice, but
        // the end still shows or hides (a window that ends on a frame boundary).
        if (m_current != m_to) {
            m_current = m_to;
            Apply();
        }
        ShowOrHideAtEnd();
        return;
    }
    m_current = Interpolate();
    Apply();
}

void widget_keyframe::Finish()
{
    m_state = KeyframeReached;
    m_current = m_to;
    Apply();
    ShowOrHideAtEnd();
}

void widget_keyframe::ShowOrHideAtEnd()
{
    if (m_target == nullptr || m_to == m_from) return;
    if (m_kind == KeyAlpha || m_kind == KeyVisibility) {
        m_target->Show(m_to > m_from);
        m_target->Invalidate();
    }
}

void widget_keyframe::Apply()
{
    if (m_kind == KeyFloat) {
        if (m_target_float) *m_target_float = m_current;
        if (m_target) m_target->Invalidate();
        return;
    }
    if (m_target == nullptr) return;
    widget* parent = m_target->GetParent();
    switch (m_kind) {
    case KeyAlpha: m_target->SetAlpha(m_current); break;
    case KeyX: m_target->SetX(m_current); break;
    case KeyY: m_target->SetY(m_current); break;
    case KeyWidth:
        // The record holds the size children lay out against, so it follows too.
        m_target->SetWidth(m_current);
        m_target->GetLayout().SetSize(m_current, m_target->GetHeight());
        m_target->LayoutChildren();
        break;
    case KeyHeight: m_target->SetHeight(m_current); break;
    case KeyFromBottom:
        if (parent) m_target->SetY(parent->GetHeight() - m_current);
        break;
    case KeyFromRight:
        if (parent) m_target->SetX(parent->GetWidth() - m_current);
        break;
    default: break;
    }
    m_target->Invalidate();
}

void slowerkeyframe::Step(int ms)
{
    const int frames = std::max(1, ms * 30 / 1000);
    m_value = m_algorithm.Generate(frames);
    if (IsNearTarget()) {
        m_state = KeyframeReached;
        m_value = m_params.target;
        Apply();
        OnEnd();
        return;
    }
    Apply();
}

void slowerkeyframe::Init(const slowerparams& params)
{
    m_params = params;
    m_algorithm.Init(params.start, params.target, params.divisor);
    m_value = params.start;
    if (m_target) m_target->Invalidate();
}

void slowerkeyframe::Apply()
{
    if (m_target) m_target->Invalidate();
}

void slowerkeyframe::Finish()
{
    m_value = m_params.target;
    m_state = KeyframeReached;
    Apply();
    OnEnd();
}

bool slowerkeyframe::IsNearTarget() const
{
    return std::fabs(m_params.threshold) > std::fabs(m_params.target - m_value);
}

void fasterkeyframe::Start(const fasterparams& params)
{
    m_params = params;
    m_algorithm.Init(params.from, params.factor);
    m_value = params.from;
    m_state = KeyframeStarted;
    if (m_owner) m_owner->Invalidate();
}

void fasterkeyframe::SetCurrent(float value)
{
    m_value = value;
    m_algorithm.SetCurrent(value);
}

bool fasterkeyframe::Arrived() const
{
    const float from = m_params.from, to = m_params.to;
    return from == to || (from < to && m_value >= to) || (from > to && m_value <= to);
}

void fasterkeyframe::StepMs(int ms)
{
    m_value = m_algorithm.Advance(std::max(1, ms * 30 / 1000));
    if (Arrived()) {
        m_state = KeyframeReached;
        m_value = m_params.to;
        Apply();
        OnEnd();
        return;
    }
    Apply();
}

void fasterkeyframe::Apply()
{
    if (m_owner) m_owner->Invalidate();
}

}
