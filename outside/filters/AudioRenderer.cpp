#include "AudioRenderer.h"

#include "platform/com/ComObject.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/Mixer.h"

#include <chrono>

namespace filters {

// The voice and the clock's reckoning, shared by the filter and its clock.
struct SoundClockState {
    std::mutex lock;
    plat::Mixer::VoicePtr voice;     // guarded by lock; null until the input connects
    DWORD rate = 0;                  // guarded by lock; the voice's frames a second
    DWORD bytes_per_second = 0;      // guarded by lock
    bool running = false;            // guarded by lock
    bool ended = false;              // guarded by lock; the stream's last sound went out
    REFERENCE_TIME time = 0;         // guarded by lock; the last time told
    std::uint64_t played = 0;        // guarded by lock; the voice's count when last asked
    std::chrono::steady_clock::time_point asked = std::chrono::steady_clock::now();   // guarded by lock

    plat::Mixer::VoicePtr current()
    {
        std::scoped_lock hold(lock);
        return voice;
    }
};

namespace {

constexpr REFERENCE_TIME units_per_second = 10000000;
constexpr LONG quietest = -10000;

// While the graph runs, time is the sound that went out, from the first
// sample to the last: when the decoder is late the clock waits with the
// sound, and the pictures with it. Before a run and after the stream's end
// the system clock carries it on, so pictures that outlast the sound still
// come.
class SoundClock final : public plat::ComObject<IReferenceClock> {
public:
    explicit SoundClock(std::shared_ptr<SoundClockState> state) : m_state(std::move(state)) {}

