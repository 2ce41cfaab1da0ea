#include "render.h"

#include "D3D9Render.h"
#include "GDIPlusRender.h"
#include "backbuffer.h"
#include "picture.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace RenderEngine {

namespace {

// The renderer and the two stacks of the process. No lock: only the compose
// thread, or a thread holding the UI render lock, touches them.
struct RenderState {
    std::unique_ptr<render> current;
    // Replaced renderers live on: the compose thread and the skin may still hold them.
    std::vector<std::unique_ptr<render>> replaced;
    std::unique_ptr<backbuffer> screen;
    std::vector<backbuffer*> targets;   // entry 0 is the screen target, never popped
    std::vector<UI::frect> clips;       // (left, top, right, bottom)
};

RenderState& state()
{
    static RenderState s;
    return s;
}

void apply_clip(const UI::frect& edges)
{
    SetClipRect(edges.x, edges.y, edges.width, edges.height);
}

}

render* CreateRender(HWND window, int mode)
{
    std::unique_ptr<render> made;
    if (mode == 0) made = std::make_unique<GDIPlusRender>(window);
    else if (mode == 2) made = std::make_unique<D3D9Render>();
    return SetRender(std::move(made));
}

render* SetRender(std::unique_ptr<render> made)
{
    RenderState& s = state();
    if (s.current) s.replaced.push_back(std::move(s.current));
    s.current = std::move(made);
    return s.current.get();
}

render* GetRender() { return state().current.get(); }

void InitRenderTargets()
{
    RenderState& s = state();
    s.targets.clear();
    s.clips.clear();
    s.screen = std::make_unique<d3dbackbuffer>(0u, 0u);
    s.targets.push_back(s.screen.get());
}

void PushRenderTarget(backbuffer* target, bool clear, float alpha, float red, float green, float blue)
{
    if (target == nullptr) return;
    state().targets.push_back(target);
    if (clear) ClearTarget(target, alpha, red, green, blue);
}

void PopRenderTarget()
{
    if (state().targets.size() >= 2) state().targets.pop_back();
}

backbuffer* GetRenderTarget() { return state().targets.empty() ? nullptr : state().targets.back(); }

void ClearTarget(backbuffer* target, float alpha, float red, float green, float blue)
{
    if (target && GetRender()) GetRender()->Clear(target, alpha, red, green, blue);
}

void SetClipRect(float left, float top, float right, float bottom)
{
    if (backbuffer* target = GetRenderTarget()) target->SetClip(left, top, right, bottom);
    if (GetRender()) GetRender()->SetClipRect(left, top, right, bottom);
}

void PushClipRect(const UI::frect& edges)
{
    auto& clips = state().clips;
    UI::frect cut = edges;
    if (!clips.empty()) {
        const UI::frect& outer = clips.back();
        cut = {std::max(cut.x, outer.x), std::max(cut.y, outer.y), std::min(cut.width, outer.width),
               std::min(cut.height, outer.height)};
        // Disjoint clips leave nothing visible; right and bottom stay non-zero so the clip still applies.
        if (cut.width <= cut.x || cut.height <= cut.y) cut = {1, 1, 1, 1};
    }
    clips.push_back(cut);
    apply_clip(cut);
}

void PopClipRect()
{
    auto& clips = state().clips;
    if (clips.empty()) return;
    clips.pop_back();
    apply_clip(clips.empty() ? UI::frect{0, 0, 0, 0} : clips.back());
}

int DrawPicture(picture* pic, float x, float y, float width, float height, float alpha)
{
    render* r = GetRender();
    return r ? r->DrawPicture(pic, x, y, width, height, alpha, GetRenderTarget()) : 0;
}

int DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha)
{
    render* r = GetRender();
    return r ? r->DrawBackBuffer(source, x, y, width, height, alpha, GetRenderTarget()) : 0;
}

int DrawText(const WCHAR* text, float x, float y, float width, float height, fontstyle* style)
{
    render* r = GetRender();
    return r ? r->DrawText(text, x, y, width, height, style, GetRenderTarget()) : 0;
}

}
