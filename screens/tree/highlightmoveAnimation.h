// The highlight bar of a channel tree node gliding to the child the
// highlight goes to (or to the node's own row): each draw closes a sixth of
// the distance, at least one frame a draw, and lands within 2 px. When it
// lands, the node selects that child.
#pragma once

#include "toolkit/widgets/keyframe.h"

namespace UI {

class wrsstreenode;

class highlightmoveAnimation : public slowerkeyframe {
public:
    explicit highlightmoveAnimation(wrsstreenode* node);

    void Step(int ms) override;
    void OnBegin() override;
    void OnEnd() override;
    void Apply() override;
    bool IsRunning() const { return !IsIdle(); }
    float GetPosition() const { return m_value; }

private:
    static constexpr float Factor = 6;
    static constexpr float EndThreshold = 2;
    wrsstreenode* m_node;
};

}
