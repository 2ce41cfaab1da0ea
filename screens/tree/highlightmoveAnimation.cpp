#include "screens/tree/highlightmoveAnimation.h"

#include "screens/tree/wrsstreenode.h"
#include "toolkit/controls/wimage.h"

#include <algorithm>
#include <cmath>

namespace UI {

highlightmoveAnimation::highlightmoveAnimation(wrsstreenode* node) : slowerkeyframe(node), m_node(node) {}

void highlightmoveAnimation::OnBegin()
{
    const widget* bar = m_node->GetBar();
    float start = 0;
    if (bar->IsVisible())
        start = bar->GetY() - 2;
    else if (const wrsstreenode* selected = m_node->GetSelectedChild())
        start = selected->GetY();
    start = std::clamp(start, 0.0f, m_node->GetShownHeight());
    const wrsstreenode* toward = m_node->GetPendingChild() ? m_node->GetPendingChild() : m_node->GetSelectedChild();
    Init({0, start, toward ? toward->GetY() : 0, Factor, EndThreshold});
}

void highlightmoveAnimation::Step(int ms)
{
    if (IsIdle()) return;
    // The child may have moved since the start: glide on from here to where it is now.
    const float target = m_node->GetHighlightTarget();
    m_params.target = target;
    m_algorithm.Init(m_value, target, Factor);
    m_value = m_algorithm.Generate(std::max(1, ms * 30 / 1000));
    m_state = KeyframeRunning;
    if (std::fabs(target - m_value) < EndThreshold) {
        m_state = KeyframeReached;
        m_value = target;
        Apply();
        OnEnd();
        return;
    }
    Apply();
}

void highlightmoveAnimation::Apply()
{
    if (m_node->IsVisible()) {
        if (wrsstreenode* selected = m_node->GetSelectedChild()) selected->GetBar()->Show(false);
        widget* bar = m_node->GetBar();
        bar->Show(true);
        bar->SetY(m_value + 2);
    }
    m_node->Invalidate();
}

void highlightmoveAnimation::OnEnd()
{
    m_node->FinishHighlightMove();
}

}
