#pragma once
// "KVR Video Encoder Filter": YV12 pictures in, H.264 Baseline out, at most
// 640x480 with the picture's aspect kept, at the settings' bit rate.

#include "AvEncoder.h"
#include "StreamFilter.h"
#include "WithOutputSettings.h"

#include <mutex>

struct SwsContext;

namespace filters {

inline constexpr CLSID CLSID_KVRVideoEncoder = plat::make_guid("{D4F110F9-65D0-4E80-962C-93663EED8A4B}");

// The largest size within 640x480 with the aspect of `width` x `height`, in even numbers.
std::pair<int, int> fitted_size(int width, int height);

class VideoEncoderFilterBase : public StreamFilter {
protected:
    VideoEncoderFilterBase();
    ~VideoEncoderFilterBase() override;
    virtual tOutputSettings current_settings() const = 0;

private:
    HRESULT check_input(const CMediaType& type) const override;
    HRESULT input_connected(const CMediaType& type) override;
    HRESULT output_type(int position, CMediaType* type) const override;
    void output_chosen(const CMediaType&) override {}
    LONG output_buffer_size() const override;
    LONG output_buffer_count() const override { return 8; }
    void receive(IMediaSample* sample) override;
    void drain() override;
    void flush() override {}
    void send(const AVPacket& packet);

    mutable std::mutex m_stream_lock;
    AvEncoder m_encoder;                          // guarded by m_stream_lock
    int m_in_width = 0, m_in_height = 0;          // guarded by m_stream_lock
    REFERENCE_TIME m_frame_time = 0;              // guarded by m_stream_lock
    REFERENCE_TIME m_next_time = 0;               // guarded by m_stream_lock
    SwsContext* m_sws = nullptr;                  // guarded by m_stream_lock
    struct FrameFree {
        void operator()(AVFrame* f) const;
    };
    std::unique_ptr<AVFrame, FrameFree> m_frame;  // guarded by m_stream_lock
};

class KVRVideoEncoder final : public WithOutputSettings<VideoEncoderFilterBase> {
    tOutputSettings current_settings() const override { return settings(); }
};

}
