#pragma once
// The load-in: the window grows out of the clicked item's rectangle to its
// centred place while the loading indicator turns. It keeps running after
// arrival until playback starts (StopLoadIn) or the view is reset.

#include "screens/video/possizeAnimation.h"
#include "screens/video/videoplaywindow.h"

namespace UI {

struct loadinrect {
    float x{0};
    float y{0};
    float width{0};
    float height{0};
};

class videoplaywindow::loadinAnimation : public animation {
public:
    static constexpr int Kind = 0;

    explicit loadinAnimation(videoplaywindow* owner) : animation(owner, Kind), m_possize(owner) {}

    void Start(const loadinrect& rect);
    void Step() override;
    void Finish() override;

    possizeAnimation& Inner() { return m_possize; }

private:
    void BackToCenter();

    possizeAnimation m_possize;
};

}
