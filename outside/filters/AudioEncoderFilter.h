#pragma once
// "KVR Audio Encoder Filter": 16-bit PCM in, AAC-LC out at 44.1 kHz stereo
// and the settings' bit rate.

#include "AvEncoder.h"
#include "StreamFilter.h"
#include "WithOutputSettings.h"

#include <mutex>

struct AVAudioFifo;
struct SwrContext;

namespace filters {

inline constexpr CLSID CLSID_KVRAudioEncoder = plat::make_guid("{0E57576B-F171-4DE4-BF84-D656CDCC65A3}");

class AudioEncoderFilterBase : public StreamFilter {
protected:
    AudioEncoderFilterBase();
    ~AudioEncoderFilterBase() override;
    virtual tOutputSettings current_settings() const = 0;

private:
    HRESULT check_input(const CMediaType& type) const override;
    HRESULT input_connected(const CMediaType& type) override;
    HRESULT output_type(int position, CMediaType* type) const override;
    void output_chosen(const CMediaType&) override {}
    LONG output_buffer_size() const override { return 65536; }
    LONG output_buffer_count() const override { return 16; }
    void receive(IMediaSample* sample) override;
    void drain() override;
    void flush() override;
    void resample(const BYTE* pcm, int samples);
    void encode_frames(bool all);
    void send(const AVPacket& packet);

    mutable std::mutex m_stream_lock;
    AvEncoder m_encoder;                  // guarded by m_stream_lock
    int m_in_rate = 0, m_in_channels = 0; // guarded by m_stream_lock
    SwrContext* m_swr = nullptr;          // guarded by m_stream_lock
    AVAudioFifo* m_fifo = nullptr;        // guarded by m_stream_lock; resampled sound not yet encoded
    std::int64_t m_next_sample = -1;      // guarded by m_stream_lock; the fifo's first sample, at the output rate
};

class KVRAudioEncoder final : public WithOutputSettings<AudioEncoderFilterBase> {
    tOutputSettings current_settings() const override { return settings(); }
};

}
