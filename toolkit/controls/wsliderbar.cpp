#include "toolkit/controls/wsliderbar.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/render/picture.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <cmath>

namespace UI {

wsliderbar::wsliderbar(std::string name) : widget(std::move(name)) {}

// A value at or past the end stops one short of the range, as the end itself
// is not a position; below 0 is 0.
float wsliderbar::kept_in_range(float value) const
{
    if (value >= m_range)
        value = m_range - 1;
    return value < 0 ? 0 : value;
}

void wsliderbar::set_thumb(widget* thumb)
{
    if (m_thumb)
        delete m_thumb;
    m_thumb = thumb;
    AddChild(thumb);
    if (m_thumb_picture) {
        thumb->SetSize(m_thumb_picture->m_width, m_thumb_picture->m_height);
        if (m_orientation == Horizontal)
            m_thumb_span = m_thumb_picture->m_width;
    }
    Invalidate();
}

void wsliderbar::SetImageSkin(const std::string& thumb, const std::string& track)
{
    m_track = SkinPicture(track);
    m_thumb_picture = SkinPicture(thumb);
    auto* image = new wimage(GetName() + "-thumb");
    image->SetPicture(thumb);
    set_thumb(image);
}

void wsliderbar::SetSkin(const std::string& thumb_base, const std::string& track)
{
    m_track = SkinPicture(track);
    m_thumb_picture = SkinPicture(thumb_base + "_highlight");
    auto* button = new wbtn(GetName() + "-thumb");
    button->SetSkinByName(thumb_base);
    button->SetMouseTransparent(true);
    set_thumb(button);
}

void wsliderbar::UpdateValue(float value)
{
    if (m_dragging)
        return;
    m_value = kept_in_range(value);
    m_delta = 0;
    Invalidate();
}

float wsliderbar::shown_value() const
{
    const float v = m_dragging ? m_value + m_delta : m_value;
    return std::clamp(v, 0.0f, std::max(m_range, 0.0f));
}

void wsliderbar::place_thumb()
{
    if (!m_thumb)
        return;
    // A range of 0 shows the thumb at the start instead of dividing by it.
    const float share = m_range > 0 ? shown_value() / m_range : 0;
    const float free_x = GetWidth() - m_thumb->GetWidth(), free_y = GetHeight() - m_thumb->GetHeight();
    switch (m_orientation) {
    case Horizontal: m_thumb->SetPos(free_x * share, free_y / 2); break;
    case Downward: m_thumb->SetPos(free_x / 2, free_y * share); break;
    case Upward: m_thumb->SetPos(free_x / 2, free_y * (1 - share)); break;
    default: m_thumb->SetPos(free_x / 2, free_y / 2); break;
    }
}

// The track's rounded ends stay as drawn at any length or direction: its
// corners, up to half its short side, are kept and only the middle is
// stretched (a stretched cap turns ragged, and smeared along a vertical bar).
static Borders track_borders(const RenderEngine::picture* track, float width, float height)
{
    if (!track)
        return {};
    // At least a pixel of the picture's middle is left to stretch.
    const float picture_border = std::floor((std::min(track->m_width, track->m_height) - 1) / 2);
    const float border = std::max(0.0f, std::min(picture_border, std::floor(std::min(width, height) / 2)));
    return {border, border, border, border};
}

void wsliderbar::Draw()
{
    const fpoint at = DrawPositionOf(*this);
    DrawSkin(m_track, {at.x, at.y, GetWidth(), GetHeight()}, GetAlpha() / 255.0f,
             track_borders(m_track, GetWidth(), GetHeight()));
    place_thumb();
    // A hidden thumb stays undrawn, as every hidden child of the tree.
    if (m_thumb && m_thumb->IsVisible()) {
        m_thumb->UpdateDrawOrigin();
        m_thumb->Draw();
    }
    SetDirty(false);
}

void wsliderbar::fire_moveto(float value)
{
    ValueEventArgs moved;
    moved.sender = this;
    moved.value = intptr_t(value);
    FireEvent("slider_moveto", moved);
}

void wsliderbar::OnMouseDown(MouseEventArgs& e)
{
    const fpoint origin = GetScreenOrigin();
    const float x = e.position.x - origin.x, y = e.position.y - origin.y;
    if (m_thumb && m_thumb->HitTest(x, y)) {
        m_dragging = true;
        m_delta = 0;
        m_drag_start = e.position;
        return;
    }
    float value = 0;
    if (m_orientation == Horizontal && GetWidth() > 0)
        value = m_range * x / GetWidth();
    else if (m_orientation == Downward && GetHeight() > 0)
        value = m_range * y / GetHeight();
    else if (m_orientation == Upward && GetHeight() > 0)
        value = m_range * (GetHeight() - y) / GetHeight();
    UpdateValue(value);
}

void wsliderbar::OnMouseMove(MouseEventArgs& e)
{
    if (!m_dragging)
        return;
    const bool across = m_orientation == Horizontal;
    const float moved = across ? e.position.x - m_drag_start.x : e.position.y - m_drag_start.y;
    const float scale = across ? GetTotalScaleX() : GetTotalScaleY();
    const float thumb_length = m_thumb_picture ? (across ? m_thumb_picture->m_width : m_thumb_picture->m_height) : 0;
    // A track no longer than two thumbs leaves no room to drag along.
    const float room = ((across ? GetWidth() : GetHeight()) - 2 * thumb_length) * scale;
    if (room <= 0)
        return;
    float delta = m_range * moved / room;
    if (m_orientation == Upward)
        delta = -delta;
    if (std::trunc(delta) != std::trunc(m_delta))
        fire_moveto(std::clamp(m_value + delta, 0.0f, std::max(m_range, 0.0f)));
    m_delta = delta;
    Invalidate();
}

void wsliderbar::OnMouseUp(MouseEventArgs&)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_value = kept_in_range(m_value + m_delta);
    m_delta = 0;
    m_drag_start = {0, 0};
    fire_moveto(m_value);
    Invalidate();
}

}
