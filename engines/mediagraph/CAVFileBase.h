#pragma once
// CAVFileBase: builds the graph for a file or a stream: the file source (or,
// for an address, the network source reading the data store), a splitter
// chosen by the name (else the generic chain), the decoders by splitter
// kind, and what the derived class puts after them (renderers here, encoders
// in the transcode). A QuickTime name that no splitter reads is tried again
// on the QuickTime source.
//
// While a stream feeds the graph (the streaming flag, set by the engine that
// knows its source is still arriving) the position thread ticks every 500 ms
// and pauses the graph when play stalls; the data-wait thread then waits for
// the next read-ahead of the store (8193 before, 8198 after) and the
// position thread plays on.

#include "engines/mediagraph/Buffering.h"
#include "engines/mediagraph/CAVBase.h"
#include "engines/mediagraph/SplitterChoice.h"
#include "outside/filters/ISourceManager.h"
#include "outside/ostrel/IOstrel.h"

#include <atomic>
#include <mutex>
#include <string>

class CAVFileBase : public CAVBase, public ISourceManager {
public:
    CAVFileBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms);
    ~CAVFileBase() override;

    // Plays the built graph, or builds the playback graph first; 4104 when no route builds it.
    HRESULT Play() override;
    // Ends the reads' waits first, so a stop is not held by a stream that does not come.
    HRESULT Stop() override;
    // Stops the threads and tears the graph down; the source path, the data
    // store and the streaming flag are cleared.
    HRESULT Close();
    // Pauses the graph: for data (`wait`: a refill is asked for) or for the user.
    HRESULT PauseSource(bool wait);

    // An empty path leaves the one set before.
    void SetSourcePath(std::u16string_view path);
    LONG GetSplitterKind() const { return m_kind; }

    // Where an address's bytes come from (not owned; null: every read answers
    // without data). Set before the graph is built; Close forgets it.
    void SetDataStore(IOstrelItem* store) { m_store = store; }
    // Set while a stream still arriving feeds the graph; set before the graph is built.
    void SetStreaming(bool on) { m_streaming = on; }
    // Ends every wait of a read for data now; the next Play lets them wait again.
    void InterruptReads() { m_data.set(); }
    // From a command about to wait for the graph until EndHoldOff: reads do
    // not wait for a stream's bytes meanwhile, whatever Play resets, so a
    // build or refill held by a stalled download lets the command in.
    void HoldOffReads()
    {
        ++m_held_off;
        m_data.set();
    }
    void EndHoldOff() { --m_held_off; }

    // For the network source. Always 1; *read gets the bytes that came.
    LONG ReadData(LONGLONG position, LONG length, BYTE* buffer, LONG* read) override;
    LONGLONG GetTotalSize() override;

protected:
    // The file source and the splitter: S_OK when a splitter connected, else
    // the graph holds no splitter. Caller holds m_graph_lock.
    HRESULT build_source_and_splitter();
    // The QuickTime source loaded with the path, its outputs through the
    // renderers (or encoders); the threads are not started. Caller holds m_graph_lock.
    HRESULT build_quicktime_graph();

    void DestroyGraph() override;
    DWORD report_period() const override;
    void on_position(LONGLONG position, LONGLONG duration) override;
    // Waits for the read-ahead from `position`, only while a refill is asked for.
    void Refill(LONGLONG position);
    // How long a read waits for the store between two looks.
    void SetDataPoll(DWORD ms) { m_data_poll_ms = ms; }
    // The position thread's period while streaming (applies from the next graph).
    void SetBufferingTick(DWORD ms) { m_buffering_tick_ms = ms; }

    virtual HRESULT BuildGraph();
    virtual HRESULT ConnectOutputs();
    virtual HRESULT AddVideoDecoder(IPin* pin);
    HRESULT AddAudioDecoder(IPin* pin);
    virtual HRESULT AddVideoRenderer(IPin* pin);
    virtual HRESULT AddAudioRenderer(IPin* pin);
    // The splitter's video pin through a decoder: the pin to render, or the
    // splitter's own pin when no decoder takes it.
    plat::ComPtr<IPin> decode_video(IPin* pin, std::u16string_view output_name);

    std::recursive_mutex m_graph_lock;   // building and tearing down the graph
    std::u16string m_path;               // guarded by m_graph_lock

private:
    HRESULT add_source();
    HRESULT try_splitter(mediagraph::SplitterKind kind);
    HRESULT try_generic_chain();
    HRESULT add_splitter(mediagraph::SplitterKind kind);
    HRESULT connect_splitter();
    plat::ComPtr<IPin> add_subtitle(IPin* pin);
    // Reads until `length` bytes came, the store ends or fails, or the reads
    // are interrupted: the bytes read and the store's last answer.
    std::pair<LONG, LONG> read_waiting(IOstrelItem* store, LONGLONG position, LONG length, BYTE* buffer);
    void DataWaitThread();
    void stop_data_wait();

    LONG m_kind{mediagraph::KIND_NONE};
    plat::ComPtr<IBaseFilter> m_subtitle;   // told the position by the position thread

    const LONG m_buffer_time_s;              // "BufferTime": seconds of play a refill waits for
    std::atomic<IOstrelItem*> m_store{nullptr};
    std::atomic<bool> m_streaming{false};
    std::atomic<bool> m_data_needed{false};
    std::atomic<bool> m_user_paused{false};
    std::atomic<bool> m_abort_building{false};
    std::atomic<LONGLONG> m_last_read{0};    // where the source last read
    std::atomic<LONGLONG> m_total{0};        // what GetTotalSize told
    std::atomic<LONGLONG> m_duration{0};     // 100 ns, as the position thread last saw it
    std::atomic<DWORD> m_data_poll_ms{50};
    std::atomic<int> m_held_off{0};          // commands waiting for the graph
    std::atomic<DWORD> m_buffering_tick_ms{mediagraph::BUFFERING_TICK_MS};
    LONGLONG m_read_ahead{mediagraph::READ_AHEAD_MIN};   // data-wait thread only (and Close)
    std::mutex m_watch_lock;
    mediagraph::BufferingWatch m_watch;                  // guarded by m_watch_lock
    plat::Event m_data{plat::EventReset::Manual, plat::EventState::Clear};   // set: reads stop waiting
    plat::Event m_data_request{plat::EventReset::Manual, plat::EventState::Clear};
    plat::Event m_data_wait_stop{plat::EventReset::Manual, plat::EventState::Clear};
    std::thread m_data_wait_thread;          // joined by DestroyGraph
    plat::ComPtr<IBaseFilter> m_source;
    plat::ComPtr<IBaseFilter> m_splitter;
    plat::ComPtr<IBaseFilter> m_video_decoder;
    plat::ComPtr<IBaseFilter> m_audio_decoder;
};
