#pragma once
// "Default DirectSound Device" and "Default WaveOut Device": 16-bit or 8-bit
// PCM played on a streaming voice of the process mixer (platform/sound:
// SDL2's device, or the silent output). The voice's played position is the
// reference clock they offer the graph; IBasicAudio sets its volume in
// hundredths of a decibel (-10000 to 0) and its balance.

#include "RendererBase.h"
#include "platform/com/ComPtr.h"

#include <memory>
#include <mutex>
#include <optional>

namespace filters {

inline constexpr CLSID CLSID_DSoundRender = plat::make_guid("{79376820-07D0-11CF-A24D-0020AFD79767}");
inline constexpr CLSID CLSID_AudioRender = plat::make_guid("{E30629D1-27E5-11CE-875D-00608CB78066}");

struct SoundClockState;

class AudioRenderer : public RendererBase, public IBasicAudio {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override { return RendererBase::QueryInterface(iid, object); }
    ULONG AddRef() override { return RendererBase::AddRef(); }
    ULONG Release() override { return RendererBase::Release(); }
    // Also IReferenceClock: a separate object sharing the voice, so that the
    // graph and the filters holding the clock do not keep the filter alive.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;
    HRESULT put_Balance(LONG balance) override;
    HRESULT get_Balance(LONG* balance) override;

    HRESULT GetSinkPosition(REFERENCE_TIME* position) override;

protected:
    AudioRenderer(const WCHAR* name, const CLSID& clsid);
    ~AudioRenderer() override;

private:
    HRESULT check_input(const CMediaType& type) const override;
    HRESULT input_connected(const CMediaType& type) override;
    void render(IMediaSample* sample) override;
    void drain() override;
    void discard() override;
    void state_changed(FILTER_STATE state) override;

    const std::shared_ptr<SoundClockState> m_state;   // the voice and the clock; its own lock
    plat::ComPtr<IReferenceClock> m_clock;
    mutable std::mutex m_lock;
    LONG m_volume = 0;                             // guarded by m_lock
    LONG m_balance = 0;                            // guarded by m_lock
    std::optional<REFERENCE_TIME> m_first;         // guarded by m_lock; media time of the first sample since a flush
    std::uint64_t m_played_at_first = 0;           // guarded by m_lock; the voice's count when it was queued
};

class DefaultDirectSoundDevice final : public AudioRenderer {
public:
    DefaultDirectSoundDevice() : AudioRenderer(u"Default DirectSound Device", CLSID_DSoundRender) {}
};

class DefaultWaveOutDevice final : public AudioRenderer {
public:
    DefaultWaveOutDevice() : AudioRenderer(u"Default WaveOut Device", CLSID_AudioRender) {}
};

}
