#include "screens/tree/foldermoveAnimation.h"

#include "screens/tree/wrsstreenode.h"

namespace UI {

foldermoveAnimation::foldermoveAnimation(wrsstreenode* node) : widget_keyframe(node), m_node(node) {}

void foldermoveAnimation::Begin(float from, float to)
{
    Init(KeyFloat, 0, static_cast<int>(Duration), from, to);
    SetTargetFloat(&m_value);
    m_value = from;
    Start();
}

void foldermoveAnimation::Close(int action)
{
    m_direction = Closing;
    m_action = action;
    Begin(m_node->GetShownHeight(), m_node->GetNodeRowHeight());
}

void foldermoveAnimation::Open(int action)
{
    m_action = (action == ActionFocus && m_action == ActionClick && IsRunning()) ? ActionFocusOrClick : action;
    m_direction = Opening;
    // From the height shown now, so an open that reverses a close does not jump.
    Begin(m_node->GetShownHeight(), m_node->GetFullHeight());
}

void foldermoveAnimation::Retarget()
{
    Begin(GetValue(), m_node->GetFullHeight());
}

void foldermoveAnimation::Remove()
{
    m_direction = None;
    m_action = ActionRemove;
    Begin(m_node->GetShownHeight(), 0);
}

void foldermoveAnimation::Step(int ms)
{
    if (IsIdle()) return;
    widget_keyframe::Step(ms);
    if (GetState() == KeyframeReached) {
        m_node->OnFoldFinished(*this);
        return;
    }
    if (GetState() != KeyframeRunning) return;
    m_node->UpdateBounds(GetValue());
    ValueEventArgs changed;
    changed.sender = m_node;
    m_node->FireEvent("treenode_sizechange", changed);
    m_node->Invalidate();
}

}
