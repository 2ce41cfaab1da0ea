#pragma once
// The video picture's place inside the video play window's frame: it draws
// as a window and then fires the global "videowindow_render".

#include "toolkit/widgets/window.h"

namespace UI {

class videowindow : public window {
public:
    videowindow() : window("") {}

    void Draw() override;
};

}
