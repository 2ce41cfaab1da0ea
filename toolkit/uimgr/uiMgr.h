// The process's one UI manager: it owns the main window's widget tree, routes
// the window's input into it and draws it as a layer of the compose server.
// Input runs on the UI thread; NeedsRedraw and Render on the compose thread,
// which holds UIRenderMutex for them; every input that can change widgets
// takes the same lock.
#pragma once

#include "toolkit/widgets/IUo.h"
#include "toolkit/render/Geometry.h"
#include "toolkit/widgets/animationMgr.h"

#include "platform/window/Handles.h"

#include <cstdint>

namespace UI {

class widget;
class window;
struct focusgroup;
struct EventArgs;
struct MouseEventArgs;

// Milliseconds between laps of a monotonic clock; the first lap answers 30.
class StopWatch {
public:
    int64_t Lap();
    int64_t LastLap() const { return m_last_lap; }

private:
    int64_t m_last{-1};   // the clock's stamp of the previous lap, in nanoseconds
    int64_t m_last_lap{30};
};

// What the controller does with the input the widgets leave, named after its
// calls; the start-up wires the controller in, tests give a fake.
class uiLogicHooks {
public:
    virtual ~uiLogicHooks() = default;
    virtual LRESULT OnTimer(UINT_PTR id) = 0;
    virtual void OnDeviceChange(WPARAM wparam, LPARAM lparam) = 0;
    virtual void OnUserMessage17415(WPARAM wparam) = 0;
    // The window-edge resize cursor for a client point.
    virtual void SetEdgeCursor(int x, int y) = 0;
    virtual void OnMouseMove(MouseEventArgs& e) = 0;
    virtual bool OnMouseWheel(int delta, int x, int y) = 0;
    virtual bool OnKeyDown(int key) = 0;
    // After a resize of the tree.
    virtual void UpdateWindowState() = 0;
};

class uiMgr : public IUo {
public:
    static uiMgr& Instance();

    // The tree's root window "root", set by the widget tree builder; null until then.
    // Read and set on the UI thread.
    window* GetRoot() const { return m_root; }
    void SetRoot(window* root) { m_root = root; }
    // "rootui", the child of the root holding windows in motion; may be null.
    void SetOverlayRoot(window* overlay) { m_overlay = overlay; }
    window* GetOverlayRoot() const { return m_overlay; }
    // The video play window, set by the widget tree builder; may be null.
    // The video layer invalidates it for every presented frame.
    void SetVideoWindow(widget* video) { m_video = video; }
    widget* GetVideoWindow() const { return m_video; }
    // The player's control bar, set by the widget tree builder; may be null.
    void SetControlBar(widget* bar) { m_control_bar = bar; }
    widget* GetControlBar() const { return m_control_bar; }
    // Receives double-clicks that nothing else handles; may be null.
    void SetClient(widget* client) { m_client = client; }
    widget* GetClient() const { return m_client; }
    // The builder's: the root's focus group, the title window (outside the
    // tree) and the four frames around the client; null until it set them.
    enum class Frame { Top, Left, Bottom, Right };
    void SetFocusGroup(focusgroup* group) { m_focus_group = group; }
    focusgroup* GetFocusGroup() const { return m_focus_group; }
    void SetTitleWindow(window* title) { m_title = title; }
    window* GetTitleWindow() const { return m_title; }
    void SetFrame(Frame which, window* frame) { m_frames[static_cast<int>(which)] = frame; }
    window* GetFrame(Frame which) const { return m_frames[static_cast<int>(which)]; }
    void SetHooks(uiLogicHooks* hooks) { m_hooks = hooks; }
    // The tooltip, drawn after the root; may be null. A new one tells about no widget yet.
    void SetTooltip(widget* tooltip)
    {
        m_tooltip = tooltip;
        m_tooltip_target = nullptr;
    }
    // The handler of the global "tooltips_target": the tooltip moves to the
    // widget the mouse entered (the sender) and takes its text. Leaves the
    // event unhandled for the other subscribers. The tip is shown only while
    // that widget stays under the pointer, shown, where it was.
    bool OnTooltipTarget(EventArgs& e);
    void SetHwnd(HWND hwnd) { m_hwnd = hwnd; }
    HWND GetHwnd() const { return m_hwnd; }
    // Writes a text to the debug output: the controller's trace goes through here.
    void DebugOutput(const WCHAR* text) const;
    // The manager's own animations, stepped once per render.
    animationMgr& GetAnimations() { return m_animations; }

    // The manager lives as long as the process: the compose server's last
    // release must not free it.
    long Release() override;
    long Render() override;
    // 0x10003 (the device must be reset) asks the main window to reset it.
    long OnDeviceEvent(DWORD code, intptr_t first, intptr_t second) override;
    bool WantsEvent(DWORD code) override { return code == 0x10002; }
    long SetLayerActive(bool) override { return 0; }
    bool IsLayerActive() override { return true; }
    long InvalidateLayer(int flag) override;
    // Steps the caret blink of the focused widget and answers whether the
    // tree has anything to draw.
    bool NeedsRedraw() override;
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

    bool OnMouseMove(int x, int y);
    bool OnLButtonDown(int x, int y);
    bool OnLButtonUp(int x, int y);
    bool OnLButtonDblClk(int x, int y);
    bool OnMouseWheel(int delta, int x, int y);
    bool OnChar(WPARAM character);
    bool OnKeyDown(int key);
    // On WM_SIZE, under the render lock: both roots and the used part of their
    // surfaces take the settings' client size, the tree is laid out again and
    // the controller updates its window state.
    long Resize();

private:
    uiMgr() = default;
    ~uiMgr() override = default;

    widget* KeyboardFocus() const;
    bool TooltipStillTells();

    window* m_root{nullptr};   // not owned: the builder's tree
    window* m_overlay{nullptr};
    widget* m_video{nullptr};
    widget* m_control_bar{nullptr};
    widget* m_client{nullptr};
    widget* m_tooltip{nullptr};
    widget* m_tooltip_target{nullptr};   // under UIRenderMutex; compared only, unless it is the hover widget
    fpoint m_tooltip_origin{0, 0};       // under UIRenderMutex: the target's place when the tip came
    focusgroup* m_focus_group{nullptr};
    window* m_title{nullptr};
    window* m_frames[4]{};
    uiLogicHooks* m_hooks{nullptr};
    HWND m_hwnd{nullptr};
    int m_caret_counter{0};    // under UIRenderMutex: 0..20, the caret shows below 10
    StopWatch m_render_watch;
    StopWatch m_poll_watch;
    animationMgr m_animations;
};

}
