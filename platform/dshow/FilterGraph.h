#pragma once
// plat::FilterGraph: the filter graph manager. It owns its filters, connects
// pins directly or through intermediate filters chosen by merit, changes the
// state of all filters downstream first, forwards seeking to the filters
// that seek (or their output pins that do), and gathers EC_COMPLETE from the sinks into one event.

#include "platform/com/ComPtr.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/Interfaces.h"
#include "platform/sync/Event.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

inline constexpr CLSID CLSID_FilterGraph = plat::make_guid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");

namespace plat {

// A major type and a subtype an input pin takes; GUID_NULL subtype: any.
struct PinType {
    GUID major;
    GUID minor;
};

// A filter the graph may insert between two pins that do not connect directly.
struct FilterTemplate {
    std::u16string name;
    DWORD merit;
    std::function<ComPtr<IBaseFilter>()> create;
    // Tried only on an output offering one of these; empty: tried on any.
    std::vector<PinType> inputs{};
};

class FilterGraph final : public IGraphBuilder,
                          public IMediaFilter,
                          public IBasicAudio,
                          public IMediaControl,
                          public IMediaSeeking,
                          public IMediaEventEx,
                          public IMediaEventSink {
public:
    explicit FilterGraph(std::vector<FilterTemplate> candidates = {});

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT Connect(IPin* output, IPin* input) override;
    HRESULT Render(IPin* output) override;

    // The graph as a filter: its clock. Until one is set, the first run takes
    // the clock of a filter that offers one, else the system clock; a null
    // clock set runs the graph unpaced. Filters added later get the same clock.
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeout_ms, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;

    // Sent to every filter that has a volume; read from the first.
    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;
    HRESULT put_Balance(LONG balance) override;
    HRESULT get_Balance(LONG* balance) override;

    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeout_ms, OAFilterState* state) override;

    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* target_format, LONGLONG source,
                              const GUID* source_format) override;
    HRESULT SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(LONGLONG* preroll) override;

    HRESULT GetEventHandle(OAEVENT* handle) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout_ms) override;
    HRESULT WaitForCompletion(LONG timeout_ms, LONG* code) override;
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;

    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

private:
    struct Member {
        ComPtr<IBaseFilter> filter;
        std::u16string name;
    };
    struct GraphEvent {
        LONG code;
        LONG_PTR param1, param2;
    };

    ~FilterGraph();
    std::vector<ComPtr<IBaseFilter>> downstream_first() const;   // caller holds m_lock
    std::vector<ComPtr<IMediaSeeking>> seekers() const;           // caller holds m_lock
    std::vector<ComPtr<IBaseFilter>> sinks() const;               // caller holds m_lock
    template <class Call>
    HRESULT ask_seekers(Call call) const;
    // Adds each candidate that may take what output offers, best first, until
    // attach(candidate) holds; a candidate that fails leaves with every
    // filter added for it.
    HRESULT try_candidates(IPin* output, int depth, const std::function<bool(IBaseFilter*)>& attach);
    HRESULT connect_through(IPin* output, IPin* input, int depth);
    HRESULT render_through(IPin* output, int depth);
    template <class Call>
    HRESULT for_audio(bool all, Call call);
    void choose_clock();
    HRESULT change_state(FILTER_STATE target);
    void restart_completion();

    const std::vector<FilterTemplate> m_candidates;   // highest merit first
    mutable CCritSec m_lock;
    std::vector<Member> m_filters;                    // guarded by m_lock
    FILTER_STATE m_state{State_Stopped};              // guarded by m_lock
    ComPtr<IReferenceClock> m_clock;                  // guarded by m_lock
    bool m_clock_set{false};                          // guarded by m_lock
    REFERENCE_TIME m_start{0};                        // clock time of stream time 0; guarded by m_lock
    REFERENCE_TIME m_paused_at{0};                    // clock time of the last pause while running; guarded by m_lock
    bool m_ran_since_stop{false};                     // guarded by m_lock

    std::mutex m_event_lock;
    std::deque<GraphEvent> m_events;                    // guarded by m_event_lock
    int m_sinks{0};                                   // guarded by m_event_lock
    std::set<LONG_PTR> m_sinks_complete;              // guarded by m_event_lock
    std::optional<LONG> m_completion;                 // guarded by m_event_lock
    // Set and reset under m_event_lock: set exactly while m_events is not empty
    // (the event handle), and while m_completion holds a value.
    plat::Event m_has_events{plat::EventReset::Manual, plat::EventState::Clear};
    plat::Event m_completed{plat::EventReset::Manual, plat::EventState::Clear};

    std::atomic<ULONG> m_ref{0};
};

// The pins of a filter in one direction; connected or free as asked.
enum class PinState { Any, Free, Connected };
std::vector<ComPtr<IPin>> filter_pins(IBaseFilter* filter, PIN_DIRECTION direction, PinState state = PinState::Any);

}
