// Drawing a skin picture stretched to a rectangle with crisp borders.

#include "render.h"

#include "picture.h"

namespace RenderEngine {

namespace {

// One axis cut into pieces: source edges and destination spans.
struct Span {
    float src_from, src_to;
    int at, size;
};

// Two halves when the destination is not larger than the source (each half's source as wide as the
// destination's first half), else three parts cut by the borders.
int split(float lo, float hi, int at, int size, float border_lo, float border_hi, bool larger, Span out[3])
{
    if (!larger) {
        int half = (size + 1) / 2;
        out[0] = {lo, lo + half, at, half};
        out[1] = {hi - half, hi, at + half, size - half};
        return 2;
    }
    int b_lo = int(border_lo), b_hi = int(border_hi);
    out[0] = {lo, lo + border_lo, at, b_lo};
    out[1] = {lo + border_lo, hi - border_hi, at + b_lo, size - b_lo - b_hi};
    out[2] = {hi - border_hi, hi, at + size - b_hi, b_hi};
    return 3;
}

}

void DrawPictureNinePiece(picture* pic, float alpha, float x, float y, float width, float height, float border_left,
                          float border_top, float border_right, float border_bottom)
{
    int ix = int(x), iy = int(y), iw = int(width), ih = int(height);
    if (iw <= 0 || ih <= 0 || pic == nullptr) return;
    render* r = GetRender();
    backbuffer* target = GetRenderTarget();
    const float l = pic->m_left, t = pic->m_top, rr = pic->m_right, b = pic->m_bottom;
    const float sw = rr - l, sh = b - t;
    Span columns[3], rows[3];
    int ncol = split(l, rr, ix, iw, border_left, border_right, iw > sw, columns);
    int nrow = split(t, b, iy, ih, border_top, border_bottom, ih > sh, rows);
    for (int row = 0; row < nrow; ++row)
        for (int col = 0; col < ncol; ++col) {
            pic->m_left = columns[col].src_from;
            pic->m_right = columns[col].src_to;
            pic->m_top = rows[row].src_from;
            pic->m_bottom = rows[row].src_to;
            if (r)
                r->DrawPicture(pic, float(columns[col].at), float(rows[row].at), float(columns[col].size),
                               float(rows[row].size), alpha, target);
        }
    pic->m_left = l;
    pic->m_top = t;
    pic->m_right = rr;
    pic->m_bottom = b;
}

}
