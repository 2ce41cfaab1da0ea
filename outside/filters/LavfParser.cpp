#include "LavfParser.h"

#include "platform/base/DebugLog.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"
#include "splitter/base/BaseSplitterFilter.h"
#include "splitter/base/BaseSplitterOutputPin.h"
#include "splitter/base/Packet.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace filters {

namespace {

constexpr int io_buffer_size = 65536;
constexpr AVRational media_time_base{1, 10000000};

// The code a RIFF file would give the codec: containers' own tags (MP4's
// "mp4a", a transport stream's stream types) mean something else there.
DWORD riff_tag(const AVCodecParameters& p, const AVCodecTag* table)
{
    const AVCodecTag* const tables[] = {table, nullptr};
    return av_codec_get_tag(tables, p.codec_id);
}

template <class Header>
Header* with_extradata(CMediaType& type, const AVCodecParameters& p)
{
    const std::size_t extra = p.extradata_size > 0 ? static_cast<std::size_t>(p.extradata_size) : 0;
    auto* header = reinterpret_cast<Header*>(type.AllocFormatBuffer(static_cast<ULONG>(sizeof(Header) + extra)));
    if (header == nullptr) return nullptr;
    std::memset(header, 0, sizeof(Header));
    if (extra != 0) std::memcpy(header + 1, p.extradata, extra);
    return header;
}

bool video_type(const AVStream& stream, CMediaType& type)
{
    const AVCodecParameters& p = *stream.codecpar;
    GUID subtype{};
    DWORD fourcc = 0;
    if (p.codec_id == AV_CODEC_ID_MPEG1VIDEO) subtype = MEDIASUBTYPE_MPEG1Payload;
    else if (p.codec_id == AV_CODEC_ID_MPEG2VIDEO) subtype = MEDIASUBTYPE_MPEG2_VIDEO;
    else if (p.codec_id == AV_CODEC_ID_H264) fourcc = MAKEFOURCC('H', '2', '6', '4');   // avcC or start codes: the decoder reads both
    else fourcc = riff_tag(p, avformat_get_riff_video_tags());
    if (fourcc != 0) subtype = plat::fourcc_guid(fourcc);
    if (subtype == GUID_NULL || p.width <= 0 || p.height <= 0) return false;
    type = CMediaType(MEDIATYPE_Video);
    type.SetSubtype(&subtype);
    type.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = with_extradata<VIDEOINFOHEADER>(type, p);
    if (vih == nullptr) return false;
    const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    if (rate.num > 0 && rate.den > 0) vih->AvgTimePerFrame = av_rescale(10000000, rate.den, rate.num);
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = p.width;
    vih->bmiHeader.biHeight = p.height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 24;
    vih->bmiHeader.biCompression = fourcc;
    type.SetVariableSize();
    type.SetTemporalCompression(TRUE);
    return true;
}

bool audio_type(const AVStream& stream, CMediaType& type)
{
    const AVCodecParameters& p = *stream.codecpar;
    const DWORD tag = riff_tag(p, avformat_get_riff_audio_tags());
    const int channels = p.ch_layout.nb_channels;
    if (tag == 0 || tag > 0xFFFF || channels <= 0 || p.sample_rate <= 0) return false;
    type = CMediaType(MEDIATYPE_Audio);
    const GUID subtype = plat::fourcc_guid(tag);
    type.SetSubtype(&subtype);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    auto* wfe = with_extradata<WAVEFORMATEX>(type, p);
    if (wfe == nullptr) return false;
    wfe->wFormatTag = static_cast<WORD>(tag);
    wfe->nChannels = static_cast<WORD>(channels);
    wfe->nSamplesPerSec = static_cast<DWORD>(p.sample_rate);
    wfe->nAvgBytesPerSec = static_cast<DWORD>(p.bit_rate / 8);
    wfe->nBlockAlign = static_cast<WORD>(p.block_align > 0 ? p.block_align : 1);
    wfe->wBitsPerSample = static_cast<WORD>(p.bits_per_coded_sample);
    wfe->cbSize = static_cast<WORD>(p.extradata_size > 0 ? p.extradata_size : 0);
    type.SetVariableSize();
    return true;
}

}

bool stream_media_type(const AVStream& stream, CMediaType& type)
{
    switch (stream.codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO: return video_type(stream, type);
    case AVMEDIA_TYPE_AUDIO: return audio_type(stream, type);
    default: return false;
    }
}

LavfParser::LavfParser(CBaseSplitterFilter* filter, std::vector<std::string_view> formats)
    : CBaseParser(filter), m_formats(std::move(formats))
{
}

LavfParser::~LavfParser()
{
    close();
}

void LavfParser::close()
{
    avformat_close_input(&m_file);
    if (m_io != nullptr) av_freep(&m_io->buffer);
    avio_context_free(&m_io);
}

