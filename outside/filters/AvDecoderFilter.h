#pragma once
// A decoder filter over libavcodec: compressed samples from a splitter in,
// pictures (YV12 or RGB32 on "Video Output") or 16-bit PCM ("Audio Output")
// out. Decoding runs on the thread that delivers to the input pin.

#include "AvDecoder.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"

#include <memory>
#include <mutex>
#include <optional>

namespace filters {

class PictureConverter;
class SoundConverter;

enum class StreamKind { Video, Audio };

class AvDecoderFilter : public CBaseFilter {
public:
    AvDecoderFilter(const WCHAR* name, const CLSID& clsid, StreamKind kind);

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;

protected:
    ~AvDecoderFilter() override;

private:
    class InputPin;
    class OutputPin;
    friend class InputPin;
    friend class OutputPin;

    HRESULT check_input(const CMediaType& type) const;
    HRESULT open_decoder(const CMediaType& type);
    HRESULT output_type(int position, CMediaType* type) const;
    HRESULT check_output(const CMediaType& type) const;
    void set_output(const CMediaType& type);
    LONG output_buffer_size() const;

    HRESULT receive(IMediaSample* sample);
    void end_of_stream();
    void flush();
    void new_segment();
    void deliver_picture(const AVFrame& frame, std::optional<REFERENCE_TIME> start);
    void deliver_sound(const std::vector<BYTE>& bytes, std::optional<REFERENCE_TIME> start);
    bool deliver(const BYTE* data, std::size_t size, REFERENCE_TIME start, REFERENCE_TIME stop);

    CCritSec m_filter_lock;
    const StreamKind m_kind;
    std::unique_ptr<InputPin> m_input;
    std::unique_ptr<OutputPin> m_output;

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
