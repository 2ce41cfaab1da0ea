#pragma once
// The centred window's growth or shrinking: only the target height steers; the width follows it at the video's ratio with the frame, and the window stays centred.

#include "screens/video/animation.h"
#include "screens/video/videoposition.h"

namespace UI {

class sizechangeAnimation : public animation {
public:
    static constexpr int Kind = 3;
    static constexpr float Divisor = 6.0f;
    static constexpr float Threshold = 1.0f;

    explicit sizechangeAnimation(videoplaywindow* owner) : animation(owner, Kind) {}

    void Start(float target_width, float target_height);
    void Step() override;
    void Finish() override;

private:
    float m_target_height{0};
};

}
