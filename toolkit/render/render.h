#pragma once
// The one renderer everything draws through, and the free functions widgets
// use: they draw into the top of the render-target stack with the current
// renderer. All of it runs on the compose thread or under the UI render lock.

#include "toolkit/render/Geometry.h"

#include "platform/window/Handles.h"

#include <memory>

namespace RenderEngine {

class backbuffer;
class picture;
struct fontstyle;

class render {
public:
    virtual ~render() = default;

    // The caller owns the back buffer.
    virtual backbuffer* CreateBackBuffer(unsigned width, unsigned height, bool render_target) = 0;
    virtual int DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha,
                               backbuffer* target) = 0;
    virtual int DrawPicture(picture* pic, float x, float y, float width, float height, float alpha,
                            backbuffer* target) = 0;
    virtual int DrawText(const WCHAR* text, float x, float y, float width, float height, fontstyle* style,
                         backbuffer* target) = 0;
    virtual int ReservedOp(int, int, int, int, int, int, int, int, int) { return 0; }
    virtual int BeginFrame() = 0;
    virtual int EndFrame() = 0;
    virtual int BeginSwapChainFrame() = 0;
    virtual int PresentToWindow(HWND window, backbuffer* buffer) = 0;
    virtual int SetClipRect(float left, float top, float right, float bottom) = 0;
    // Colours are 0..255 floats; the alpha argument is ignored.
    virtual int ClearRect(backbuffer* target, float x, float y, float width, float height, float alpha, float red,
                          float green, float blue) = 0;
    virtual int Clear(backbuffer* target, float alpha, float red, float green, float blue) = 0;
};

// Mode 0: GDI+ renderer; mode 2: Direct3D 9 renderer; others: none. The result
// becomes current; an earlier renderer stops being current but is kept, as
// every renderer is, for the rest of the run.
render* CreateRender(HWND window, int mode);
// Makes a renderer of another kind current, as CreateRender does (tests record draws through one).
render* SetRender(std::unique_ptr<render> made);
render* GetRender();

// Puts the screen target (no surface of its own) at the bottom of the stack.
void InitRenderTargets();
void PushRenderTarget(backbuffer* target, bool clear, float alpha, float red, float green, float blue);
void PopRenderTarget();
backbuffer* GetRenderTarget();
void ClearTarget(backbuffer* target, float alpha, float red, float green, float blue);

// Clips the current target (and the renderer) to (left, top, right, bottom); right = bottom = 0: no clip.
void SetClipRect(float left, float top, float right, float bottom);
// Nested clips: a pushed clip is cut by the one in force; popping restores it.
void PushClipRect(const UI::frect& edges);
void PopClipRect();

int DrawPicture(picture* pic, float x, float y, float width, float height, float alpha);
int DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha);
int DrawText(const WCHAR* text, float x, float y, float width, float height, fontstyle* style);
void DrawPictureNinePiece(picture* pic, float alpha, float x, float y, float width, float height, float border_left,
                          float border_top, float border_right, float border_bottom);

}
