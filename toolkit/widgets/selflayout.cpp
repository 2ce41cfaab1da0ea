#include "selflayout.h"

#include "widget.h"

namespace UI {

float selflayout::position(int rule, float value, float current, float parent, float own) const
{
    if (rule == 1) return value;
    if (m_parent_layout == nullptr) return current;
    switch (rule) {
    case 2: return parent - value - own;
    case 3: return parent * value;
    case 4: return (parent - own) * 0.5f;
    default: return current;
    }
}

float selflayout::size(int rule, float value, float current, float parent) const
{
    if (rule == 1) return value;
    if (m_parent_layout == nullptr) return current;
    switch (rule) {
    case 2: return parent;
    case 3: return parent - value;
    case 4: return static_cast<float>(static_cast<int>(parent * value));
    default: return current;
    }
}

fpoint selflayout::ApplyPosition()
{
    const fpoint parent = m_parent_layout ? m_parent_layout->GetSize() : fpoint{0, 0};
    // Rules 2 and 4 place by the size this record held before this pass.
    m_x = position(m_x_rule, m_x_value, m_owner->GetX(), parent.x, m_width);
    m_y = position(m_y_rule, m_y_value, m_owner->GetY(), parent.y, m_height);
    m_owner->SetX(m_x);
    m_owner->SetY(m_y);
    m_owner->OnPosChanged();
    return {m_x, m_y};
}

fpoint selflayout::ApplySize()
{
    const fpoint parent = m_parent_layout ? m_parent_layout->GetSize() : fpoint{0, 0};
    m_width = size(m_width_rule, m_width_value, m_owner->GetWidth(), parent.x);
    m_height = size(m_height_rule, m_height_value, m_owner->GetHeight(), parent.y);
    m_owner->SetWidth(m_width);
    m_owner->SetHeight(m_height);
    m_owner->OnSizeChanged();
    return {m_width, m_height};
}

void selflayout::SetPosRule(int x_rule, int y_rule, float x_value, float y_value)
{
    m_x_rule = x_rule;
    m_y_rule = y_rule;
    m_x_value = x_value;
    m_y_value = y_value;
}

void selflayout::SetSizeRule(int width_rule, int height_rule, float width_value, float height_value)
{
    m_width_rule = width_rule;
    m_height_rule = height_rule;
    m_width_value = width_value;
    m_height_value = height_value;
}

}
