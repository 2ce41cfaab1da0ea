#pragma once
// A container parser over libavformat for the system's own splitters: it
// reads through the source's IAsyncReader, accepts only the formats it is
// given, and offers each stream as the media type our decoders take.

#include "splitter/base/BaseParser.h"

#include <memory>
#include <string_view>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVStream;
class CMediaType;

namespace filters {

class LavfParser final : public CBaseParser {
public:
    LavfParser(CBaseSplitterFilter* filter, std::vector<std::string_view> formats);
    ~LavfParser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override { return m_file != nullptr; }
    bool DemuxSeek(REFERENCE_TIME start) override;
    int DemuxLoop() override;

private:
    static int read(void* opaque, uint8_t* buffer, int size) noexcept;
    static int64_t seek(void* opaque, int64_t offset, int whence) noexcept;
    bool accepted(std::string_view detected) const;
    void close();

    const std::vector<std::string_view> m_formats;   // libavformat demuxer names this splitter serves
    IAsyncReader* m_reader = nullptr;                 // not counted: the input pin holds it while connected
    LONGLONG m_position = 0;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_file = nullptr;
    std::int64_t m_start_time = 0;                    // the file's first time, in 100 ns; times start at 0
};

// The media type our decoders take for a stream; false when there is none.
bool stream_media_type(const AVStream& stream, CMediaType& type);

}
