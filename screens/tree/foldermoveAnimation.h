// The fold of a channel tree node: its height glides linearly between its
// own row and its row plus its children over 500 ms (33 ms a draw at most,
// so a fold ends on its 16th draw), telling the node at every step. What
// the node does when the fold ends is the fold's action.
#pragma once

#include "toolkit/widgets/keyframe.h"

namespace UI {

class wrsstreenode;

class foldermoveAnimation : public widget_keyframe {
public:
    enum Direction { None = 0, Closing = 1, Opening = 2 };
    // At the end: pass the highlight on to the child at the focus index (once closed).
    static constexpr int ActionFocus = 1;
    // At the end: report the node clicked.
    static constexpr int ActionClick = 2;
    // An open for the highlight while an open for a click runs: the focus when it applies, else the click.
    static constexpr int ActionFocusOrClick = 3;
    // At the end: the node leaves its parent.
    static constexpr int ActionRemove = 4096;

    explicit foldermoveAnimation(wrsstreenode* node);

    void Close(int action);
    void Open(int action);
    // Children came while opening: glide on from here to the new full height.
    void Retarget();
    void Remove();
    void Step(int ms) override;

    int GetDirection() const { return m_direction; }
    int GetAction() const { return m_action; }
    bool IsRunning() const { return !IsIdle(); }
    // -1 when none.
    int GetFocusIndex() const { return m_focus_index; }
    void SetFocusIndex(int index) { m_focus_index = index; }

private:
    void Begin(float from, float to);

    static constexpr float Duration = 500;
    wrsstreenode* m_node;
    float m_value{0};   // written by the keyframe
    int m_direction{None};
    int m_action{0};
    int m_focus_index{-1};
};

}
