#pragma once
// CBaseSplitterFilter: the filter core of the splitter. It owns the input pin,
// the output pins and the current parser, runs the demultiplexing thread
// that drives the parser, routes packets to the pins' queues under flow
// control, and offers seeking and two private settings.
//
// Lock order: the filter lock, then the pin-map lock or the new-type lock,
// then a queue's lock. The demultiplexing thread never takes the filter lock.

#include "platform/dshow/AMEvent.h"
#include "platform/dshow/AMThread.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaTimeSeeking.h"
#include "splitter/base/BaseParser.h"
#include "splitter/base/BaseSplitterInputPin.h"
#include "splitter/base/BaseSplitterOutputPin.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

class CBaseSplitterFilter : public CBaseFilter,
                            public CAMThread,
                            public plat::MediaTimeSeeking,
                            public IKsPropertySet {
public:
    CBaseSplitterFilter(const WCHAR* name, HRESULT* result, const CLSID& clsid);
    ~CBaseSplitterFilter() override;

    HRESULT QueryInterface(REFIID riid, void** object) override { return CBaseFilter::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

    // Services for parsers.
    CBaseSplitterOutputPin* GetOutputPin(DWORD track);
    HRESULT AddOutputPin(DWORD track, std::unique_ptr<CBaseSplitterOutputPin> pin);
    HRESULT DeliverPacket(std::unique_ptr<Packet> packet);
    bool CheckRequest() const { return CAMThread::CheckRequest(nullptr); }
    // Makes the next packet of the track carry this type.
    void SetNewMediaType(DWORD track, const CMediaType& type);
    CCritSec* FilterLock() { return &m_filter_lock; }

    // Called by the pins.
    HRESULT CompleteConnect(PIN_DIRECTION direction, CBasePin* pin);
    HRESULT BreakConnect(PIN_DIRECTION direction, CBasePin* pin);
    bool IsAnyPinDrying();

    virtual HRESULT DeleteOutputs();
    virtual HRESULT CreateOutputs(IAsyncReader* reader) = 0;
    virtual bool DemuxInit() = 0;
    virtual bool DemuxSeek(REFERENCE_TIME start) = 0;
    virtual bool SyncToPosition(LONGLONG offset) = 0;
    virtual bool DemuxLoop() = 0;
    virtual HRESULT SetPositionsInternal(const void* seeker, LONGLONG* current, DWORD current_flags, LONGLONG* stop,
                                         DWORD stop_flags);

    // The time formats come from plat::MediaTimeSeeking.
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;

    HRESULT Set(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data,
                DWORD data_length) override;
    HRESULT Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data, DWORD data_length,
                DWORD* returned) override;
    HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

protected:
    DWORD ThreadProc() override;
    void DeliverBeginFlush();
    void DeliverEndFlush();
    // Ends the demultiplexing thread; derived destructors call it before their parts go.
    void StopDemuxThread();

    CCritSec m_filter_lock;
    std::unique_ptr<CBaseParser> m_parser;   // the current parser
    bool m_streaming{false};                 // private property 0
    std::atomic<REFERENCE_TIME> m_duration{0};
    REFERENCE_TIME m_start{0}, m_stop{0};
    std::atomic<REFERENCE_TIME> m_current{0};
    REFERENCE_TIME m_new_start{0}, m_new_stop{0};
    std::atomic<double> m_rate{1.0};

private:
    void run_demux();
    void set_delivery_priority(ThreadPriority priority);

    std::unique_ptr<CBaseSplitterInputPin> m_input;
    std::vector<std::unique_ptr<CBaseSplitterOutputPin>> m_outputs;   // guarded by m_filter_lock
    std::vector<std::unique_ptr<CBaseSplitterOutputPin>> m_retired_outputs;
    std::mutex m_pin_map_lock;
    std::map<DWORD, CBaseSplitterOutputPin*> m_pin_map;   // guarded by m_pin_map_lock
    std::mutex m_new_types_lock;
    std::map<DWORD, CMediaType> m_new_types;                  // guarded by m_new_types_lock
    // Touched only by the demultiplexing thread while it runs.
    std::vector<CBaseSplitterOutputPin*> m_active_pins;
    std::set<DWORD> m_discontinuity_sent;
    int m_priority{0};
    CAMEvent m_end_flush{plat::EventReset::Manual};
    std::atomic<bool> m_flushing{false};
    REFERENCE_TIME m_last_seek_start, m_last_seek_stop;
    std::vector<const void*> m_last_seekers;
    std::atomic<int> m_pending_cache_size{-1};   // private property 1 asked while running
};
