// An image that flies vertically inside its parent while it spins and
// changes size: it rises from the bottom to a point, growing and turning
// three times, or falls back to the bottom, shrinking, accelerating and
// turning half a turn, then hides.
#pragma once

#include "toolkit/controls/wimage.h"
#include "toolkit/widgets/keyframe.h"

namespace UI {

class wrotate : public wimage {
public:
    enum State : unsigned { Resting = 0, Rising = 1, Falling = 2 };

    explicit wrotate(std::string name);

    // Rise from the bottom to the parent's middle.
    void PlayIn();
    void FlyUp(float y);
    // Fall from the parent's middle to the bottom.
    void PlayOut();
    void FlyDown(float y);
    unsigned GetState() const { return m_state; }

    void Draw() override;

private:
    float CentredX() const;
    float Bottom() const;
    void Rise(float from, float to);
    void Fall(float from, float to);
    bool Moving() const;
    void StepMotion();

    slowerkeyframe m_angle{this};
    slowerkeyframe m_rise_y{this};
    slowerkeyframe m_rise_size{this};
    fasterkeyframe m_fall_y{this};
    fasterkeyframe m_fall_size{this};
    unsigned m_state{Resting};
    short m_filter{0};   // the settings' texture filter, read once
};

}
