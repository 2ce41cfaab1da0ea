#pragma once
// A decoder filter over libavcodec: compressed samples from a splitter in,
// pictures (YV12 or RGB32 on "Video Output") or 16-bit PCM ("Audio Output")
// out. Decoding runs on the thread that delivers to the input pin.

#include "AvDecoder.h"
#include "StreamFilter.h"

#include <mutex>
#include <optional>

namespace filters {

class PictureConverter;
class SoundConverter;

enum class StreamKind { Video, Audio };

class AvDecoderFilter : public StreamFilter {
protected:
    AvDecoderFilter(const WCHAR* name, const CLSID& clsid, StreamKind kind);
    ~AvDecoderFilter() override;

private:
    HRESULT check_input(const CMediaType& type) const override;
    HRESULT input_connected(const CMediaType& type) override;
    HRESULT output_type(int position, CMediaType* type) const override;
    void output_chosen(const CMediaType& type) override;
    LONG output_buffer_size() const override;
    LONG output_buffer_count() const override { return m_kind == StreamKind::Video ? 4 : 8; }
    void receive(IMediaSample* sample) override;
    void drain() override;
    void flush() override;

    void take_frame(const AVFrame& frame, std::optional<REFERENCE_TIME> start);
    void deliver_picture(const AVFrame& frame, std::optional<REFERENCE_TIME> start);
    void deliver_sound(const std::vector<BYTE>& bytes, std::optional<REFERENCE_TIME> start);

    const StreamKind m_kind;
    // The streaming state: the delivering thread's, and a flush's while it waits.
    mutable std::mutex m_stream_lock;
    DecoderSetup m_setup;                          // guarded by m_stream_lock; from the input type
    AvDecoder m_decoder;                           // guarded by m_stream_lock
    std::unique_ptr<PictureConverter> m_picture;   // guarded by m_stream_lock; for the output type
    std::unique_ptr<SoundConverter> m_sound;       // guarded by m_stream_lock
    REFERENCE_TIME m_next_time = 0;                // guarded by m_stream_lock; for frames without a time
    int m_out_rate = 0, m_out_channels = 0;        // guarded by m_stream_lock
};

}
