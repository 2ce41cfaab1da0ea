#include "widget.h"

#include "ATimeLine.h"
#include "CMutexGuard.h"
#include "InputState.h"
#include "MouseEventArgs.h"
#include "WidgetRegistry.h"
#include "focusgroup.h"
#include "keyframe.h"

#include "platform/window/Cursor.h"

#include <algorithm>
#include <cmath>

namespace UI {

widget::widget(std::string name) : m_name(std::move(name)) {}

widget::~widget()
{
    if (m_focus_group) {
        std::erase(m_focus_group->members, this);
        if (m_focus_group->current == this) m_focus_group->current = nullptr;
    }
    ForgetWidget(this);
    UnregisterWidget(this);
    // Leave the parent, so it never walks a freed child.
    if (m_parent) {
        widget* parent = m_parent;
        parent->UnlinkChild(this);
        parent->Invalidate();
    }
    std::vector<widget*> children;
    {
        CMutexGuard hold(WidgetMutex());
        children.swap(m_children);
        m_zlist.clear();
        for (widget* child : children) {
            child->m_parent = nullptr;
            child->m_layout.SetParentLayout(nullptr);
        }
    }
    for (widget* child : children) delete child;
}

void widget::LayoutPosition() { m_layout.ApplyPosition(); }

void widget::UpdateLayout()
{
    LayoutSelf();
    TickOwnAnimations();
    LayoutChildren();
}

void widget::LayoutSelf()
{
    LayoutPosition();
    m_layout.ApplySize();
    UpdateDrawOrigin();
    UpdateScreenOrigin();
}

void widget::LayoutChildren()
{
    for (widget* child : ChildrenInZOrder()) child->UpdateLayout();
}

float widget::GetTotalScaleX() const { return m_parent ? m_parent->GetTotalScaleX() * GetScaleX() : 1.0f; }

float widget::GetTotalScaleY() const { return m_parent ? m_parent->GetTotalScaleY() * GetScaleY() : 1.0f; }

std::u16string widget::GetText() const { return m_text.value_or(std::u16string()); }

void widget::SetText(const WCHAR* text)
{
    if (text) m_text = std::u16string(text);
    else m_text.reset();
}

bool widget::HitTest(float x, float y)
{
    if (!m_visible) return false;
    const float sx = m_parent ? m_parent->GetScaleX() : 1.0f;
    const float sy = m_parent ? m_parent->GetScaleY() : 1.0f;
    const float dx = x - m_x * sx;
    const float dy = y - m_y * sy;
    return dx >= 0 && dx <= m_width * sx && dy >= 0 && dy <= m_height * sy;
}

void widget::LinkZOrder(widget* child)
{
    auto above = std::find_if(m_zlist.begin(), m_zlist.end(),
                              [child](const widget* w) { return w->m_zorder > child->m_zorder; });
    m_zlist.insert(above, child);
}

void widget::UnlinkChild(widget* child)
{
    CMutexGuard hold(WidgetMutex());
    if (m_active_child == child) m_active_child = nullptr;
    std::erase(m_zlist, child);
    std::erase(m_children, child);
}

void widget::AddChild(widget* child)
{
    if (child == nullptr) return;
    if (child->m_parent) child->m_parent->RemoveChild(child);
    {
        CMutexGuard hold(WidgetMutex());
        LinkZOrder(child);
        m_children.push_back(child);
        child->m_parent = this;
        child->m_layout.SetParentLayout(&m_layout);
    }
    child->OnParentSizeChanged();
    Invalidate();
}

void widget::RemoveChild(widget* child)
{
    bool found = false;
    {
        CMutexGuard hold(WidgetMutex());
        found = std::find(m_children.begin(), m_children.end(), child) != m_children.end();
        UnlinkChild(child);
        if (found) {
            child->m_parent = nullptr;
            child->m_layout.SetParentLayout(nullptr);
        }
    }
    if (found) child->OnParentSizeChanged();
    Invalidate();
}

void widget::RaiseChild(widget* child)
{
    CMutexGuard hold(WidgetMutex());
    if (std::erase(m_zlist, child) == 0) return;
    LinkZOrder(child);
}

std::vector<widget*> widget::ChildrenInZOrder() const
{
    CMutexGuard hold(WidgetMutex());
    return m_zlist;
}

widget* widget::ChildAt(float x, float y)
{
    const float px = x - m_x;
    const float py = y - m_y;
    const std::vector<widget*> children = ChildrenInZOrder();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        widget* child = *it;
        if (!child->IsVisible()) continue;
        if (widget* deeper = child->ChildAt(px, py)) return deeper;
        if (!child->IsMouseTransparent() && child->HitTest(px, py)) return child;
    }
    return nullptr;
}

fpoint widget::UpdateScreenOrigin()
{
    if (m_parent) {
        const fpoint base = m_parent->UpdateScreenOrigin();
        m_screen_origin = {base.x + m_x, base.y + m_y};
    }
    return m_screen_origin;
}