int LavfParser::read(void* opaque, uint8_t* buffer, int size) noexcept
{
    auto* self = static_cast<LavfParser*>(opaque);
    LONGLONG total = 0, available = 0;
    if (FAILED(self->m_reader->Length(&total, &available))) return AVERROR(EIO);
    const LONGLONG left = total - self->m_position;
    if (left <= 0) return AVERROR_EOF;
    const LONG n = static_cast<LONG>(std::min<LONGLONG>(left, size));
    if (self->m_reader->SyncRead(self->m_position, n, buffer) != S_OK) return AVERROR(EIO);
    self->m_position += n;
    return n;
}

int64_t LavfParser::seek(void* opaque, int64_t offset, int whence) noexcept
{
    auto* self = static_cast<LavfParser*>(opaque);
    LONGLONG total = 0, available = 0;
    if (FAILED(self->m_reader->Length(&total, &available))) return -1;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return total;
    case SEEK_SET: break;
    case SEEK_CUR: offset += self->m_position; break;
    case SEEK_END: offset += total; break;
    default: return -1;
    }
    if (offset < 0 || offset > total) return -1;
    self->m_position = offset;
    return offset;
}

bool LavfParser::accepted(std::string_view detected) const
{
    // Names such as "mov,mp4,m4a,3gp,3g2,mj2" list every name of one demuxer.
    while (!detected.empty()) {
        const std::size_t comma = detected.find(',');
        const std::string_view name = detected.substr(0, comma);
        for (std::string_view wanted : m_formats)
            if (name == wanted) return true;
        if (comma == std::string_view::npos) break;
        detected.remove_prefix(comma + 1);
    }
    return false;
}

HRESULT LavfParser::Open(IAsyncReader* reader)
{
    close();
    if (reader == nullptr) return E_POINTER;
    m_reader = reader;
    m_position = 0;
    auto* buffer = static_cast<unsigned char*>(av_malloc(io_buffer_size));
    if (buffer == nullptr) return E_OUTOFMEMORY;
    m_io = avio_alloc_context(buffer, io_buffer_size, 0, this, &LavfParser::read, nullptr, &LavfParser::seek);
    if (m_io == nullptr) {
        av_free(buffer);
        return E_OUTOFMEMORY;
    }
    const AVInputFormat* format = nullptr;
    if (av_probe_input_buffer2(m_io, &format, "", nullptr, 0, 0) < 0 || format == nullptr || !accepted(format->name))
        return E_FAIL;
    m_file = avformat_alloc_context();
    if (m_file == nullptr) return E_OUTOFMEMORY;
    m_file->pb = m_io;
    if (avformat_open_input(&m_file, "", format, nullptr) < 0) return E_FAIL;   // frees the context on failure
    if (avformat_find_stream_info(m_file, nullptr) < 0) return E_FAIL;
    m_start_time = m_file->start_time != AV_NOPTS_VALUE ? m_file->start_time * 10 : 0;
    if (m_file->duration > 0) m_rtDuration = m_file->duration * 10;
    bool added = false;
    for (unsigned i = 0; i < m_file->nb_streams; ++i) {
        CMediaType type;
        if (!stream_media_type(*m_file->streams[i], type)) continue;
        const bool video = *type.Type() == MEDIATYPE_Video;
        HRESULT pin_result = S_OK;
        std::vector<CMediaType> types{type};
        m_pFilter->AddOutputPin(i, std::make_unique<CBaseSplitterOutputPin>(std::move(types), video ? u"Video" : u"Audio",
                                                                           m_pFilter, m_pFilter->FilterLock(), &pin_result));
        added = true;
    }
    return added ? S_OK : E_FAIL;
}

bool LavfParser::DemuxSeek(REFERENCE_TIME start)
{
    if (m_file == nullptr) return false;
    const int64_t target = (start + m_start_time) / 10;   // microseconds, the file's own times
    return av_seek_frame(m_file, -1, target, AVSEEK_FLAG_BACKWARD) >= 0;
}

int LavfParser::DemuxLoop()
{
    if (m_file == nullptr) return 1;
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) return 1;
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && !m_pFilter->CheckRequest() && av_read_frame(m_file, packet) >= 0) {
        const AVStream* stream = m_file->streams[packet->stream_index];
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (m_pFilter->GetOutputPin(static_cast<DWORD>(packet->stream_index)) != nullptr) {
            auto p = std::make_unique<Packet>();
            p->TrackNumber = static_cast<DWORD>(packet->stream_index);
            p->bSyncPoint = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            if (time != AV_NOPTS_VALUE) {
                p->rtStart = av_rescale_q(time, stream->time_base, media_time_base) - m_start_time;
                p->rtStop = p->rtStart + av_rescale_q(packet->duration, stream->time_base, media_time_base);
            }
            p->data.assign(packet->data, packet->data + packet->size);
            hr = m_pFilter->DeliverPacket(std::move(p));
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return 1;
}

}
