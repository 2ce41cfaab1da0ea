#include "outside/quicktime/GWorld.h"

#include <new>

namespace qt {

int bytes_per_pixel(OSType pixel_format)
{
    switch (pixel_format) {
    case k24BGRPixelFormat: return 3;
    case k16LE565PixelFormat:
    case k16LE555PixelFormat:
    case kYUVSPixelFormat: return 2;
    case k32BGRAPixelFormat: return 4;
    default: return 0;
    }
}

OSErr make_gworld(GWorldPtr* world, OSType pixel_format, const Rect& bounds)
{
    *world = nullptr;
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    const int bytes = bytes_per_pixel(pixel_format);
    if (bytes == 0 || width <= 0 || height <= 0) return badFormat;
    try {
        auto made = new GWorldRecord{pixel_format, bounds, (static_cast<long>(width) * bytes + 15) & ~15L, {}, {}};
        made->pixmap.world = made;
        made->pixels.resize(static_cast<std::size_t>(made->row_bytes) * height);
        *world = made;
        return noErr;
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
}

PixMapHandle GetGWorldPixMap(GWorldPtr world) { return world ? &world->pixmap : nullptr; }
Boolean LockPixels(PixMapHandle pixmap) { return pixmap != nullptr; }
char* GetPixBaseAddr(PixMapHandle pixmap) { return pixmap ? pixmap->world->pixels.data() : nullptr; }
long QTGetPixMapHandleRowBytes(PixMapHandle pixmap) { return pixmap ? pixmap->world->row_bytes : 0; }
void DisposeGWorld(GWorldPtr world) { delete world; }

}
