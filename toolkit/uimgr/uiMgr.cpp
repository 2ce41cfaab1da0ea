#include "toolkit/uimgr/uiMgr.h"

#include "toolkit/uimgr/MainWindowMessages.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/window.h"

#include "toolkit/render/backbuffer.h"

#include "core/settings/CAppSettings.h"
#include "platform/base/DebugLog.h"
#include "platform/sync/MessageQueue.h"
#include "platform/window/Messages.h"
#include "platform/window/Window.h"

#include <chrono>

namespace UI {
namespace {

constexpr UINT kUserMessage17415 = 17415;
constexpr DWORD kDeviceMustReset = 0x10003;

// The caret shows for nine polls and hides for twelve.
constexpr int kCaretShownBelow = 10;
constexpr int kCaretCounterLast = 20;

MouseEventArgs mouse_at(int x, int y)
{
    MouseEventArgs e;
    e.position = {float(x), float(y)};
    return e;
}

// Offers the record to w, then to each parent in turn until one handles it.
template <typename Deliver>
void bubble(widget* w, EventArgs& e, Deliver deliver)
{
    for (; w && !e.handled; w = w->GetParent()) deliver(*w);
}

}  // namespace

long uiMgr::Resize()
{
    const CAppSettings* settings = CAppSettings::Instance();
    if (!m_root || !settings)
        return 0;
    const auto width = unsigned(settings->GetMetric(4));
    const auto height = unsigned(settings->GetMetric(5));
    for (window* w : {m_root, m_overlay}) {
        if (!w)
            continue;
        w->SetSize(float(width), float(height));
        if (RenderEngine::backbuffer* surface = w->GetBackBuffer())
            surface->SetSize(width, height);
    }
    if (m_overlay)
        m_overlay->Invalidate();
    m_root->UpdateLayout();
    if (m_hooks)
        m_hooks->UpdateWindowState();
    return 0;
}

int64_t StopWatch::Lap()
{
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch()).count();
    if (m_last < 0) {
        m_last = now;
        return m_last_lap = 30;
    }
    m_last_lap = (now - m_last) / 1'000'000;
    m_last = now;
    return m_last_lap;
}

uiMgr& uiMgr::Instance()
{
    static uiMgr* manager = new uiMgr;   // never freed: widgets may reach it until the process ends
    return *manager;
}

long uiMgr::Release() { return 1; }

void uiMgr::DebugOutput(const WCHAR* text) const { OutputDebugStringW(text); }

long uiMgr::Render()
{
    const int64_t elapsed = m_render_watch.Lap();
    if (!m_root)
        return 0;
    // The tip hangs in the tree too: hidden before anything draws it.
    if (m_tooltip_target && !TooltipStillTells()) {
        m_tooltip->Show(false);
        m_tooltip_target = nullptr;
    }
    m_root->Draw();
    if (m_tooltip && m_tooltip->IsVisible())
        m_tooltip->Draw();
    m_animations.Tick(int(elapsed));
    m_root->TickAnimations();
    return 0;
}

// The tip tells about its widget only while the pointer stays on it where it
// was: a widget that went (hidden, or slid away with its window) takes its
// tip along, though no mouse move came to say so.
bool uiMgr::TooltipStillTells()
{
    // Compared before anything is read of it: the hover widget is alive, a
    // former target may not be.
    if (m_tooltip_target != GetHoverWidget())
        return false;
    for (const widget* w = m_tooltip_target; w; w = w->GetParent())
        if (!w->IsVisible())
            return false;
    const fpoint now = m_tooltip_target->UpdateScreenOrigin();
    return now.x == m_tooltip_origin.x && now.y == m_tooltip_origin.y;
}

bool uiMgr::OnTooltipTarget(EventArgs& e)
{
    if (!e.sender || !m_tooltip)
        return false;
    m_tooltip_target = e.sender;
    m_tooltip_origin = e.sender->UpdateScreenOrigin();
    // At the widget's place in the window: its own position is only its place inside its parent.
    fpoint at = m_tooltip_origin;
    if (widget* holder = m_tooltip->GetParent()) {
        const fpoint base = holder->UpdateScreenOrigin();
        at = {at.x - base.x, at.y - base.y};
    }
    m_tooltip->SetPos(at.x, at.y);
    const std::u16string text = e.sender->GetText();
    m_tooltip->SetText(text.c_str());
    m_tooltip->Show(true);
    return false;
}

long uiMgr::OnDeviceEvent(DWORD code, intptr_t, intptr_t)
{
    if (code == kDeviceMustReset && m_hwnd)
        PostMessageW(m_hwnd, WM_DEVICE_RESET, 0, 0);
    return 0;
}

long uiMgr::InvalidateLayer(int)
{
    if (m_root)
        m_root->SetDirty(true);
    return 0;
}

// The blink only adds a redraw where it turns: a focused field no longer
// hides the tree's own need to be drawn.
bool uiMgr::NeedsRedraw()
{
    bool blink = false;
    if (widget* focused = GetFocusedWidget()) {
        ++m_caret_counter;
        focused->SetCaretFlag(m_caret_counter < kCaretShownBelow);
        if (m_caret_counter > kCaretCounterLast)
            m_caret_counter = 0;
        if (m_caret_counter == 1 || m_caret_counter == kCaretShownBelow + 1) {
            focused->Invalidate();
            blink = true;
        }
    } else {
        m_poll_watch.Lap();
    }
    return blink || (m_root && m_root->IsDirty());
}

