#include "VideoEncoderFilter.h"

#include "platform/dshow/MediaFormats.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace filters {

namespace {

constexpr REFERENCE_TIME default_frame_time = 400000;
const GUID subtype_h264 = plat::fourcc_guid(MAKEFOURCC('H', '2', '6', '4'));

const VIDEOINFOHEADER* picture_format(const CMediaType& type)
{
    if (*type.Type() != MEDIATYPE_Video || *type.Subtype() != MEDIASUBTYPE_YV12 ||
        *type.FormatType() != FORMAT_VideoInfo || type.FormatLength() < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
}

}

std::pair<int, int> fitted_size(int width, int height)
{
    if (width <= 0 || height <= 0) return {0, 0};
    double scale = std::min({1.0, static_cast<double>(max_width) / width, static_cast<double>(max_height) / height});
    int w = static_cast<int>(width * scale) & ~1;
    int h = static_cast<int>(height * scale) & ~1;
    return {std::max(w, 2), std::max(h, 2)};
}

void VideoEncoderFilterBase::FrameFree::operator()(AVFrame* f) const
{
    av_frame_free(&f);
}

VideoEncoderFilterBase::VideoEncoderFilterBase()
    : StreamFilter(u"KVR Video Encoder Filter", CLSID_KVRVideoEncoder, u"Input", u"Output")
{
}

VideoEncoderFilterBase::~VideoEncoderFilterBase()
{
    sws_freeContext(m_sws);
}

HRESULT VideoEncoderFilterBase::check_input(const CMediaType& type) const
{
    const VIDEOINFOHEADER* vih = picture_format(type);
    if (vih == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
    const LONG w = vih->bmiHeader.biWidth, h = vih->bmiHeader.biHeight;
    return w > 0 && h != 0 && w <= 16384 && std::abs(h) <= 16384 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoEncoderFilterBase::input_connected(const CMediaType& type)
{
    const VIDEOINFOHEADER* vih = picture_format(type);
    if (vih == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
    const tOutputSettings record = current_settings();
    std::scoped_lock hold(m_stream_lock);
    m_in_width = vih->bmiHeader.biWidth;
    m_in_height = std::abs(vih->bmiHeader.biHeight);
    m_frame_time = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : default_frame_time;
    const auto [width, height] = fitted_size(m_in_width, m_in_height);
    const bool opened = m_encoder.open("libx264", [&](AVCodecContext& c) {
        c.width = width;
        c.height = height;
        c.pix_fmt = AV_PIX_FMT_YUV420P;
        c.time_base = AVRational{1, 10000000};
        c.framerate = AVRational{10000000, static_cast<int>(m_frame_time)};
        c.bit_rate = setting(record, 0, default_video_bit_rate);
        c.max_b_frames = 0;
        c.gop_size = 250;
        av_opt_set(c.priv_data, "profile", "baseline", 0);
        av_opt_set(c.priv_data, "preset", "veryfast", 0);
    });
    if (!opened) return VFW_E_TYPE_NOT_ACCEPTED;
    m_frame.reset(av_frame_alloc());
    if (!m_frame) return E_OUTOFMEMORY;
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = width;
    m_frame->height = height;
    return av_frame_get_buffer(m_frame.get(), 0) < 0 ? E_OUTOFMEMORY : S_OK;
}

HRESULT VideoEncoderFilterBase::output_type(int position, CMediaType* type) const
{
    std::scoped_lock hold(m_stream_lock);
    if (position > 0 || !m_encoder.is_open()) return VFW_S_NO_MORE_ITEMS;
    const std::vector<BYTE> header = m_encoder.header();
    *type = CMediaType(MEDIATYPE_Video);
    type->SetSubtype(&subtype_h264);
    type->SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(
        type->AllocFormatBuffer(static_cast<ULONG>(sizeof(VIDEOINFOHEADER) + header.size())));
    if (vih == nullptr) return E_OUTOFMEMORY;
    std::memset(vih, 0, sizeof(VIDEOINFOHEADER));
    vih->AvgTimePerFrame = m_frame_time;
    vih->dwBitRate = static_cast<DWORD>(m_encoder.context()->bit_rate);
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = m_encoder.context()->width;
    vih->bmiHeader.biHeight = m_encoder.context()->height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 24;
    vih->bmiHeader.biCompression = MAKEFOURCC('H', '2', '6', '4');
    if (!header.empty()) std::memcpy(vih + 1, header.data(), header.size());
    type->SetVariableSize();
    type->SetTemporalCompression(TRUE);
    return S_OK;
}

LONG VideoEncoderFilterBase::output_buffer_size() const
{
    std::scoped_lock hold(m_stream_lock);
    if (!m_encoder.is_open()) return 1;
    // A packet never exceeds an uncompressed picture with room for its headers.
    return m_encoder.context()->width * m_encoder.context()->height * 3 / 2 + 65536;
}

void VideoEncoderFilterBase::receive(IMediaSample* sample)
{
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return;
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::scoped_lock hold(m_stream_lock);
    if (!m_encoder.is_open() || !m_frame) return;
    const std::size_t luma = static_cast<std::size_t>(m_in_width) * m_in_height;
    const int chroma_width = (m_in_width + 1) / 2;
    const std::size_t chroma = static_cast<std::size_t>(chroma_width) * ((m_in_height + 1) / 2);
    if (sample->GetActualDataLength() < static_cast<LONG>(luma + 2 * chroma)) return;
    m_sws = sws_getCachedContext(m_sws, m_in_width, m_in_height, AV_PIX_FMT_YUV420P, m_frame->width, m_frame->height,
                                 AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (m_sws == nullptr || av_frame_make_writable(m_frame.get()) < 0) return;
    const uint8_t* planes[3] = {data, data + luma + chroma, data + luma};   // YV12 keeps V before U
    const int strides[3] = {m_in_width, chroma_width, chroma_width};
    sws_scale(m_sws, planes, strides, 0, m_in_height, m_frame->data, m_frame->linesize);
    // Times only ever grow: the encoder refuses a picture that goes back.
    const REFERENCE_TIME at = timed && start >= m_next_time ? start : m_next_time;
    m_frame->pts = at;
    m_next_time = at + m_frame_time;
    m_encoder.encode(m_frame.get(), [this](const AVPacket& p) { send(p); });
}

void VideoEncoderFilterBase::drain()
{
    std::scoped_lock hold(m_stream_lock);
    m_encoder.drain([this](const AVPacket& p) { send(p); });
}

void VideoEncoderFilterBase::send(const AVPacket& packet)
{
    const REFERENCE_TIME start = packet.pts;
    const REFERENCE_TIME stop = start + (packet.duration > 0 ? packet.duration : m_frame_time);
    const bool key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
    deliver(static_cast<std::size_t>(packet.size), start, stop, key, [&](BYTE* out) {
        std::memcpy(out, packet.data, static_cast<std::size_t>(packet.size));
        return true;
    });
}

}
