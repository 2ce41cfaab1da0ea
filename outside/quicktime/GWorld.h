#pragma once
// Offscreen graphics worlds: a block of pixels of one pixel format over a
// box. Rows are 16-byte aligned, top row first.

#include "outside/quicktime/QuickTimeTypes.h"

#include <vector>

namespace qt {

struct PixMapRecord {
    GWorldRecord* world;
};

struct GWorldRecord {
    OSType pixel_format;
    Rect bounds;
    long row_bytes;
    std::vector<char> pixels;
    PixMapRecord pixmap;
};

// Bytes a pixel of a world's format takes; 0 for a format no world is made of.
int bytes_per_pixel(OSType pixel_format);
// What the back ends' QTNewGWorld make: memFullErr when memory runs out,
// badFormat for an unknown pixel format or an empty box.
OSErr make_gworld(GWorldPtr* world, OSType pixel_format, const Rect& bounds);

PixMapHandle GetGWorldPixMap(GWorldPtr world);
Boolean LockPixels(PixMapHandle pixmap);
char* GetPixBaseAddr(PixMapHandle pixmap);
long QTGetPixMapHandleRowBytes(PixMapHandle pixmap);
void DisposeGWorld(GWorldPtr world);

}
