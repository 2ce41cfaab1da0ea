// A slider: a track picture and a thumb that is dragged or jumps to a click;
// reports "slider_moveto" with the value.
#pragma once

#include "toolkit/widgets/widget.h"

namespace RenderEngine {
class picture;
}

namespace UI {

class wsliderbar : public widget {
public:
    enum Orientation { Horizontal = 0, Downward = 1, Upward = 3 };

    explicit wsliderbar(std::string name);

    // A picture thumb.
    void SetImageSkin(const std::string& thumb, const std::string& track);
    // A button thumb skinned from base (its "_highlight" picture is the thumb picture).
    void SetSkin(const std::string& thumb_base, const std::string& track);
    // Ignored while dragging; kept inside 0..range - 1.
    void UpdateValue(float value);
    float GetValue() const { return m_value; }
    void SetRange(float range) { m_range = range; }
    float GetRange() const { return m_range; }
    void SetOrientation(int orientation) { m_orientation = orientation; }
    widget* GetThumb() const { return m_thumb; }

    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    bool IsPressed() const override { return m_dragging; }
    void Draw() override;

private:
    void set_thumb(widget* thumb);
    float shown_value() const;
    float kept_in_range(float value) const;
    void place_thumb();
    void fire_moveto(float value);

    RenderEngine::picture* m_track{nullptr};
    RenderEngine::picture* m_thumb_picture{nullptr};
    widget* m_thumb{nullptr};   // a child
    float m_value{0};
    float m_range{100};
    int m_orientation{Horizontal};
    float m_thumb_span{0};
    bool m_dragging{false};
    float m_delta{0};
    fpoint m_drag_start{0, 0};
};

}
