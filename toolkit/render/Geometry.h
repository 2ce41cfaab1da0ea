#pragma once
// The toolkit's float records of points, rectangles and text colours.

namespace UI {

// A point, or a width and height pair.
struct fpoint {
    float x;
    float y;
};

// A rectangle (x, y, width, height), or four edges or border widths (left, top, right, bottom).
struct frect {
    float x;
    float y;
    float width;
    float height;
};

// A text colour, each channel 0..255.
struct fcolor {
    float red;
    float green;
    float blue;
};

}
