#include "core/app/MainFrame.h"

#include "platform/window/Messages.h"

LRESULT main_hit_test(POINT p, const RECT& w, ScreenSize screen)
{
    if (w.right - w.left == screen.width && w.bottom - w.top == screen.height)
        return HTCLIENT;
    const bool top = p.y < w.top + 5;
    if (p.y > w.top + 5 && p.y < w.top + 27 && p.x < w.right - 60) {
        // The centred 200 pixels and the last 60 of the band stay client
        // area, for the buttons drawn there.
        const int middle = (w.right - w.left - 200) / 2;
        if (p.x < w.left + middle || p.x > w.left + middle + 200)
            return HTCAPTION;
    }
    const bool left = p.x < w.left + 5, right = p.x > w.right - 5, bottom = p.y > w.bottom - 5;
    if (left && top) return HTTOPLEFT;
    if (left && bottom) return HTBOTTOMLEFT;
    if (left) return HTLEFT;
    if (right && top) return HTTOPRIGHT;
    if (right && bottom) return HTBOTTOMRIGHT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    return HTCLIENT;
}

void apply_sizing_rule(RECT& r, ScreenSize screen)
{
    if (r.right - r.left < MinWidth) r.right = r.left + MinWidth;
    if (r.bottom - r.top < MinHeight) r.bottom = r.top + MinHeight;
    if (r.right - r.left > screen.width) r.right = r.left + screen.width;
    if (r.bottom - r.top > screen.height) r.bottom = r.top + screen.height;
}
