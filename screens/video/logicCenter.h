#pragma once
// The centred window: it fits the video into the client area (animated or at
// once), shrinks to the warning strip, and stays centred every frame.

#include "screens/video/IBaseLogicVideoWindow.h"
#include "screens/video/sizechangeAnimation.h"
#include "screens/video/warningAnimation.h"

namespace UI {

class logicCenter : public IBaseLogicVideoWindow {
public:
    explicit logicCenter(videoplaywindow* owner) : IBaseLogicVideoWindow(owner), m_size(owner), m_warning(owner) {}

    void Update() override;
    // The large player keeps fitted whenever the client area is laid out again.
    void OnLayout() override;

    // Eases the window to the video's ratio inside a w x h area with the frame outside it.
    void FitVideo(float w, float h);
    void FitVideoWithoutFrame(float w, float h);
    // Sizes the picture part to the video's ratio inside w x h at once.
    void FitInside(float w, float h);

    sizechangeAnimation& Size() { return m_size; }
    warningAnimation& Warning() { return m_warning; }

private:
    void Fit(float w, float h, float frame);

    sizechangeAnimation m_size;
    warningAnimation m_warning;
};

}
