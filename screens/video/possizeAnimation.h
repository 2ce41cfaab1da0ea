#pragma once
// The load-in's growth out of a clicked item: size and y ease by the divisor, the width toward the target height at the shown ratio, centred horizontally.

#include "screens/video/animation.h"
#include "screens/video/videoposition.h"

namespace UI {

class possizeAnimation : public animation {
public:
    static constexpr int Kind = 1;
    static constexpr float Divisor = 6.0f;
    static constexpr float Threshold = 1.0f;

    explicit possizeAnimation(videoplaywindow* owner) : animation(owner, Kind) {}

    void Start(const moveparams& block);
    void Step() override;
    void Finish() override;

    void SetDivisor(float divisor) { m_divisor = divisor; }

private:
    moveparams m_block;
    float m_divisor{Divisor};
};

}
