#pragma once
// The widgets that hold the keyboard focus, that captured the mouse and that
// the mouse is over. Read and changed under UIRenderMutex; a widget clears
// each of them that points at it when it is destroyed.

namespace UI {

class widget;

widget* GetFocusedWidget();
// The new widget's OnFocusIn runs before the old one's OnFocusOut; null clears the focus.
void SetFocusedWidget(widget* w);
widget* GetCapturedWidget();
void SetCapturedWidget(widget* w);
widget* GetHoverWidget();
void SetHoverWidget(widget* w);

// Clears every pointer that names w (its destructor calls this).
void ForgetWidget(widget* w);

}
