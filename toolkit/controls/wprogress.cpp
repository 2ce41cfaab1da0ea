#include "toolkit/controls/wprogress.h"

#include "toolkit/render/picture.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace UI {

wprogress::wprogress(std::string name) : widget(std::move(name)) {}

void wprogress::SetValue(float value)
{
    m_value = value;
    Invalidate();
}

void wprogress::SetSkin(const std::string& fill, const std::string& track)
{
    m_fill = SkinPicture(fill);
    m_track = SkinPicture(track);
    Invalidate();
}

frect wprogress::track_rect() const
{
    const fpoint at = DrawPositionOf(*this);
    return {at.x + m_insets.left, at.y + m_insets.top, GetWidth() - m_insets.left - m_insets.right,
            GetHeight() - m_insets.top - m_insets.bottom};
}

frect wprogress::fill_rect(const frect& track, bool whole_pixels) const
{
    const bool across = m_orientation == FromLeft || m_orientation == FromRight;
    const float length = across ? track.width : track.height;
    float share = m_range > 0 ? length * std::clamp(m_value / m_range, 0.0f, 1.0f) : 0;
    if (whole_pixels)
        share = std::trunc(share);
    switch (m_orientation) {
    case FromRight: return {track.x + track.width - share, track.y, share, track.height};
    case FromTop: return {track.x, track.y, track.width, share};
    case FromBottom: return {track.x, track.y + track.height - share, track.width, share};
    default: return {track.x, track.y, share, track.height};
    }
}

void wprogress::Draw()
{
    if (m_value > m_range) {
        m_value = 0;
        Invalidate();
    }
    const frect track = track_rect();
    DrawSkin(m_track, track, GetAlpha() / 255.0f, m_fill_borders);
    const frect fill = fill_rect(track, !m_stretch);
    if (fill.width > 0 && fill.height > 0 && m_fill) {
        if (m_stretch) {
            // Reveal the picture's share instead of squeezing the whole picture.
            const float left = m_fill->m_left, top = m_fill->m_top, right = m_fill->m_right, bottom = m_fill->m_bottom;
            const float sx = track.width > 0 ? fill.width / track.width : 0;
            const float sy = track.height > 0 ? fill.height / track.height : 0;
            if (m_orientation == FromLeft) m_fill->m_right = left + (right - left) * sx;
            if (m_orientation == FromRight) m_fill->m_left = right - (right - left) * sx;
            if (m_orientation == FromTop) m_fill->m_bottom = top + (bottom - top) * sy;
            if (m_orientation == FromBottom) m_fill->m_top = bottom - (bottom - top) * sy;
            DrawSkin(m_fill, fill, GetAlpha() / 255.0f, {});
            m_fill->m_left = left;
            m_fill->m_top = top;
            m_fill->m_right = right;
            m_fill->m_bottom = bottom;
        } else {
            DrawSkin(m_fill, fill, GetAlpha() / 255.0f, m_fill_borders);
        }
    }
    SetDirty(false);
}

float wprogress::value_at(const fpoint& pointer) const
{
    const fpoint origin = GetScreenOrigin();
    const bool across = m_orientation == FromLeft || m_orientation == FromRight;
    const float length = across ? GetWidth() : GetHeight();
    if (length <= 0)
        return 0;
    float offset = 0;
    switch (m_orientation) {
    case FromRight: offset = origin.x + GetWidth() - pointer.x; break;
    case FromTop: offset = pointer.y - origin.y; break;
    case FromBottom: offset = origin.y + GetHeight() - pointer.y; break;
    default: offset = pointer.x - origin.x; break;
    }
    return std::clamp((offset + 1) * m_range / length, 0.0f, std::max(m_range, 0.0f));
}

void wprogress::OnMouseDown(MouseEventArgs&)
{
    if (!m_locked)
        m_pressed_bar = true;
}

void wprogress::OnMouseMove(MouseEventArgs& e)
{
    if (m_locked || !m_pressed_bar)
        return;
    m_value = value_at(e.position);
    Invalidate();
    ValueEventArgs moved;
    moved.sender = this;
    moved.value = intptr_t(m_value);
    FireEvent("progressbar_moveto", moved);
}

void wprogress::OnMouseUp(MouseEventArgs& e)
{
    if (m_locked)
        return;
    m_pressed_bar = false;
    m_value = value_at(e.position);
    Invalidate();
    ValueEventArgs clicked;
    clicked.sender = this;
    float value = m_value;
    static_assert(sizeof(float) <= sizeof(intptr_t));
    std::memcpy(&clicked.value, &value, sizeof value);
    FireEvent("progressbar_click", clicked);
}

}
