#pragma once
// The base of a filter that ends a stream: one input pin, samples handled on
// the thread that delivers them, the end of the stream reported to the graph
// once the last sample is out, and the graph told where the sink stands.
// A derived renderer says what it takes and plays each sample, waiting for
// its time with wait_until.

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"
#include "platform/sync/Event.h"

#include <memory>

namespace filters {

class RendererBase : public CBaseFilter, public ISinkPosition {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override { return CBaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

protected:
    RendererBase(const WCHAR* name, const CLSID& clsid, const WCHAR* input_name);
    ~RendererBase() override;

    virtual HRESULT check_input(const CMediaType& type) const = 0;
    virtual HRESULT input_connected(const CMediaType& type) = 0;
    // On the delivering thread; may wait (wait_until) for the sample's time.
    virtual void render(IMediaSample* sample) = 0;
    // At the end of the stream: returns once what was rendered is out (or
    // the wait was cut short by a stop or a flush).
    virtual void drain() = 0;
    // A flush or a stop: forget what waits to be played.
    virtual void discard() = 0;
    // The filter's new state, told after the change, outside the filter lock.
    virtual void state_changed(FILTER_STATE state) = 0;

    // Waits until the stream reaches `time` (stream time) with the graph
    // running; false when a stop or a flush cut the wait short. Without a
    // clock there is nothing to wait for: an unpaced run.
    bool wait_until(REFERENCE_TIME time);
    // A stop or a flush has come since the sample being handled arrived.
    bool interrupted() const;
    // Sleeps up to `ms`, less when the state changes or a flush comes.
    void nap(DWORD ms) { m_wake.wait(ms); }
    // The start of the current segment (media time of stream time 0).
    REFERENCE_TIME segment_start() const;

private:
    class InputPin;
    friend class InputPin;
    void end_of_stream();

    CCritSec m_filter_lock;
    std::unique_ptr<InputPin> m_input;
    // Set on every state change and flush, so waits look again.
    plat::Event m_wake{plat::EventReset::Auto, plat::EventState::Clear};
};

}