fpoint widget::UpdateDrawOrigin()
{
    if (m_parent) {
        const fpoint base = m_parent->UpdateDrawOrigin();
        m_draw_origin = {base.x + m_x, base.y + m_y};
    } else {
        m_draw_origin = {m_x, m_y};
    }
    return m_draw_origin;
}

void widget::OnMouseMove(MouseEventArgs&) { SetCursor(LoadCursorW(nullptr, IDC_ARROW)); }

void widget::OnDoubleClick(MouseEventArgs& e)
{
    e.handled = 0;
    if (!IsAnimationIdle()) return;
    EventArgs args;
    args.sender = this;
    FireEvent("widget_doubleclick", args);
}

void widget::OnMouseEnter()
{
    EventArgs args;
    args.sender = this;
    FireEvent("tooltips_target", args);
}

void widget::OnSizeChanged()
{
    m_layout.SetSize(m_width, m_height);
    for (widget* child : ChildrenInZOrder()) child->OnParentSizeChanged();
}

void widget::OnPosChanged()
{
    m_layout.SetPosition(m_x, m_y);
    for (widget* child : ChildrenInZOrder()) child->OnParentPosChanged();
}

void widget::OnParentSizeChanged()
{
    UpdateDrawOrigin();
    OnSizeChanged();
}

void widget::OnParentPosChanged()
{
    UpdateDrawOrigin();
    OnPosChanged();
}

void widget::SetPos(float x, float y)
{
    m_x = x;
    m_y = y;
    OnPosChanged();
}

void widget::SetSize(float width, float height)
{
    m_width = width;
    m_height = height;
    OnSizeChanged();
}

void widget::SetScale(float x, float y)
{
    m_scale_x = x;
    m_scale_y = y;
}

void widget::Show(bool show)
{
    SetVisible(show);
    m_requested_show = show;
}

void widget::SetVisible(bool visible)
{
    if (visible == m_visible) return;
    Invalidate();
    m_visible = visible;
}

void widget::Invalidate()
{
    if (m_parent) m_parent->Invalidate();
    else m_dirty = true;
}

void widget::SetPosRule(int x_rule, int y_rule, float x_value, float y_value)
{
    if (x_value == -1) x_value = m_x;
    if (y_value == -1) y_value = m_y;
    m_layout.SetPosRule(x_rule, y_rule, x_value, y_value);
    LayoutPosition();
}

void widget::SetSizeRule(int width_rule, int height_rule, float width_value, float height_value)
{
    if (width_value == -1) width_value = m_width;
    if (height_value == -1) height_value = m_height;
    m_layout.SetSizeRule(width_rule, height_rule, width_value, height_value);
    UpdateLayout();
}

void widget::SetZOrder(int zorder)
{
    if (zorder == m_zorder) return;
    widget* parent = m_parent;
    if (parent) parent->RemoveChild(this);
    m_zorder = zorder;
    if (parent) parent->AddChild(this);
}

widget* widget::FindChild(std::string_view name)
{
    CMutexGuard hold(WidgetMutex());
    auto found = std::find_if(m_zlist.begin(), m_zlist.end(), [name](const widget* w) { return w->m_name == name; });
    return found == m_zlist.end() ? nullptr : *found;
}

void widget::Draw()
{
    m_dirty = false;
    for (widget* child : ChildrenInZOrder())
        if (child->IsVisible()) child->Draw();
}

void widget::TickAnimations()
{
    TickOwnAnimations();
    for (widget* child : ChildrenInZOrder()) child->TickAnimations();
}

void widget::TickOwnAnimations()
{
    if (m_animations.IsRunning()) m_animations.Tick(FrameInterval);
}

bool widget::IsAnimationIdle() const
{
    for (const widget* w = this; w; w = w->m_parent)
        if (w->m_animations.IsRunning()) return false;
    return true;
}

void widget::StopAnimations() { m_animations.StopAll(); }

}

