#pragma once
// The rules that place and size a widget relative to its parent. There is no
// layout manager: each widget re-applies its own rules when laid out.
//
// Rules (P: the parent layout's computed width for x and width, its height for
// y and height; v: the rule's value; own: this record's computed size):
//   rule  position                      size
//   0     keep the current value        keep the current value
//   1     v                             v
//   2     P - v - own (far edge)        P
//   3     P * v                         P - v
//   4     (P - own) * 0.5 (centred)     P * v, truncated to a whole number
// Rules 2 to 4 without a parent layout keep the computed value.

#include "toolkit/render/Geometry.h"

namespace UI {

class widget;

class layoutproperty {
public:
    virtual ~layoutproperty() = default;
};

class selflayout : public layoutproperty {
public:
    explicit selflayout(widget* owner) : m_owner(owner) {}

    // Compute by the rules, write into the owner and tell it (OnSizeChanged / OnPosChanged).
    fpoint ApplySize();
    fpoint ApplyPosition();
    fpoint GetSize() const { return {m_width, m_height}; }
    fpoint GetPosition() const { return {m_x, m_y}; }
    void SetPosition(float x, float y)
    {
        m_x = x;
        m_y = y;
    }
    void SetSize(float width, float height)
    {
        m_width = width;
        m_height = height;
    }

    int GetXRule() const { return m_x_rule; }
    int GetYRule() const { return m_y_rule; }
    float GetYValue() const { return m_y_value; }
    void SetPosRule(int x_rule, int y_rule, float x_value, float y_value);
    void SetSizeRule(int width_rule, int height_rule, float width_value, float height_value);
    // Set by AddChild and cleared by RemoveChild.
    void SetParentLayout(selflayout* parent_layout) { m_parent_layout = parent_layout; }

private:
    float position(int rule, float value, float current, float parent, float own) const;
    float size(int rule, float value, float current, float parent) const;

    float m_width_value{0};
    float m_height_value{0};
    float m_x_value{0};
    float m_y_value{0};
    int m_x_rule{0};
    int m_y_rule{0};
    int m_width_rule{0};
    int m_height_rule{0};
    widget* m_owner;
    selflayout* m_parent_layout{nullptr};
    float m_x{0};   // computed rectangle, relative to the parent
    float m_y{0};
    float m_width{0};
    float m_height{0};
};

}
