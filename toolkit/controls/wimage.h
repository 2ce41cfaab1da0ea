// A skin picture shown at the widget's place; mouse-transparent unless told
// to swallow clicks.
#pragma once

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/widgets/widget.h"

namespace UI {

class wimage : public widget {
public:
    explicit wimage(std::string name);

    // The widget takes the picture's size.
    void SetPicture(const std::string& name, const Borders& borders = {});
    void SetBorders(float left, float top, float right, float bottom) { m_borders = {left, top, right, bottom}; }
    RenderEngine::picture* GetPicture() const { return m_picture; }
    void SetSwallowClicks(bool swallow) { m_swallow_clicks = swallow; }

    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    void Draw() override;

private:
    RenderEngine::picture* m_picture{nullptr};   // the resource manager's
    Borders m_borders;
    bool m_swallow_clicks{false};
};

}
