// A progress bar: a nine-grid track and a fill that grows from one edge;
// it can be dragged or clicked to a value.
#pragma once

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/widgets/widget.h"

namespace UI {

class wprogress : public widget {
public:
    enum Orientation { FromLeft = 0, FromRight = 1, FromTop = 2, FromBottom = 3 };

    explicit wprogress(std::string name);

    void SetValue(float value);
    float GetValue() const { return m_value; }
    void SetRange(float range) { m_range = range; }
    float GetRange() const { return m_range; }
    void SetOrientation(int orientation) { m_orientation = orientation; }
    void SetStretch(bool stretch) { m_stretch = stretch; }
    void SetInsets(const Borders& insets) { m_insets = insets; }
    void SetLocked(bool locked) { m_locked = locked; }
    void SetSkin(const std::string& fill, const std::string& track);

    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    bool IsPressed() const override { return m_pressed_bar; }
    void Draw() override;

protected:
    // The track's rectangle at the draw position.
    frect track_rect() const;
    // The fill's rectangle for the value's share of the control.
    frect fill_rect(const frect& track, bool whole_pixels) const;
    // The value under the pointer, clamped to 0..range; 0 for a bar of no length.
    float value_at(const fpoint& pointer) const;

    RenderEngine::picture* m_track{nullptr};
    RenderEngine::picture* m_fill{nullptr};
    float m_value{0};
    float m_range{100};
    int m_orientation{FromLeft};
    bool m_stretch{false};
    Borders m_insets;
    Borders m_fill_borders{5, 3, 5, 3};

private:
    bool m_pressed_bar{false};
    bool m_locked{false};
};

}
