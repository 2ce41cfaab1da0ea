#pragma once
// The move to the corner: size and distances from the chosen edges ease a quarter of the way a frame; on arrival the window keeps to those edges by its position rules.

#include "screens/video/animation.h"
#include "screens/video/videoposition.h"

namespace UI {

class hidevideoAnimation : public animation {
public:
    static constexpr int Kind = 4;
    static constexpr float Divisor = 4.0f;
    static constexpr float Threshold = 1.0f;

    explicit hidevideoAnimation(videoplaywindow* owner) : animation(owner, Kind) {}

    void Start(const moveparams& block);
    void Step() override;
    void Finish() override;

private:
    moveparams m_block;
};

}
