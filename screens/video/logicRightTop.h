#pragma once
// The window in the corner: 184 px wide, its height following the shown ratio.

#include "screens/video/IBaseLogicVideoWindow.h"

namespace UI {

class logicRightTop : public IBaseLogicVideoWindow {
public:
    explicit logicRightTop(videoplaywindow* owner) : IBaseLogicVideoWindow(owner) {}

    void Update() override;
};

}
