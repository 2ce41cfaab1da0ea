#pragma once
// MossveilVideoPin ("Video"): the movie's frames, uncompressed, in the
// format the downstream pin agreed: YUY2 (deep movies only), RGB32, RGB24,
// RGB565 or RGB555. RGB types with a positive height are filled bottom-up.

#include "qtsource/MossveilSourceStream.h"
#include "qtsource/QtMovieReader.h"

class MossveilVideoPin final : public MossveilSourceStream {
public:
    MossveilVideoPin(HRESULT* result, MossveilSourceFilter* filter, QtMovieReader& reader);
    ~MossveilVideoPin() override;

    // 0 YUY2 (VIDEOINFOHEADER2), 1 RGB32, 2 RGB24, 3 RGB565, 4 RGB555.
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT FillBuffer(IMediaSample* sample) override;

protected:
    void seek_to_start() override { m_current = m_rtStart; }

private:
    HRESULT set_up_from_first_sample(IMediaSample* sample);
    void copy_frame(const RenderedFrame& frame, BYTE* out) const;

    bool m_first_call{true};          // guarded by m_lock
    PixelKind m_kind{PixelKind::YUY2};// of the agreed type; guarded by the filter lock and m_lock
    LONG m_pitch{0};                  // bytes per row of the agreed type; as m_kind
    bool m_flip{false};               // bottom-up rows; as m_kind
};
