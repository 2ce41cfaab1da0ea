#include "Gdiplus.h"

#include "platform/window/PresentWindow.h"

#include <cairo.h>

#include <cstring>
#include <vector>

namespace Gdiplus {

namespace {

cairo_surface_t* new_surface(INT width, INT height, Status& status)
{
    if (width <= 0 || height <= 0) {
        status = InvalidParameter;
        return nullptr;
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        status = OutOfMemory;
        return nullptr;
    }
    return s;
}

std::uint32_t premultiply(std::uint32_t p)
{
    std::uint32_t a = p >> 24;
    auto m = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | m(p >> 16 & 0xff) << 16 | m(p >> 8 & 0xff) << 8 | m(p & 0xff);
}

}

Status ImageAttributes::SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags, ColorAdjustType)
{
    if (matrix == nullptr) return InvalidParameter;
    m_alpha = matrix->m[3][3];
    return Ok;
}

Image::~Image()
{
    if (m_surface) cairo_surface_destroy(m_surface);
}

UINT Image::GetWidth() const { return m_surface ? UINT(cairo_image_surface_get_width(m_surface)) : 0; }
UINT Image::GetHeight() const { return m_surface ? UINT(cairo_image_surface_get_height(m_surface)) : 0; }

Bitmap::Bitmap(INT width, INT height, PixelFormat) { m_surface = new_surface(width, height, m_status); }

Bitmap::Bitmap(INT width, INT height, INT stride, PixelFormat format, const BYTE* scan0)
{
    m_surface = new_surface(width, height, m_status);
    if (!m_surface || scan0 == nullptr || stride < width * 4) {
        if (m_status == Ok) m_status = InvalidParameter;
        return;
    }
    cairo_surface_flush(m_surface);
    auto* rows = cairo_image_surface_get_data(m_surface);
    int pitch = cairo_image_surface_get_stride(m_surface);
    for (INT y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(rows + y * pitch);
        std::memcpy(out, scan0 + std::size_t(y) * stride, std::size_t(width) * 4);
        if (format != PixelFormat32bppPARGB)
            for (INT x = 0; x < width; ++x) out[x] = premultiply(out[x]);
    }
    cairo_surface_mark_dirty(m_surface);
}

Status Bitmap::GetPixel(INT x, INT y, Color* color) const
{
    if (!m_surface || color == nullptr || x < 0 || y < 0 || x >= INT(GetWidth()) || y >= INT(GetHeight()))
        return InvalidParameter;
    cairo_surface_flush(m_surface);
    auto* rows = cairo_image_surface_get_data(m_surface);
    std::uint32_t p = reinterpret_cast<std::uint32_t*>(rows + y * cairo_image_surface_get_stride(m_surface))[x];
    *color = Color(BYTE(p >> 24), BYTE(p >> 16), BYTE(p >> 8), BYTE(p));
    return Ok;
}

struct Graphics::State {
    cairo_surface_t* window_surface{nullptr};   // owned; only for a window graphics
    cairo_t* cr{nullptr};
    HWND window{nullptr};
};

Graphics::Graphics(Image* image) : m_state(std::make_unique<State>())
{
    if (image == nullptr || image->surface() == nullptr) {
        m_status = InvalidParameter;
        return;
    }
    m_state->cr = cairo_create(image->surface());
}

Graphics::Graphics(HWND window) : m_state(std::make_unique<State>())
{
    auto client = plat::present_client_rect(window);
    if (!client) {
        m_status = Win32Error;
        return;
    }
    m_state->window = window;
    m_state->window_surface = new_surface(client->right, client->bottom, m_status);
    if (!m_state->window_surface) return;
    std::vector<std::uint32_t> shown = plat::present_frame_copy(window);
    cairo_surface_flush(m_state->window_surface);
    auto* rows = cairo_image_surface_get_data(m_state->window_surface);
    int pitch = cairo_image_surface_get_stride(m_state->window_surface);
    for (LONG y = 0; y < client->bottom && !shown.empty(); ++y)
        std::memcpy(rows + y * pitch, shown.data() + std::size_t(y) * client->right, std::size_t(client->right) * 4);
    cairo_surface_mark_dirty(m_state->window_surface);
    m_state->cr = cairo_create(m_state->window_surface);
}

Graphics::~Graphics()
{
    if (m_state->cr) cairo_destroy(m_state->cr);
    if (m_state->window_surface) {
        cairo_surface_flush(m_state->window_surface);
        int w = cairo_image_surface_get_width(m_state->window_surface);
        int h = cairo_image_surface_get_height(m_state->window_surface);
        plat::FrameView frame{reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(m_state->window_surface)),
                              w, h, cairo_image_surface_get_stride(m_state->window_surface) / 4};
        plat::present_frame(m_state->window, frame, RECT{0, 0, w, h}, RECT{0, 0, w, h});
        cairo_surface_destroy(m_state->window_surface);
    }
}

Status Graphics::SetSmoothingMode(SmoothingMode mode)
{
    if (!m_state->cr) return m_status;
    cairo_set_antialias(m_state->cr, mode == SmoothingModeAntiAlias ? CAIRO_ANTIALIAS_GOOD : CAIRO_ANTIALIAS_DEFAULT);
    return Ok;
}

Status Graphics::SetClip(const Rect& rect)
{
    if (!m_state->cr) return m_status;
    cairo_reset_clip(m_state->cr);
    cairo_rectangle(m_state->cr, rect.X, rect.Y, rect.Width, rect.Height);
    cairo_clip(m_state->cr);
    return Ok;
}

Status Graphics::ResetClip()
{
    if (!m_state->cr) return m_status;
    cairo_reset_clip(m_state->cr);
    return Ok;
}

Status Graphics::Clear(const Color& color)
{
    if (!m_state->cr) return m_status;
    ARGB c = color.GetValue();
    cairo_save(m_state->cr);
    cairo_set_operator(m_state->cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(m_state->cr, (c >> 16 & 0xff) / 255.0, (c >> 8 & 0xff) / 255.0, (c & 0xff) / 255.0,
                          (c >> 24) / 255.0);
    cairo_paint(m_state->cr);
    cairo_restore(m_state->cr);
    return Ok;
}

Status Graphics::DrawImage(Image* image, const RectF& dest, REAL src_x, REAL src_y, REAL src_width, REAL src_height,
                           Unit unit, const ImageAttributes* attributes)
{
    if (!m_state->cr) return m_status;
    if (image == nullptr || image->surface() == nullptr || unit != UnitPixel || src_width <= 0 || src_height <= 0)
        return InvalidParameter;
    if (dest.Width == 0 || dest.Height == 0) return Ok;
    cairo_t* cr = m_state->cr;
    cairo_save(cr);
    cairo_rectangle(cr, dest.X, dest.Y, dest.Width, dest.Height);
    cairo_clip(cr);
    cairo_translate(cr, dest.X, dest.Y);
    cairo_scale(cr, dest.Width / src_width, dest.Height / src_height);
    cairo_set_source_surface(cr, image->surface(), -src_x, -src_y);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint_with_alpha(cr, attributes ? attributes->alpha_scale() : 1.0);
    cairo_restore(cr);
    return Ok;
}

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*)
{
    if (token == nullptr || input == nullptr || input->GdiplusVersion != 1) return InvalidParameter;
    *token = 1;   // cairo needs no start-up; the token only pairs the calls
    return Ok;
}

void GdiplusShutdown(ULONG_PTR) {}

}
