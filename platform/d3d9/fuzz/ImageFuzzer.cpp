// Skin pictures and thumbnails come from disk and from the web: any bytes in
// a picture file decode or fail with a reason, and the size read from the
// header is the size decoded.

#include "platform/d3d9/ImageFile.h"
#include "platform/fs/testing/TempFolder.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const plat::TempFolder folder;
    const std::string path = folder / "picture";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
    plat::DecodedImage header, image;
    std::string error;
    const bool read_header = plat::read_image_header(path, header, error);
    if (plat::decode_image_file(path, image, error)) {
        if (!read_header || header.width != image.width || header.height != image.height ||
            image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
            std::abort();
    }
    return 0;
}
