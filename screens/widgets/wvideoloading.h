// The loading indicator: eight pictures "icon_loading0".."icon_loading7"
// stacked at its centre, one shown at a time. The first draw shows image 0
// and each image stays for three draws, so a cycle takes 24 draws; it
// invalidates itself on every draw and so keeps turning while visible.
#pragma once

#include "toolkit/widgets/window.h"

#include <array>

namespace UI {
class wimage;
}

class wvideoloading : public UI::window {
public:
    explicit wvideoloading(std::string name);

    // Hides the indicator and sets the stopped flag.
    void Stop();
    // Clears the stopped flag and shows the indicator; after a stop the cycle
    // begins again at the first image.
    void Restart();
    bool IsStopped() const { return m_stopped; }
    // The image being shown, 0..7.
    int GetShownFrame() const { return m_shown; }

    void Draw() override;

private:
    void ShowFrame(int frame);

    static constexpr int FrameCount = 8;
    static constexpr int TicksPerFrame = 3;
    std::array<UI::wimage*, FrameCount> m_frames{};   // children
    int m_tick{0};                                    // 0 .. FrameCount * TicksPerFrame - 1; on the drawing thread
    int m_shown{0};
    bool m_stopped{false};
};
