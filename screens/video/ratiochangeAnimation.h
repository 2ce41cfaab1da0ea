#pragma once
// The aspect ratio's change: the shown ratio eases an eighth of the way a frame; the video's ratio takes the new value only on arrival.

#include "screens/video/animation.h"
#include "screens/video/videoposition.h"

namespace UI {

class ratiochangeAnimation : public animation {
public:
    static constexpr int Kind = 2;
    static constexpr float Divisor = 8.0f;
    static constexpr float Threshold = 0.0005f;

    explicit ratiochangeAnimation(videoplaywindow* owner) : animation(owner, Kind) {}

    void Start(float from, float to);
    void Step() override;
    void Finish() override;

    float GetTarget() const { return m_to; }

private:
    float m_to{0};
};

}
