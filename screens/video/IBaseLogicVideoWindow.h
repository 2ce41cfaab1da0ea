#pragma once
// The position logic of one state of the video play window: it steps that
// state's animations every frame and may adjust the window after a layout.
// Every logic owns a ratio animation, so a new video's ratio eases in
// whatever state the window is in.

#include "screens/video/ratiochangeAnimation.h"

namespace UI {

class videoplaywindow;

class IBaseLogicVideoWindow {
public:
    explicit IBaseLogicVideoWindow(videoplaywindow* owner) : m_owner(owner), m_ratio(owner) {}
    virtual ~IBaseLogicVideoWindow() = default;
    IBaseLogicVideoWindow(const IBaseLogicVideoWindow&) = delete;
    IBaseLogicVideoWindow& operator=(const IBaseLogicVideoWindow&) = delete;

    // Eases the shown ratio from the window's to ratio.
    virtual void SetRatio(float ratio);
    // Every frame while the logic's state is current.
    virtual void Update() {}
    // After every layout of the window.
    virtual void OnLayout() {}

    ratiochangeAnimation& Ratio() { return m_ratio; }

protected:
    videoplaywindow* const m_owner;
    ratiochangeAnimation m_ratio;
};

}
