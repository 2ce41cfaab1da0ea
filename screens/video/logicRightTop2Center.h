#pragma once
// The window moving back to the centre: steps its ratio and its move while each runs.

#include "screens/video/IBaseLogicVideoWindow.h"
#include "screens/video/showvideoAnimation.h"

namespace UI {

class logicRightTop2Center : public IBaseLogicVideoWindow {
public:
    explicit logicRightTop2Center(videoplaywindow* owner) : IBaseLogicVideoWindow(owner), m_move(owner) {}

    void Update() override;
    // To 364 px high at the shown ratio, centred in whole pixels.
    void StartMove();

    showvideoAnimation& Move() { return m_move; }

private:
    showvideoAnimation m_move;
};

}
