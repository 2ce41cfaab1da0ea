#pragma once
// CAVBase: one filter graph with its control interfaces, run, pause, stop,
// volume, the video size, and two workers: the graph-event thread (completion
// and aborts) and the position thread (duration and position reports).
// Everything is reported through the controller's Notify.

#include "components/common/controlengine/IBaseControl.h"
#include "engines/mediagraph/FilterIds.h"
#include "platform/com/ComPtr.h"
#include "platform/dshow/FilterRegistration.h"
#include "platform/dshow/Interfaces.h"
#include "platform/sync/Event.h"

#include <atomic>
#include <string_view>
#include <thread>

// Play states (command 4110).
inline constexpr SHORT PLAY_STATE_NONE = 0;
inline constexpr SHORT PLAY_STATE_RUNNING = 1;
inline constexpr SHORT PLAY_STATE_PAUSED = 2;
inline constexpr SHORT PLAY_STATE_BUILDING = 4;
inline constexpr SHORT PLAY_STATE_STOPPED = 5;

// The keep-awake kind announced with event 4106.
inline constexpr LONG KEEP_AWAKE_KIND = 7;

class CAVBase {
public:
    // `make` creates a filter by class id (CoCreateInstance in the program);
    // `report_period_ms` is the position thread's period.
    CAVBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms);
    virtual ~CAVBase();
    CAVBase(const CAVBase&) = delete;
    CAVBase& operator=(const CAVBase&) = delete;

    virtual HRESULT Play();
    HRESULT Pause();
    virtual HRESULT Stop();
    SHORT GetPlayState();
    // 0..100; anything else is refused and leaves the volume as it was.
    HRESULT SetVolume(LONG volume);
    HRESULT SetMute(bool on);
    LONG GetVolume();

protected:
    void notify(LONG code, INT_PTR value = 0, INT_PTR extra = 0);

    // The graph and its interfaces; E_FAIL when one is missing.
    HRESULT CreateGraph();
    // Stops the threads and the graph, removes every filter and lets go of the graph.
    virtual void DestroyGraph();
    bool has_graph() const { return static_cast<bool>(m_graph); }
    // The graph-event and position threads; StopThreads joins both.
    void StartThreads();
    void StopThreads();
    // Makes a renderer's (or an audio filter's) clock the graph's; without
    // one the graph keeps its default.
    virtual void UseAudioClock();
    // Reads the size from the pin's type and reports it (event 12289).
    void GetVideoSize(IPin* pin);
    // The position thread's period; a derived graph may tick faster.
    virtual DWORD report_period() const { return m_report_period_ms; }
    // The position thread calls this on each tick, before the position goes out (100 ns units; the
    // duration is 0 until known). The graph outlives the call.
    virtual void on_position(LONGLONG /*position*/, LONGLONG /*duration*/) {}

    // Filter operations. A filter that cannot be made or added gives null.
    plat::ComPtr<IBaseFilter> add_filter(const mediagraph::FilterId& id);
    plat::ComPtr<IBaseFilter> add_filter(const plat::ComPtr<IBaseFilter>& filter, const char16_t* name);
    void remove_filter(plat::ComPtr<IBaseFilter>& filter);
    HRESULT connect_direct(IPin* output, IPin* input);
    HRESULT connect(IPin* output, IPin* input);
    plat::ComPtr<IBaseFilter> find_filter(const char16_t* name);

    plat::ComPtr<IGraphBuilder> m_graph;
    plat::ComPtr<IMediaControl> m_control;
    plat::ComPtr<IMediaEventEx> m_events;
    plat::ComPtr<IMediaSeeking> m_seeking;
    plat::ComPtr<IBasicAudio> m_audio;
    std::atomic<SHORT> m_play_state{PLAY_STATE_NONE};

private:
    void ProcessGraphEvents();
    void PositionThread();
    void report_position();

    IBaseControl* const m_controller;
    const plat::FilterMaker m_make;
    const DWORD m_report_period_ms;
    LONG m_volume{0};                        // DirectShow units, 0 (full) .. -10000
    std::atomic<bool> m_keep_awake{false};   // 4106 announced since the last stop (the position thread resumes too)
    LONGLONG m_duration{0};                  // position thread only; 100 ns, 0 until known
    plat::Event m_stop{plat::EventReset::Manual, plat::EventState::Clear};
    std::thread m_event_thread;              // joined by StopThreads
    std::thread m_position_thread;           // joined by StopThreads
};

// The first pin of that direction that is not connected, whose name contains
// `name_part` (any name when empty).
plat::ComPtr<IPin> find_free_pin(IBaseFilter* filter, PIN_DIRECTION direction, std::u16string_view name_part = {});
// The first free output pin whose first offered type has this major type.
plat::ComPtr<IPin> find_output_of_major(IBaseFilter* filter, const GUID& major);
