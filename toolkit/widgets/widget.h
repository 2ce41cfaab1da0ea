#pragma once
// The node of the retained widget tree: geometry, alpha, scale, visibility,
// children in z-order, keyboard-focus links, its own layout rules, animation
// manager and named events. The UI manager owns the root, draws the tree once
// per frame and routes input into it through the virtual operations here.
//
// A parent owns its children and deletes them. A widget being deleted leaves
// its parent's lists and clears every input pointer and registry entry that
// names it, so nothing keeps a freed widget. Child lists change under
// WidgetMutex; the tree is changed on the UI thread and drawn by the compose
// thread, which holds UIRenderMutex for the frame.

#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/IUo.h"
#include "toolkit/widgets/animationMgr.h"
#include "toolkit/widgets/selflayout.h"

#include "toolkit/render/Geometry.h"

#include <optional>
#include <string>
#include <vector>

namespace UI {

class ATimeLine;
struct MouseEventArgs;
struct focusgroup;

// Milliseconds every widget's animations advance per frame tick.
inline constexpr int FrameInterval = 33;

// Flags of StartAnimation.
inline constexpr int AnimAlpha = 0x1;             // fade between 200 and 255
inline constexpr int AnimFromLeft = 0x2;
inline constexpr int AnimFromTop = 0x4;
inline constexpr int AnimFromBottom = 0x20;
inline constexpr int AnimFromRight = 0x40;
inline constexpr int AnimVisibility = 0x200;      // show or hide after 500 ms, alpha untouched
inline constexpr int AnimPlaceHidden = 0x100000;  // a hidden widget first goes where it enters from
inline constexpr int AnimHide = 0x200000;
inline constexpr int AnimFromCurrent = 0x400000;  // move from where the widget is now

class widget : public IUo, public EventSet {
public:
    explicit widget(std::string name);
    ~widget() override;

    virtual void LayoutPosition();
    virtual void UpdateLayout();
    virtual void LayoutSelf();
    virtual void LayoutChildren();
    virtual float GetScaleX() const { return m_scale_x; }
    virtual float GetScaleY() const { return m_scale_y; }
    virtual float GetTotalScaleX() const;
    virtual float GetTotalScaleY() const;
    // A copy: another thread may set the text while the caller reads it.
    virtual std::u16string GetText() const;
    // Nothing in the toolkit sets it.
    virtual int GetUserValue() const { return 0; }
    virtual void SetText(const WCHAR* text);
    // Point in the parent's coordinates; edges count.
    virtual bool HitTest(float x, float y);
    virtual void AddChild(widget* child);
    // The caller owns the child again.
    virtual void RemoveChild(widget* child);
    // Point in this widget's parent's coordinates: the deepest topmost hit below this widget.
    virtual widget* ChildAt(float x, float y);
    virtual fpoint GetScreenOrigin() const { return m_screen_origin; }
    virtual fpoint UpdateScreenOrigin();
    virtual fpoint GetDrawOrigin() const { return m_draw_origin; }
    virtual fpoint UpdateDrawOrigin();
    virtual void OnMouseWheel(MouseEventArgs&) {}
    virtual void OnMouseMove(MouseEventArgs& e);
    virtual void OnMouseDown(MouseEventArgs&) {}
    virtual void OnMouseUp(MouseEventArgs&) {}
    virtual void OnDoubleClick(MouseEventArgs& e);
    virtual void OnMouseLeave() {}
    virtual void OnMouseEnter();
    virtual void OnFocusIn() {}
    virtual void OnFocusOut() {}
    virtual bool OnChar(ValueEventArgs&) { return false; }
    virtual void OnKey(ValueEventArgs&) {}
    // Runs first when a window is pressed.
    virtual void OnPressStart(MouseEventArgs&) {}
    virtual void OnSizeChanged();
    virtual void OnPosChanged();
    virtual void OnParentSizeChanged();
    virtual void OnParentPosChanged();
    virtual bool IsMouseTransparent() const { return m_mouse_transparent; }
    virtual bool IsPressed() const { return m_pressed; }
    virtual void SetCaretFlag(bool on) { m_caret = on; }
    bool GetCaretFlag() const { return m_caret; }
    virtual bool Activate();
    virtual void Deactivate();
    virtual void OnDeactivated() {}
    virtual void SetFocus();
    virtual void TickAnimations();
    virtual void TickOwnAnimations();
    virtual bool IsAnimationIdle() const;
    virtual void DrawOverlay() { Draw(); }
    virtual void Draw();
    virtual bool IsDirty() const { return m_dirty; }
    virtual void Invalidate();
    virtual void SetVisible(bool visible);

