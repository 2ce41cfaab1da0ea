#pragma once
// The second renderer: GDI+ bitmaps as window surfaces, drawn into the main
// window. The program makes the Direct3D renderer; this one keeps the
// renderer contract honest with a second implementation.

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"

#include <memory>

namespace Gdiplus {
class Bitmap;
}

namespace RenderEngine {

class GDIPlusBackBuffer : public backbuffer {
public:
    GDIPlusBackBuffer(unsigned width, unsigned height);
    ~GDIPlusBackBuffer() override;

    Gdiplus::Bitmap* GetBitmap() const { return m_bitmap.get(); }

private:
    std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
};

class GDIPlusRender : public render {
public:
    explicit GDIPlusRender(HWND window) : m_window(window) {}

    backbuffer* CreateBackBuffer(unsigned width, unsigned height, bool render_target) override;
    int DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha,
                       backbuffer* target) override;
    int DrawPicture(picture* pic, float x, float y, float width, float height, float alpha,
                    backbuffer* target) override;
    int DrawText(const WCHAR*, float, float, float, float, fontstyle*, backbuffer*) override { return 0; }
    int BeginFrame() override { return 0; }
    int EndFrame() override { return 0; }
    int BeginSwapChainFrame() override { return 0; }
    int PresentToWindow(HWND, backbuffer*) override { return 0; }
    int SetClipRect(float, float, float, float) override { return 0; }
    int ClearRect(backbuffer* target, float x, float y, float width, float height, float alpha, float red,
                  float green, float blue) override;
    int Clear(backbuffer* target, float alpha, float red, float green, float blue) override;

private:
    HWND m_window;
};

}