    HRESULT GetTime(REFERENCE_TIME* time) override
    {
        if (time == nullptr) return E_POINTER;
        plat::Mixer& mixer = plat::audio_mixer();
        SoundClockState& s = *m_state;
        std::scoped_lock hold(s.lock);
        const auto now = std::chrono::steady_clock::now();
        const std::uint64_t played = s.voice ? mixer.played_frames(*s.voice) : s.played;
        const bool sounding = s.voice && s.running && !s.ended;
        if (sounding)
            s.time += static_cast<REFERENCE_TIME>((played - s.played) * units_per_second / s.rate);
        else
            s.time += std::chrono::duration_cast<std::chrono::nanoseconds>(now - s.asked).count() / 100;
        s.played = played;
        s.asked = now;
        *time = s.time;
        return S_OK;
    }

private:
    const std::shared_ptr<SoundClockState> m_state;
};

// Anything the mixer reads: PCM of 8 or 16 bits; beyond two channels the
// front pair is heard.
bool playable(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nChannels >= 1 &&
           f.nChannels <= 8 && f.nSamplesPerSec >= 100 && f.nSamplesPerSec <= 200000 &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

}

AudioRenderer::AudioRenderer(const WCHAR* name, const CLSID& clsid)
    : RendererBase(name, clsid, u"Audio Input pin (rendered)"), m_state(std::make_shared<SoundClockState>()),
      m_clock(plat::ComPtr<IReferenceClock>::adopt(new SoundClock(m_state)))
{
}

AudioRenderer::~AudioRenderer() = default;

HRESULT AudioRenderer::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object != nullptr && iid == IBasicAudio::iid) {
        *object = static_cast<IBasicAudio*>(this);
        AddRef();
        return S_OK;
    }
    if (object != nullptr && iid == IReferenceClock::iid) return m_clock->QueryInterface(iid, object);
    return RendererBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT AudioRenderer::put_Volume(LONG volume)
{
    if (volume < quietest || volume > 0) return E_INVALIDARG;
    std::scoped_lock hold(m_lock);
    m_volume = volume;
    if (plat::Mixer::VoicePtr voice = m_state->current()) plat::audio_mixer().set_volume(*voice, volume);
    return S_OK;
}

HRESULT AudioRenderer::get_Volume(LONG* volume)
{
    if (volume == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *volume = m_volume;
    return S_OK;
}

HRESULT AudioRenderer::put_Balance(LONG balance)
{
    if (balance < quietest || balance > -quietest) return E_INVALIDARG;
    std::scoped_lock hold(m_lock);
    m_balance = balance;
    if (plat::Mixer::VoicePtr voice = m_state->current()) plat::audio_mixer().set_pan(*voice, balance);
    return S_OK;
}

HRESULT AudioRenderer::get_Balance(LONG* balance)
{
    if (balance == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *balance = m_balance;
    return S_OK;
}

HRESULT AudioRenderer::GetSinkPosition(REFERENCE_TIME* position)
{
    if (position == nullptr) return E_POINTER;
    *position = 0;
    const plat::Mixer::VoicePtr voice = m_state->current();
    DWORD rate;
    {
        std::scoped_lock hold(m_state->lock);
        rate = m_state->rate;
    }
    std::scoped_lock hold(m_lock);
    if (!voice || !m_first) return S_FALSE;
    const std::uint64_t played = plat::audio_mixer().played_frames(*voice) - m_played_at_first;
    *position = *m_first + static_cast<REFERENCE_TIME>(played * units_per_second / rate);
    return S_OK;
}

HRESULT AudioRenderer::check_input(const CMediaType& type) const
{
    if (*type.Type() != MEDIATYPE_Audio || *type.Subtype() != MEDIASUBTYPE_PCM ||
        *type.FormatType() != FORMAT_WaveFormatEx || type.FormatLength() < sizeof(WAVEFORMATEX))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return playable(*reinterpret_cast<const WAVEFORMATEX*>(type.Format())) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioRenderer::input_connected(const CMediaType& type)
{
    const auto& format = *reinterpret_cast<const WAVEFORMATEX*>(type.Format());
    plat::open_audio_output();
    plat::Mixer& mixer = plat::audio_mixer();
    plat::Mixer::VoicePtr voice = mixer.add_stream(format);
    {
        std::scoped_lock hold(m_lock);
        mixer.set_volume(*voice, m_volume);
        mixer.set_pan(*voice, m_balance);
    }
    std::scoped_lock hold(m_state->lock);
    m_state->voice = std::move(voice);
    m_state->rate = format.nSamplesPerSec;
    m_state->bytes_per_second = format.nSamplesPerSec * format.nBlockAlign;
    m_state->played = 0;
    return S_OK;
}

void AudioRenderer::render(IMediaSample* sample)
{
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    const plat::Mixer::VoicePtr voice = m_state->current();
    if (!voice || FAILED(sample->GetPointer(&data)) || length <= 0) return;
    plat::Mixer& mixer = plat::audio_mixer();
    {
        std::scoped_lock hold(m_lock);
        REFERENCE_TIME start = 0, stop = 0;
        if (!m_first) {
            // Kept in media time here, on the thread that also hears of new segments.
            m_first = segment_start() + (SUCCEEDED(sample->GetTime(&start, &stop)) ? start : 0);
            m_played_at_first = mixer.played_frames(*voice);
        }
    }
    mixer.queue(*voice, std::span(reinterpret_cast<const std::byte*>(data), static_cast<std::size_t>(length)));
    // About a fifth of a second queued: enough to ride out a late decoder,
    // little enough that a stop or a seek is heard at once.
    std::size_t enough;
    {
        std::scoped_lock hold(m_state->lock);
        enough = m_state->bytes_per_second / 5;
    }
    while (mixer.queued_bytes(*voice) > enough && !interrupted()) nap(5);
}

void AudioRenderer::drain()
{
    const plat::Mixer::VoicePtr voice = m_state->current();
    if (!voice) return;
    while (!interrupted()) {
        if (m_State == State_Running && plat::audio_mixer().queued_bytes(*voice) == 0) {
            std::scoped_lock hold(m_state->lock);
            m_state->ended = true;
            return;
        }
        nap(5);
    }
}

void AudioRenderer::discard()
{
    if (plat::Mixer::VoicePtr voice = m_state->current()) plat::audio_mixer().discard(*voice);
    {
        std::scoped_lock hold(m_state->lock);
        m_state->ended = false;
    }
    std::scoped_lock hold(m_lock);
    m_first.reset();
}

void AudioRenderer::state_changed(FILTER_STATE state)
{
    const plat::Mixer::VoicePtr voice = m_state->current();
    if (voice) state == State_Running ? (void)plat::audio_mixer().play(*voice) : plat::audio_mixer().halt(*voice);
    std::scoped_lock hold(m_state->lock);
    m_state->running = state == State_Running;
}

}
