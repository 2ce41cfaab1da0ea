#include "PictureConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace filters {

PictureConverter::PictureConverter(PictureFormat format, int width, int height)
    : m_format(format), m_width(width), m_height(height)
{
}

PictureConverter::~PictureConverter()
{
    sws_freeContext(m_sws);
}

std::size_t PictureConverter::image_size() const
{
    const std::size_t pixels = static_cast<std::size_t>(m_width) * m_height;
    if (m_format == PictureFormat::RGB32) return pixels * 4;
    const std::size_t chroma = static_cast<std::size_t>((m_width + 1) / 2) * ((m_height + 1) / 2);
    return pixels + 2 * chroma;
}

bool PictureConverter::convert(const AVFrame& frame, BYTE* out)
{
    const AVPixelFormat target = m_format == PictureFormat::RGB32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_YUV420P;
    m_sws = sws_getCachedContext(m_sws, frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), m_width,
                                 m_height, target, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (m_sws == nullptr) return false;
    uint8_t* planes[4] = {};
    int strides[4] = {};
    if (m_format == PictureFormat::RGB32) {
        // Bottom-up, as an RGB bitmap with a positive height is laid out.
        planes[0] = out + static_cast<std::size_t>(m_height - 1) * m_width * 4;
        strides[0] = -m_width * 4;
    } else {
        const int chroma_width = (m_width + 1) / 2;
        const std::size_t luma = static_cast<std::size_t>(m_width) * m_height;
        const std::size_t chroma = static_cast<std::size_t>(chroma_width) * ((m_height + 1) / 2);
        planes[0] = out;
        planes[1] = out + luma + chroma;   // U comes last in YV12
        planes[2] = out + luma;
        strides[0] = m_width;
        strides[1] = strides[2] = chroma_width;
    }
    return sws_scale(m_sws, frame.data, frame.linesize, 0, frame.height, planes, strides) > 0;
}

}