    const std::string& GetName() const { return m_name; }
    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    fpoint GetPos() const { return {m_x, m_y}; }
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }
    fpoint GetSize() const { return {m_width, m_height}; }
    float GetAlpha() const { return m_alpha; }
    void SetAlpha(float alpha) { m_alpha = alpha; }
    void SetX(float x) { m_x = x; }
    void SetY(float y) { m_y = y; }
    void SetPos(float x, float y);
    void SetWidth(float width) { m_width = width; }
    void SetHeight(float height) { m_height = height; }
    void SetSize(float width, float height);
    void SetScale(float x, float y);
    bool IsVisible() const { return m_visible; }
    bool GetShowState() const { return m_requested_show; }
    void SetShowState(bool show) { m_requested_show = show; }
    void Show(bool show);
    widget* GetParent() const { return m_parent; }
    // -1 as a value stands for the current position (or size).
    void SetPosRule(int x_rule, int y_rule, float x_value, float y_value);
    void SetSizeRule(int width_rule, int height_rule, float width_value, float height_value);
    selflayout& GetLayout() { return m_layout; }
    int GetZOrder() const { return m_zorder; }
    void SetZOrder(int zorder);
    widget* FindChild(std::string_view name);
    // Children from the bottom to the top.
    std::vector<widget*> ChildrenInZOrder() const;
    // Moves the child after its equal z-order siblings (raise on click).
    void RaiseChild(widget* child);
    void SetDirty(bool dirty) { m_dirty = dirty; }
    void SetPressed(bool pressed) { m_pressed = pressed; }
    // On the UI thread; a registered name stays registered under the old one.
    void SetName(std::string name) { m_name = std::move(name); }
    void SetMouseTransparent(bool transparent) { m_mouse_transparent = transparent; }
    void SetMovable(bool movable) { m_movable = movable; }
    void SetFocusable(bool focusable) { m_focusable = focusable; }
    bool IsFocusable() const { return m_focusable; }
    bool IsFocusActive() const { return m_focus_active; }
    widget* GetActiveChild() const { return m_active_child; }
    void JoinFocusGroup(focusgroup* group);
    void FocusNext();
    void FocusPrev();
    void StartAnimation(int flags);
    void StopAnimations();
    int GetAnimationFlags() const { return m_animation_flags; }
    animationMgr& GetAnimationMgr() { return m_animations; }

protected:
    bool m_movable{false};
    bool m_pressed{false};        // the mouse is captured while set; a window's dragging flag
    fpoint m_drag_offset{0, 0};   // where the mouse grabbed a movable window
    bool m_dirty{true};
    fpoint m_draw_origin{0, 0};   // inside the nearest off-screen surface

private:
    void LinkZOrder(widget* child);            // under WidgetMutex
    void UnlinkChild(widget* child);           // under WidgetMutex
    void MakeActivePath();
    void FocusStep(bool forward);
    void PlaceForEntry(int flags);
    bool AddMoveKeyframes(ATimeLine& line, int flags);

    std::string m_name;
    float m_x{0};
    float m_y{0};
    float m_width{0};
    float m_height{0};
    float m_alpha{255};
    bool m_visible{true};
    bool m_requested_show{true};
    selflayout m_layout{this};
    float m_scale_x{1};
    float m_scale_y{1};
    std::optional<std::u16string> m_text;
    std::vector<widget*> m_children;   // insertion order; owning; guarded by WidgetMutex
    std::vector<widget*> m_zlist;      // the same children, bottom to top; guarded by WidgetMutex
    widget* m_parent{nullptr};
    fpoint m_screen_origin{0, 0};
    bool m_mouse_transparent{false};
    bool m_caret{false};
    bool m_focus_active{false};
    bool m_focusable{false};
    focusgroup* m_focus_group{nullptr};
    widget* m_active_child{nullptr};
    int m_zorder{500};
    animationMgr m_animations;
    int m_animation_flags{0};
};

}