namespace UI {

namespace {

constexpr int AnimationMs = 500;

struct Move {
    int kind;
    float from;
    float to;
    float extent;   // one width (or height) per 500 ms
};

// Adds the keyframe of one move; true when it starts away from its target.
// A widget without extent on that axis has no speed to move at: it lands at once.
bool add_move(ATimeLine& line, widget* target, const Move& m)
{
    auto k = std::make_unique<widget_keyframe>(target);
    if (m.extent == 0) {
        k->Init(m.kind, 0, 0, m.from, m.to);
        k->Finish();
        return false;
    }
    const int duration = static_cast<int>(std::fabs((m.to - m.from) * AnimationMs / m.extent));
    k->Init(m.kind, 0, duration, m.from, m.to);
    line.AddKeyframe(std::move(k));
    return m.from != m.to;
}

}

void widget::PlaceForEntry(int flags)
{
    const float parent_width = m_parent ? m_parent->GetWidth() : 0;
    const float parent_height = m_parent ? m_parent->GetHeight() : 0;
    if (m_layout.GetXRule() == 1 && (flags & AnimFromLeft)) m_x = -m_width;
    else if (m_layout.GetXRule() == 2 && (flags & AnimFromRight)) m_x = parent_width;
    if (m_layout.GetYRule() == 1 && (flags & AnimFromTop)) m_y = -m_height;
    else if (m_layout.GetYRule() == 2 && (flags & AnimFromBottom)) m_y = parent_height;
}

bool widget::AddMoveKeyframes(ATimeLine& line, int flags)
{
    const bool hiding = flags & AnimHide;
    const bool current = flags & AnimFromCurrent;
    bool differs = false;
    if (flags & AnimFromLeft) {
        const float s = current ? m_x : 0;
        differs |= add_move(line, this, {KeyX, s, hiding ? -m_width : 0, m_width});
    } else if (flags & AnimFromRight) {
        const float s = current && m_parent ? m_parent->GetWidth() - m_x : 0;
        differs |= add_move(line, this, {KeyFromRight, s, hiding ? 0 : m_width, m_width});
    }
    if (flags & AnimFromTop) {
        const float s = current ? m_y : 0;
        differs |= add_move(line, this, {KeyY, s, hiding ? -m_height : 0, m_height});
    } else if (flags & AnimFromBottom) {
        const float rest = m_layout.GetYValue();
        const float s = current && m_parent ? m_parent->GetHeight() - m_y : rest;
        differs |= add_move(line, this, {KeyFromBottom, s, hiding ? 0 : m_height + rest, m_height});
    }
    return differs;
}

void widget::StartAnimation(int flags)
{
    StopAnimations();
    m_animation_flags = flags;
    if (!m_visible && (flags & AnimPlaceHidden)) PlaceForEntry(flags);
    Show(true);
    auto line = std::make_unique<ATimeLine>();
    bool differs = AddMoveKeyframes(*line, flags);
    const bool hiding = flags & AnimHide;
    if (flags & (AnimAlpha | AnimVisibility)) {
        const bool fade = flags & AnimAlpha;
        const float low = fade ? 200.0f : 0.0f;
        auto k = std::make_unique<widget_keyframe>(this);
        k->Init(fade ? KeyAlpha : KeyVisibility, 0, AnimationMs, hiding ? 255.0f : low, hiding ? low : 255.0f);
        line->AddKeyframe(std::move(k));
        differs = true;
    }
    m_animations.AddTimeLine(std::move(line));
    if (!(flags & AnimFromCurrent) || differs) m_animations.Tick(0);
    else m_animations.StopAll();
}

void widget::JoinFocusGroup(focusgroup* group)
{
    m_focus_group = group;
    m_focusable = true;
    if (group) group->members.push_back(this);
}

void widget::SetFocus()
{
    SetFocusedWidget(this);
    if (m_focus_group) m_focus_group->current = this;
}

bool widget::Activate()
{
    if (!m_focusable) return false;
    widget* first = nullptr;
    {
        CMutexGuard hold(WidgetMutex());
        auto found = std::find_if(m_children.begin(), m_children.end(), [](const widget* w) { return w->m_focusable; });
        if (found != m_children.end()) first = *found;
    }
    m_active_child = first;
    if (first) first->MakeActivePath();
    else MakeActivePath();
    m_focus_active = true;
    return true;
}

void widget::Deactivate()
{
    if (m_active_child) m_active_child->Deactivate();
    if (m_focusable && m_focus_active) {
        m_focus_active = false;
        OnDeactivated();
    }
}

void widget::MakeActivePath()
{
    widget* root = this;
    while (root->m_parent) root = root->m_parent;
    widget* leaf = root;
    while (leaf->m_active_child) leaf = leaf->m_active_child;
    if (leaf == this) return;
    root->Deactivate();
    m_active_child = nullptr;
    if (!m_focus_active) {
        SetFocus();
        m_focus_active = true;
    }
    for (widget *w = this, *p = m_parent; p; w = p, p = p->m_parent) {
        p->m_active_child = w;
        p->m_focus_active = true;
    }
}

void widget::FocusStep(bool forward)
{
    widget* w = this;
    while (w->m_focus_group == nullptr) {
        widget* parent = w->m_parent;
        if (parent == nullptr) return;
        if (!parent->IsFocusable()) {
            w->Activate();
            return;
        }
        w = parent;
    }
    const std::vector<widget*> members = w->m_focus_group->members;
    if (members.empty()) return;
    auto current = std::find(members.begin(), members.end(), w->m_focus_group->current);
    widget* next = nullptr;
    if (current != members.end()) {
        const auto at = std::size_t(current - members.begin());
        if (forward) {
            for (std::size_t i = at + 1; i < members.size() && !next; ++i)
                if (members[i]->IsVisible()) next = members[i];
        } else {
            for (std::size_t i = at; i-- > 0 && !next;)
                if (members[i]->IsVisible()) next = members[i];
        }
    }
    if (next == nullptr) next = forward ? members.front() : members.back();
    next->MakeActivePath();
}

void widget::FocusNext() { FocusStep(true); }

void widget::FocusPrev() { FocusStep(false); }

}
