#include "GDIPlusRender.h"

#include "picture.h"

#include "platform/gdiplus/Gdiplus.h"

#include <algorithm>
#include <optional>

namespace RenderEngine {

namespace {

// Draws `image`'s source rectangle at (x, y, width, height), or at its own size when width or height is 0.
int draw_image(HWND window, Gdiplus::Image* image, Gdiplus::RectF src, float x, float y, float width, float height,
               float alpha, backbuffer* target)
{
    if (image == nullptr) return 0;
    auto* bitmap_target = dynamic_cast<GDIPlusBackBuffer*>(target);
    std::optional<Gdiplus::Graphics> graphics;
    if (bitmap_target) graphics.emplace(bitmap_target->GetBitmap());
    else graphics.emplace(window);
    if (graphics->GetLastStatus() != Gdiplus::Ok) return 0;
    graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::ColorMatrix fade{};
    for (int i = 0; i < 5; ++i) fade.m[i][i] = 1.0f;
    fade.m[3][3] = std::clamp(alpha, 0.0f, 1.0f);
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&fade);
    if (width == 0 || height == 0) {
        width = src.Width;
        height = src.Height;
    }
    graphics->DrawImage(image, Gdiplus::RectF{x, y, width, height}, src.X, src.Y, src.Width, src.Height,
                        Gdiplus::UnitPixel, &attributes);
    return 0;
}

}

GDIPlusBackBuffer::GDIPlusBackBuffer(unsigned width, unsigned height)
    : backbuffer(width, height),
      m_bitmap(std::make_unique<Gdiplus::Bitmap>(INT(width), INT(height), Gdiplus::PixelFormat32bppARGB))
{
}

GDIPlusBackBuffer::~GDIPlusBackBuffer() = default;

backbuffer* GDIPlusRender::CreateBackBuffer(unsigned width, unsigned height, bool)
{
    return new GDIPlusBackBuffer(width, height);
}

int GDIPlusRender::DrawBackBuffer(backbuffer* source, float x, float y, float width, float height, float alpha,
                                  backbuffer* target)
{
    if (source == nullptr) return -1;
    auto* bitmap_source = dynamic_cast<GDIPlusBackBuffer*>(source);
    if (bitmap_source == nullptr) return 0;
    Gdiplus::Bitmap* bitmap = bitmap_source->GetBitmap();
    Gdiplus::RectF whole{0, 0, float(bitmap->GetWidth()), float(bitmap->GetHeight())};
    return draw_image(m_window, bitmap, whole, x, y, width, height, alpha, target);
}

int GDIPlusRender::DrawPicture(picture* pic, float x, float y, float width, float height, float alpha,
                               backbuffer* target)
{
    auto* gdi_pic = dynamic_cast<gdipluspic*>(pic);
    if (gdi_pic == nullptr) return 0;
    Gdiplus::RectF src{pic->m_left, pic->m_top, pic->m_right - pic->m_left, pic->m_bottom - pic->m_top};
    return draw_image(m_window, gdi_pic->m_image, src, x, y, width, height, alpha, target);
}

int GDIPlusRender::ClearRect(backbuffer* target, float x, float y, float width, float height, float, float red,
                             float green, float blue)
{
    auto* bitmap_target = dynamic_cast<GDIPlusBackBuffer*>(target);
    if (bitmap_target == nullptr) return 0;
    Gdiplus::Graphics graphics(bitmap_target->GetBitmap());
    graphics.SetClip(Gdiplus::Rect{INT(x), INT(y), INT(width), INT(height)});
    auto channel = [](float v) { return BYTE(std::clamp(int(v), 0, 255)); };
    // Alpha 0, as the Direct3D renderer clears.
    graphics.Clear(Gdiplus::Color(0, channel(red), channel(green), channel(blue)));
    return 0;
}

int GDIPlusRender::Clear(backbuffer* target, float alpha, float red, float green, float blue)
{
    if (target == nullptr) return 0;
    return ClearRect(target, 0, 0, float(target->m_alloc_width), float(target->m_alloc_height), alpha, red, green, blue);
}

}
