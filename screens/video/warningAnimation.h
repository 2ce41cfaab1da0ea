#pragma once
// The shrink to the warning strip: width and height each ease a sixth of the way a frame, centred.

#include "screens/video/animation.h"
#include "screens/video/videoposition.h"

namespace UI {

class warningAnimation : public animation {
public:
    static constexpr int Kind = 8;
    static constexpr float Divisor = 6.0f;
    static constexpr float Threshold = 1.0f;

    explicit warningAnimation(videoplaywindow* owner) : animation(owner, Kind) {}

    void Start(const moveparams& block);
    void Step() override;
    void Finish() override;

private:
    moveparams m_block;
};

}
