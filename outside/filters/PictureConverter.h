#pragma once
// Decoded pictures into the output pin's format: planar YV12 (Y, then V,
// then U) or bottom-up RGB32, at the size the pin announced.

#include "platform/base/Types.h"

#include <cstddef>

struct AVFrame;
struct SwsContext;

namespace filters {

enum class PictureFormat { YV12, RGB32 };

class PictureConverter {
public:
    PictureConverter(PictureFormat format, int width, int height);
    ~PictureConverter();
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;

    std::size_t image_size() const;
    // False when the frame cannot be converted; `out` holds image_size() bytes.
    bool convert(const AVFrame& frame, BYTE* out);

private:
    const PictureFormat m_format;
    const int m_width, m_height;
    SwsContext* m_sws = nullptr;   // remade when the frame's size or format changes
};

}
