#include "InputState.h"

#include "CMutexGuard.h"
#include "widget.h"

#include "platform/sync/Mutex.h"

namespace UI {

namespace {

struct InputState {
    widget* focused{nullptr};    // guarded by UIRenderMutex
    widget* captured{nullptr};   // guarded by UIRenderMutex
    widget* hover{nullptr};      // guarded by UIRenderMutex
};

InputState& state()
{
    static InputState s;
    return s;
}

}

widget* GetFocusedWidget()
{
    CMutexGuard hold(UIRenderMutex());
    return state().focused;
}

void SetFocusedWidget(widget* w)
{
    CMutexGuard hold(UIRenderMutex());
    widget* old = state().focused;
    if (w == old) return;
    if (w) w->OnFocusIn();
    if (old) old->OnFocusOut();
    state().focused = w;
}

widget* GetCapturedWidget()
{
    CMutexGuard hold(UIRenderMutex());
    return state().captured;
}

void SetCapturedWidget(widget* w)
{
    CMutexGuard hold(UIRenderMutex());
    state().captured = w;
}

widget* GetHoverWidget()
{
    CMutexGuard hold(UIRenderMutex());
    return state().hover;
}

void SetHoverWidget(widget* w)
{
    CMutexGuard hold(UIRenderMutex());
    state().hover = w;
}

void ForgetWidget(widget* w)
{
    CMutexGuard hold(UIRenderMutex());
    InputState& s = state();
    if (s.focused == w) s.focused = nullptr;
    if (s.captured == w) s.captured = nullptr;
    if (s.hover == w) s.hover = nullptr;
}

}
