#include "qtsource/MossveilSourceStream.h"

#include "qtsource/MossveilSourceFilter.h"
#include "qtsource/QtMovieReader.h"

MossveilSourceStream::MossveilSourceStream(HRESULT* result, MossveilSourceFilter* filter, const WCHAR* name,
                                           QtMovieReader& reader)
    : CSourceStream(result, filter, name), CSourceSeeking(static_cast<IPin*>(this), &m_lock), m_reader(reader)
{
    m_rtDuration = m_rtStop = reader.duration();
}

HRESULT MossveilSourceStream::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid != IID_IMediaSeeking) return CSourceStream::NonDelegatingQueryInterface(riid, object);
    if (!object) return E_POINTER;
    *object = static_cast<IMediaSeeking*>(this);
    AddRef();
    return S_OK;
}

HRESULT MossveilSourceStream::OnThreadStartPlay()
{
    REFERENCE_TIME start, stop;
    double rate;
    {
        CAutoLock hold(&m_lock);
        m_discontinuity = true;
        start = m_rtStart;
        stop = m_rtStop;
        rate = m_dRateSeeking;
    }
    return DeliverNewSegment(start, stop, rate);
}

bool MossveilSourceStream::take_discontinuity()
{
    const bool was = m_discontinuity;
    m_discontinuity = false;
    return was;
}

HRESULT MossveilSourceStream::reposition()
{
    return restart_from_seek([this] {
        CAutoLock hold(&m_lock);
        m_discontinuity = true;
        m_segment_start = m_rtStart;
        seek_to_start();
    });
}

void MossveilSourceStream::stop_worker()
{
    if (!ThreadExists()) return;
    Stop();
    Exit();
    Close();
}
