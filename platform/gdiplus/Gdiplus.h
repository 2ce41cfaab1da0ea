#pragma once
// The subset of GDI+ that the GDI+ renderer calls, with the GDI+ names and
// numbers, drawn with cairo. Bitmaps hold 32-bit premultiplied ARGB, which is
// cairo's own pixel format.

#include "platform/window/Handles.h"

#include <memory>

typedef struct _cairo_surface cairo_surface_t;

namespace Gdiplus {

using REAL = float;
using ARGB = DWORD;
using PixelFormat = INT;

inline constexpr PixelFormat PixelFormat32bppARGB = 0x26200A;
inline constexpr PixelFormat PixelFormat32bppPARGB = 0xE200B;

enum Status { Ok = 0, GenericError = 1, InvalidParameter = 2, OutOfMemory = 3, NotImplemented = 6, Win32Error = 7 };
enum Unit { UnitPixel = 2 };
enum SmoothingMode { SmoothingModeDefault = 0, SmoothingModeAntiAlias = 4 };
enum ColorMatrixFlags { ColorMatrixFlagsDefault = 0 };
enum ColorAdjustType { ColorAdjustTypeDefault = 0 };

class Color {
public:
    Color() = default;
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : m_argb(ARGB(a) << 24 | ARGB(r) << 16 | ARGB(g) << 8 | b) {}
    ARGB GetValue() const { return m_argb; }

private:
    ARGB m_argb{0};
};

struct Rect {
    INT X, Y, Width, Height;
};

struct RectF {
    REAL X, Y, Width, Height;
};

struct ColorMatrix {
    REAL m[5][5];
};

// Only the alpha scale of a colour matrix (m[3][3]) is applied: that is the one use.
class ImageAttributes {
public:
    Status SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags = ColorMatrixFlagsDefault,
                          ColorAdjustType = ColorAdjustTypeDefault);
    REAL alpha_scale() const { return m_alpha; }

private:
    REAL m_alpha{1.0f};
};

class Image {
public:
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    UINT GetWidth() const;
    UINT GetHeight() const;
    Status GetLastStatus() const { return m_status; }
    cairo_surface_t* surface() const { return m_surface; }

protected:
    Image() = default;
    cairo_surface_t* m_surface{nullptr};   // owned
    Status m_status{Ok};
};

class Bitmap : public Image {
public:
    Bitmap(INT width, INT height, PixelFormat format);
    // Copies the pixels (premultiplied or straight ARGB rows of `stride` bytes).
    Bitmap(INT width, INT height, INT stride, PixelFormat format, const BYTE* scan0);
    Status GetPixel(INT x, INT y, Color* color) const;   // the stored (premultiplied) value
};

class Graphics {
public:
    explicit Graphics(Image* image);
    // Draws over what the window shows and presents when the graphics goes.
    explicit Graphics(HWND window);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    Status GetLastStatus() const { return m_status; }
    Status SetSmoothingMode(SmoothingMode mode);
    Status SetClip(const Rect& rect);
    Status ResetClip();
    Status Clear(const Color& color);
    Status DrawImage(Image* image, const RectF& dest, REAL src_x, REAL src_y, REAL src_width, REAL src_height,
                     Unit unit, const ImageAttributes* attributes);

private:
    struct State;
    std::unique_ptr<State> m_state;
    Status m_status{Ok};
};

struct GdiplusStartupInput {
    UINT GdiplusVersion{1};
    void* DebugEventCallback{nullptr};
    BOOL SuppressBackgroundThread{FALSE};
    BOOL SuppressExternalCodecs{FALSE};
};

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

}
