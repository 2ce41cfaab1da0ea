#pragma once
// MossveilSourceStream: what the video and audio pins share: a source pin
// pushing from its own worker, with seeking over the movie's duration.
//
// A seek (of start, stop or rate) while the filter runs or is paused
// flushes downstream, stops the worker, resets the pin's position and
// restarts; while stopped only the position is reset. The first sample of
// every new segment is marked discontinuous.

#include "platform/dshow/SourceSeeking.h"
#include "platform/dshow/SourceStream.h"

class MossveilSourceFilter;
class QtMovieReader;

class MossveilSourceStream : public CSourceStream, public CSourceSeeking {
public:
    MossveilSourceStream(HRESULT* result, MossveilSourceFilter* filter, const WCHAR* name, QtMovieReader& reader);

    HRESULT QueryInterface(REFIID riid, void** object) override { return CBasePin::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    // Answers IMediaSeeking besides the output pin's interfaces.
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override;

protected:
    HRESULT OnThreadStartPlay() override;
    HRESULT ChangeStart() override { return reposition(); }
    HRESULT ChangeStop() override { return reposition(); }
    HRESULT ChangeRate() override { return reposition(); }

    // The new position, from m_rtStart; called under m_lock.
    virtual void seek_to_start() = 0;

    // The most derived pin calls this first in its destructor: the worker
    // must not fill through a pin that is going.
    void stop_worker();

    // Takes the discontinuity flag: true once after every new segment.
    bool take_discontinuity();

    QtMovieReader& m_reader;
    CCritSec m_lock;                          // the pin lock: seeking positions and the fields below
    REFERENCE_TIME m_current{0};              // the stream time of the next sample; guarded by m_lock
    REFERENCE_TIME m_segment_start{0};        // subtracted from sample times; guarded by m_lock

private:
    HRESULT reposition();

    bool m_discontinuity{true};               // guarded by m_lock
};
