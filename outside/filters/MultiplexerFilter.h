#pragma once
// "KVR Multiplexer Filter": H.264 on "Video Input" and AAC on "Audio Input"
// into an MP4 file of the music players' brand, written with libavformat.
// The file is finished (its index written) once every connected input has
// ended; then the graph hears EC_COMPLETE. A write that fails ends the run
// with EC_ERRORABORT.

#include "WithOutputSettings.h"
#include "platform/dshow/BaseFilter.h"

#include <memory>
#include <mutex>
#include <string>

struct AVFormatContext;

namespace filters {

inline constexpr CLSID CLSID_KVRMultiplexer = plat::make_guid("{6203F0C0-7995-4EE9-99E5-7CC6C99E0176}");

class MultiplexerFilterBase : public CBaseFilter, public IFileSinkFilter {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override { return CBaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT SetFileName(LPCWSTR file_name, const AM_MEDIA_TYPE* type) override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    HRESULT Pause() override;
    HRESULT Stop() override;

protected:
    MultiplexerFilterBase();
    ~MultiplexerFilterBase() override;

private:
    class InputPin;
    friend class InputPin;
    enum Track { Audio = 0, Video = 1 };

    HRESULT open_file();
    void write(Track track, IMediaSample* sample);
    void track_ended(Track track);
    void finish();
    void fail(HRESULT reason);

    CCritSec m_filter_lock;
    std::unique_ptr<InputPin> m_pins[2];
    std::mutex m_write_lock;
    std::string m_path;                          // guarded by m_write_lock
    AVFormatContext* m_file = nullptr;           // guarded by m_write_lock; open between the first pause and the end
    int m_stream[2] = {-1, -1};                  // guarded by m_write_lock; the file's stream of each track
    bool m_ended[2] = {false, false};            // guarded by m_write_lock
};

// It takes the settings record like the encoders; nothing in it concerns the file.
class KVRMultiplexer final : public WithOutputSettings<MultiplexerFilterBase> {};

}
