#pragma once
// The window moving to the corner: steps its ratio and its move while each runs.

#include "screens/video/IBaseLogicVideoWindow.h"
#include "screens/video/hidevideoAnimation.h"

namespace UI {

class logicCenter2RightTop : public IBaseLogicVideoWindow {
public:
    explicit logicCenter2RightTop(videoplaywindow* owner) : IBaseLogicVideoWindow(owner), m_move(owner) {}

    void Update() override;
    // To 184 px wide, 9 px from the right and 25 px from the bottom, or from
    // the top when HKCU "VideoRightBottom" is 0.
    void StartMove();

    hidevideoAnimation& Move() { return m_move; }

private:
    hidevideoAnimation m_move;
};

}
