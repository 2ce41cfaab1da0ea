#include "window.h"

#include "CMutexGuard.h"
#include "InputState.h"
#include "MouseEventArgs.h"
#include "WindowSurface.h"

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"

#include "platform/window/Cursor.h"

#include <algorithm>
#include <cmath>

namespace UI {

namespace {

constexpr float EdgeZone = 4;        // pixels inside an edge that grab it
constexpr float ZoomStepMs = 34;     // one frame per draw
constexpr float MinimumAlpha = 5;    // below it a window draws nothing

// Clips the current target to a rectangle cut by the clip already in force
// on that target, and puts the earlier clip back when it ends. Clips of
// different surfaces never meet: each target keeps its own.
class ClipScope {
public:
    explicit ClipScope(const frect& edges)
    {
        RenderEngine::backbuffer* target = RenderEngine::GetRenderTarget();
        m_saved = target ? target->GetClip() : frect{0, 0, 0, 0};
        frect cut = edges;
        if (m_saved.width != 0 && m_saved.height != 0) {
            cut = {std::max(cut.x, m_saved.x), std::max(cut.y, m_saved.y), std::min(cut.width, m_saved.width),
                   std::min(cut.height, m_saved.height)};
            // Nothing left visible; right and bottom stay non-zero so the clip still applies.
            if (cut.width <= cut.x || cut.height <= cut.y) cut = {1, 1, 1, 1};
        }
        RenderEngine::SetClipRect(cut.x, cut.y, cut.width, cut.height);
    }
    ~ClipScope() { RenderEngine::SetClipRect(m_saved.x, m_saved.y, m_saved.width, m_saved.height); }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    frect m_saved;
};

}

window::window(std::string name) : widget(std::move(name)) {}

window::~window() = default;

void window::SetClearColor(float alpha, float red, float green, float blue)
{
    m_clear[0] = alpha;
    m_clear[1] = red;
    m_clear[2] = green;
    m_clear[3] = blue;
}

void window::SetResizable(bool resizable, int edges)
{
    m_resizable = resizable;
    m_resize_edges = edges;
}

void window::SetMinSize(float width, float height)
{
    m_min_width = width;
    m_min_height = height;
}

void window::SetSnap(bool enabled, float distance, frect offsets)
{
    m_snap = enabled;
    m_snap_distance = distance;
    m_snap_offsets = offsets;
}

void window::SetZoomBuffer(std::unique_ptr<RenderEngine::backbuffer> copy)
{
    {
        CMutexGuard hold(WidgetMutex());
        m_zoom_copy = std::move(copy);
    }
    RefreshDrawOrigins();
}

void window::ReleaseZoomBuffer()
{
    {
        CMutexGuard hold(WidgetMutex());
        m_zoom_copy.reset();
    }
    RefreshDrawOrigins();
}

void window::SetBufferEnabled(bool enabled)
{
    m_buffer_enabled = enabled;
    RefreshDrawOrigins();
}

void window::RefreshDrawOrigins()
{
    // Children draw into whichever surface is now the window's, or into the parent's.
    UpdateDrawOrigin();
    for (widget* child : ChildrenInZOrder()) child->OnParentPosChanged();
    Invalidate();
}

void window::CreateBackBuffer(unsigned width, unsigned height)
{
    {
        CMutexGuard hold(WidgetMutex());
        m_buffer = CreateWindowSurface(width, height);
    }
    SetWidth(float(width));
    SetHeight(float(height));
    OnSizeChanged();
}

frect window::SetMargins(float left, float top, float right, float bottom)
{
    m_margins = {left, top, right, bottom};
    UpdateLayout();
    return m_margins;
}

bool window::HitTestScreen(float x, float y)
{
    const fpoint screen = GetScreenOrigin();
    return HitTest(x - screen.x + GetX(), y - screen.y + GetY());
}

void window::UpdateLayout()
{
    LayoutSelf();
    TickOwnAnimations();
    LayoutChildren();
    UpdateClipRect();
}

void window::TickOwnAnimations()
{
    // Only a window that moved or grew needs its children placed again; laying
    // them out every frame would also step their own animations twice.
    if (!GetAnimationMgr().IsRunning()) return;
    GetAnimationMgr().Tick(FrameInterval);
    UpdateClipRect();
    LayoutChildren();
}

void window::UpdateClipRect()
{
    if (!ClipOn()) return;
    const fpoint o = GetDrawOrigin();
    m_clip = {o.x + m_margins.x, o.y + m_margins.y, o.x + GetWidth() - m_margins.width,
              o.y + GetHeight() - m_margins.height};
}

float window::GetScaleX() const
{
    return m_buffer && m_buffer->m_width ? GetWidth() / float(m_buffer->m_width) : widget::GetScaleX();
}

float window::GetScaleY() const
{
    return m_buffer && m_buffer->m_height ? GetHeight() / float(m_buffer->m_height) : widget::GetScaleY();
}

float window::GetTotalScaleX() const
{
    const widget* parent = GetParent();
    if (parent == nullptr) return 1.0f;
    return m_buffer ? parent->GetTotalScaleX() * GetScaleX() : parent->GetTotalScaleX();
}

float window::GetTotalScaleY() const
{
    const widget* parent = GetParent();
    if (parent == nullptr) return 1.0f;
    return m_buffer ? parent->GetTotalScaleY() * GetScaleY() : parent->GetTotalScaleY();
}

fpoint window::UpdateDrawOrigin()
{
    // Children of a window with its own surface draw into that surface.
    if (BufferInUse() || m_zoom_copy) {
        m_draw_origin = {0, 0};
        return m_draw_origin;
    }
    return widget::UpdateDrawOrigin();
}

bool window::HitTest(float x, float y)
{
    if (!widget::HitTest(x, y)) return false;
    if (ClipOn()) {
        const float rx = x - GetX();
        const float ry = y - GetY();
        if (!(m_margins.x < rx && rx < GetWidth() - m_margins.width && m_margins.y < ry &&
              ry < GetHeight() - m_margins.height))
            return false;
    }
    widget* parent = GetParent();
    if (parent && m_clip_hits_to_parent) return parent->HitTest(x + parent->GetX(), y + parent->GetY());
    return true;
}

void window::Invalidate()
{
    widget* parent = GetParent();
    if (m_buffer || parent == nullptr) m_dirty = true;
    if (parent) parent->Invalidate();
}

fpoint window::DrawPosition() const
{
    const widget* parent = GetParent();
    const fpoint o = parent ? parent->GetDrawOrigin() : fpoint{0, 0};
    return {o.x + GetX(), o.y + GetY()};
}

void window::Draw()
{
    if (!IsVisible() || GetAlpha() < MinimumAlpha) return;
    if (ZoomRunning() && !m_zoom.IsZooming()) {
        DrawZoomed();
        if (ZoomRunning() || !IsVisible()) return;
    }
    if (m_dirty || !m_buffer) DrawContent();
    Compose();
    if (ZoomRunning() && m_zoom.IsZooming()) {
        // The content was just drawn into the copy: show its first zoomed frame.
        m_zoom.SetZooming(false);
        DrawZoomed();
    }
}

void window::DrawContent()
{
    m_dirty = false;
    CMutexGuard hold(WidgetMutex());
    RenderEngine::backbuffer* surface = BufferInUse() ? m_buffer.get() : m_zoom_copy.get();
    if (surface) RenderEngine::PushRenderTarget(surface, true, m_clear[0], m_clear[1], m_clear[2], m_clear[3]);
    if (ClipOn()) {
        // A window clipped to its bounds may have changed size since its last layout.
        if (m_clip_to_bounds) {
            UpdateDrawOrigin();
            UpdateClipRect();
        }
        ClipScope clip(m_clip);
        DrawChildren();
    } else {
        DrawChildren();
    }
    if (surface) RenderEngine::PopRenderTarget();
}

void window::DrawChildren()
{
    // Without a surface of its own the window's alpha reaches the screen only through its children.
    const float fade = BufferInUse() ? 1.0f : GetAlpha() / 255.0f;
    for (widget* child : ChildrenInZOrder()) {
        if (!child->IsVisible()) continue;
        if (fade == 1.0f) {
            child->Draw();
            continue;
        }
        const float alpha = child->GetAlpha();
        child->SetAlpha(alpha * fade);
        child->Draw();
        child->SetAlpha(alpha);
    }
}

void window::Compose()
{
    if (!BufferInUse()) return;
    const fpoint at = DrawPosition();
    RenderEngine::DrawBackBuffer(m_buffer.get(), at.x, at.y, GetWidth(), GetHeight(), GetAlpha() / 255.0f);
}

void window::DrawZoomed()
{
    m_zoom.Step(int(ZoomStepMs));
    CMutexGuard hold(WidgetMutex());
    if (m_zoom_copy == nullptr) return;
    const fpoint at = DrawPosition();
    RenderEngine::DrawBackBuffer(m_zoom_copy.get(), at.x, at.y, GetWidth(), GetHeight(), GetAlpha() / 255.0f);
}

void window::DrawOverlay()
{
    if (!BufferInUse()) {
        widget::DrawOverlay();
        return;
    }
    RenderEngine::DrawBackBuffer(m_buffer.get(), GetX(), GetY(), GetWidth(), GetHeight(), 1.0f);
    m_dirty = false;
}

int window::EdgesAt(fpoint pointer) const
{
    const fpoint screen = GetScreenOrigin();
    const float px = pointer.x - screen.x;
    const float py = pointer.y - screen.y;
    int edges = 0;
    if (px < EdgeZone && (m_resize_edges & EdgeLeft)) edges |= EdgeLeft;
    else if (GetWidth() - EdgeZone - m_right_grip < px && px < GetWidth() && (m_resize_edges & EdgeRight))
        edges |= EdgeRight;
    if (py < EdgeZone && (m_resize_edges & EdgeTop)) edges |= EdgeTop;
    else if (GetHeight() - EdgeZone - m_bottom_grip < py && py < GetHeight() && (m_resize_edges & EdgeBottom))
        edges |= EdgeBottom;
    return edges;
}

void window::StartResize(int edges)
{
    const fpoint screen = GetScreenOrigin();
    m_dragged_edges = edges;
    // The anchor is the opposite edge, where it stands now.
    m_anchor.x = (edges & EdgeLeft) ? screen.x + GetWidth() : screen.x;
    m_anchor.y = (edges & EdgeTop) ? screen.y + GetHeight() : screen.y;
    m_resizing = true;
    SetFocusedWidget(this);
}

void window::OnMouseDown(MouseEventArgs& e)
{
    widget* parent = GetParent();
    if (parent == nullptr) return;
    e.handled = 1;
    if (m_raise_on_click) parent->RaiseChild(this);
    OnPressStart(e);
    m_pressed_inside = true;
    const int edges = m_resizable ? EdgesAt(e.position) : 0;
    if (edges) {
        StartResize(edges);
    } else if (m_movable) {
        SetFocusedWidget(this);
        m_pressed = true;
        m_drag_offset = {e.position.x - GetX(), e.position.y - GetY()};
    }
    EventArgs click;
    click.sender = this;
    FireEvent("window_click", click);
    e.sender = this;
    FireEvent("window_LbtnDown", e);
}

void window::DragTo(fpoint pointer)
{
    const float x = pointer.x - m_drag_offset.x;
    const float y = pointer.y - m_drag_offset.y;
    SetX(x);
    SetY(y);
    const widget* parent = GetParent();
    if (m_snap && parent) {
        int x_rule = 0, y_rule = 0;
        float x_value = x, y_value = y;
        if (std::fabs(x) <= m_snap_distance) x_rule = 1, x_value = m_snap_offsets.x;
        else if (std::fabs(parent->GetWidth() - (x + GetWidth())) <= m_snap_distance)
            x_rule = 2, x_value = -m_snap_offsets.width;
        if (std::fabs(y) <= m_snap_distance) y_rule = 1, y_value = m_snap_offsets.y;
        else if (std::fabs(parent->GetHeight() - (y + GetHeight())) <= m_snap_distance)
            y_rule = 2, y_value = -m_snap_offsets.height;
        SetPosRule(x_rule, y_rule, x_value, y_value);
    }
    OnPosChanged();
    UpdateLayout();
    Invalidate();
}

void window::ResizeTo(fpoint pointer)
{
    const widget* parent = GetParent();
    const fpoint base = parent ? parent->GetScreenOrigin() : fpoint{0, 0};
    bool changed = false;
    if (m_dragged_edges & EdgeLeft) {
        if (m_anchor.x - pointer.x > m_min_width) {
            SetX(pointer.x - base.x - 2);
            SetWidth(m_anchor.x - pointer.x);
            changed = true;
        }
    } else if ((m_dragged_edges & EdgeRight) && pointer.x - m_anchor.x > m_min_width) {
        SetWidth(pointer.x - m_anchor.x);
        changed = true;
    }
    if (m_dragged_edges & EdgeTop) {
        if (m_anchor.y - pointer.y > m_min_height) {
            SetY(pointer.y - base.y - 2);
            SetHeight(m_anchor.y - pointer.y);
            changed = true;
        }
    } else if ((m_dragged_edges & EdgeBottom) && pointer.y - m_anchor.y > m_min_height) {
        SetHeight(pointer.y - m_anchor.y);
        changed = true;
    }
    if (changed) {
        UpdateLayout();
        TickAnimations();
    }
    OnResized();
    Invalidate();
}

void window::ShowEdgeCursor(MouseEventArgs& e)
{
    const int edges = EdgesAt(e.position);
    const bool horizontal = edges & (EdgeLeft | EdgeRight);
    const bool vertical = edges & (EdgeTop | EdgeBottom);
    LPCWSTR shape = IDC_ARROW;
    if (horizontal && vertical) {
        const bool main_diagonal = ((edges & EdgeLeft) != 0) == ((edges & EdgeTop) != 0);
        shape = main_diagonal ? IDC_SIZENWSE : IDC_SIZENESW;
    } else if (horizontal) {
        shape = IDC_SIZEWE;
    } else if (vertical) {
        shape = IDC_SIZENS;
    }
    SetCursor(LoadCursorW(nullptr, shape));
    e.cursor_set = 1;
}

void window::OnMouseMove(MouseEventArgs& e)
{
    e.handled = 1;
    if (m_pressed) DragTo(e.position);
    else if (m_resizing) ResizeTo(e.position);
    else if (m_resizable) ShowEdgeCursor(e);
    EventArgs move;
    move.sender = this;
    FireEvent("window_MouseMove", move);
}

void window::OnMouseUp(MouseEventArgs& e)
{
    e.handled = 1;
    m_pressed = false;
    m_resizing = false;
    m_pressed_inside = false;
}

void window::OnMouseLeave()
{
    m_pressed = false;
    ValueEventArgs leave;
    leave.sender = this;
    leave.value = 0;
    FireEvent("window_EnterLeave", leave);
}

void window::OnMouseEnter()
{
    widget::OnMouseEnter();
    ValueEventArgs enter;
    enter.sender = this;
    enter.value = 1;
    FireEvent("window_EnterLeave", enter);
}

bool window::IsPressed() const { return m_pressed || m_resizing; }

}
