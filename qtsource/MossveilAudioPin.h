#pragma once
// MossveilAudioPin ("Audio"): the movie's sound as PCM in the reader's wave
// format, at normal speed only. Seeks land on a multiple of the reader's
// frames per read (the seek granule), at or after the time asked.

#include "qtsource/MossveilSourceStream.h"

class MossveilAudioPin final : public MossveilSourceStream {
public:
    // Sets up the reader's sound; E_FAIL through result when it cannot.
    MossveilAudioPin(HRESULT* result, MossveilSourceFilter* filter, QtMovieReader& reader);
    ~MossveilAudioPin() override;

    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT FillBuffer(IMediaSample* sample) override;

protected:
    void seek_to_start() override;

private:
    LONG m_granule{0};                 // the reader's frames per read
    LONGLONG m_frame_position{0};      // frames from the start of the sound; guarded by m_lock
    REFERENCE_TIME m_previous_stop{0}; // end of the last sample, in stream time; guarded by m_lock
};