LRESULT uiMgr::OnMessage(UINT message, WPARAM wparam, LPARAM lparam)
{
    const int x = GET_X_LPARAM(lparam);
    const int y = GET_Y_LPARAM(lparam);
    // The controller's device and key handlers run without the lock; a key
    // reaches the widgets under it (OnKeyDown).
    if (message == WM_DEVICECHANGE) {
        if (m_hooks)
            m_hooks->OnDeviceChange(wparam, lparam);
        return 0;
    }
    if (message == WM_KEYDOWN)
        return OnKeyDown(LOWORD(wparam));
    // Everything else may change widgets the compose thread is drawing: a
    // deactivation drops the focus a draw may be reading.
    CMutexGuard hold(UIRenderMutex());
    switch (message) {
    case WM_CHAR:
        return OnChar(wparam);
    case WM_TIMER:
        return m_hooks ? m_hooks->OnTimer(wparam) : 0;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        return OnMouseMove(x, y);
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
        return OnLButtonDown(x, y);
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
        return OnLButtonUp(x, y);
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK:
        return OnLButtonDblClk(x, y);
    case WM_MOUSEWHEEL:
        return OnMouseWheel(short(HIWORD(wparam)), x, y);
    case kUserMessage17415:
        if (m_hooks)
            m_hooks->OnUserMessage17415(wparam);
        return 0;
    case WM_ACTIVATEAPP:
        if (wparam == 0)
            SetFocusedWidget(nullptr);
        return 0;
    default:
        return 0;
    }
}

bool uiMgr::OnMouseMove(int x, int y)
{
    if (!m_root)
        return false;
    MouseEventArgs e = mouse_at(x, y);
    widget* focused = GetFocusedWidget();
    if (focused && focused->IsPressed()) {
        focused->OnMouseMove(e);
        return true;
    }
    widget* under = m_root->ChildAt(float(x), float(y));
    if (widget* hover = GetHoverWidget(); under != hover) {
        if (hover)
            hover->OnMouseLeave();
        if (under)
            under->OnMouseEnter();
        SetHoverWidget(under);
    }
    bubble(under, e, [&](widget& w) { w.OnMouseMove(e); });
    if (m_hooks) {
        if (!e.cursor_set)
            m_hooks->SetEdgeCursor(x, y);
        m_hooks->OnMouseMove(e);
    }
    return under && e.handled;
}

bool uiMgr::OnLButtonDown(int x, int y)
{
    if (!m_root)
        return false;
    MouseEventArgs e = mouse_at(x, y);
    widget* focused = GetFocusedWidget();
    if (focused && focused->IsPressed()) {
        focused->OnMouseDown(e);
        return true;
    }
    widget* under = m_root->ChildAt(float(x), float(y));
    if (under != focused)
        SetFocusedWidget(under);
    if (!under)
        return true;
    bubble(under, e, [&](widget& w) { w.OnMouseDown(e); });
    return e.handled;
}

bool uiMgr::OnLButtonUp(int x, int y)
{
    if (!m_root)
        return false;
    MouseEventArgs e = mouse_at(x, y);
    widget* focused = GetFocusedWidget();
    if (focused && focused->IsPressed()) {
        focused->OnMouseUp(e);
        if (e.handled)
            return true;
    }
    widget* under = m_root->ChildAt(float(x), float(y));
    if (!under)
        return true;
    if (widget* hover = GetHoverWidget(); hover && hover != under) {
        hover->OnMouseUp(e);
        e.handled = 0;
    }
    bubble(under, e, [&](widget& w) { w.OnMouseUp(e); });
    return e.handled;
}

bool uiMgr::OnLButtonDblClk(int x, int y)
{
    if (!m_root)
        return false;
    MouseEventArgs e = mouse_at(x, y);
    widget* under = m_root->ChildAt(float(x), float(y));
    if (!under)
        return true;
    bubble(under, e, [&](widget& w) { w.OnDoubleClick(e); });
    if (!e.handled && m_client)
        m_client->OnDoubleClick(e);
    return e.handled;
}

// The leaf of the tree's chain of active children: the widget its focus
// groups lead to.
widget* uiMgr::KeyboardFocus() const
{
    widget* w = m_root;
    while (w && w->GetActiveChild())
        w = w->GetActiveChild();
    return w == m_root ? nullptr : w;
}

bool uiMgr::OnMouseWheel(int delta, int x, int y)
{
    if (!m_root)
        return false;
    if (widget* target = KeyboardFocus()) {
        MouseEventArgs e = mouse_at(x, y);
        e.second = {float(delta), 0};
        bubble(target, e, [&](widget& w) { w.OnMouseWheel(e); });
    }
    return m_hooks && m_hooks->OnMouseWheel(delta, x, y);
}

bool uiMgr::OnChar(WPARAM character)
{
    if (!m_root)
        return false;
    widget* focused = GetFocusedWidget();
    if (!focused)
        return false;
    ValueEventArgs e;
    e.value = intptr_t(character);
    return focused->OnChar(e);
}

bool uiMgr::OnKeyDown(int key)
{
    if (!m_root)
        return false;
    {
        // A key edits text and moves the focus while the compose thread may be drawing.
        CMutexGuard hold(UIRenderMutex());
        if (widget* target = KeyboardFocus()) {
            ValueEventArgs e;
            e.value = key;
            bubble(target, e, [&](widget& w) { w.OnKey(e); });
        }
    }
    return m_hooks && m_hooks->OnKeyDown(key);
}

}
