// A push button of four state pictures (normal, highlight, pressed,
// disabled), with an optional caption and a cross-fade between states.
// The click is reported on press, as "button_clicked".
#pragma once

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/widgets/widget.h"

#include <array>

namespace UI {

class wbtn : public widget {
public:
    enum State : short { Normal = 0, Highlight = 1, Pressed = 2, Disabled = 3 };

    explicit wbtn(std::string name);

    // The size becomes the normal picture's.
    void SetSkin(const std::string& normal, const std::string& highlight, const std::string& pressed,
                 const std::string& disabled);
    // base + "_normal", "_highlight", "_pressed", "_disabled".
    void SetSkinByName(const std::string& base);
    void SetBorders(float left, float top, float right, float bottom) { m_borders = {left, top, right, bottom}; }
    void SetState(short state);
    short GetState() const { return m_state; }
    short GetTargetState() const { return m_target_state; }
    void SetCrossFade(bool on) { m_cross_fade = on; }
    void SetFont(std::string font) { m_font = std::move(font); }
    void SetTextColor(fcolor normal, fcolor highlight);
    void SetTextFormat(int format) { m_format = format; }
    // The caption's width (sum of advances) and line height in the button's font.
    fpoint GetTextSize() const;

    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    void OnMouseLeave() override;
    void OnMouseEnter() override;
    void Draw() override;
    void SetVisible(bool visible) override;

private:
    void follow_enabled();
    void draw_caption(const fpoint& at);

    std::array<RenderEngine::picture*, 4> m_pictures{};   // the resource manager's
    Borders m_borders;
    std::string m_font;
    fcolor m_color{255, 255, 255};
    fcolor m_highlight_color{255, 255, 255};
    int m_format{5};
    short m_state{Normal};         // drawn
    short m_target_state{Normal};
    short m_fade{0};               // the target state's alpha counter
    bool m_cross_fade{false};
    bool m_was_enabled{true};
};

}
