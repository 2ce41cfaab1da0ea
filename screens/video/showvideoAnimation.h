#pragma once
// The move back to the centre: size and position ease a quarter of the way a frame but never by less than a pixel, so the move always arrives.

#include "screens/video/animation.h"
#include "screens/video/videoposition.h"

namespace UI {

class showvideoAnimation : public animation {
public:
    static constexpr int Kind = 5;
    static constexpr float Divisor = 4.0f;
    static constexpr float Threshold = 1.0f;

    explicit showvideoAnimation(videoplaywindow* owner) : animation(owner, Kind) {}

    void Start(const moveparams& block);
    void Step() override;
    void Finish() override;

private:
    float StepAtLeastOne(float value, float target) const;

    moveparams m_block;
};

}
