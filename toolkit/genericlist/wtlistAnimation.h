// The generic list's scroll: an offset that eases towards its target a tenth
// of the way (at least 3 px) each frame, with an elastic margin: a target
// pulled past either end overshoots and springs back. While the override is
// on (a scroll to a chosen row) the offsets are not clamped.
#pragma once

namespace UI {

class wtlist;

class wtlistAnimation {
public:
    explicit wtlistAnimation(wtlist& list) : m_list(list) {}

    // Moves the target up by delta (down for a negative delta).
    void ScrollBy(float delta);
    // One frame, from the list's draw.
    void Step();
    float GetOffset() const { return m_current; }
    float GetTarget() const { return m_target; }
    void SetOverride(bool on) { m_override = on; }
    // Only the override counts: a list easing back from an overscroll is not
    // held still by its own motion.
    bool IsScrolling() const { return m_override; }

private:
    float Bottom() const;   // content - view

    wtlist& m_list;
    float m_current{0};
    float m_target{0};
    float m_margin{100};
    bool m_overscrolled{false};
    bool m_override{false};
};

}
