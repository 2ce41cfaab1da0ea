// Buffer state lives here, under the mixer's lock, so that the output thread
// reads a consistent position, volume and sample set.

#include "platform/sound/Mixer.h"

#include "platform/sound/DirectSound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {

struct Voice {
    std::shared_ptr<SampleData> data;   // all fields guarded by the mixer's lock
    double position = 0;                // in source frames
    bool playing = false;
    bool lost = false;
    int restore_refusals = 0;
    double gain = 1.0;
    double left = 1.0;    // pan: the far side is attenuated, the near one kept
    double right = 1.0;
    bool stream = false;         // plays a queue: data->bytes from the front
    std::uint64_t played = 0;    // a stream's whole source frames played
};

namespace {

std::size_t frame_bytes(const SampleData& d) { return std::size_t{d.channels} * d.bits / 8; }

double sample_at(const SampleData& d, std::size_t frame, int channel)
{
    const std::size_t at = frame * frame_bytes(d) + std::size_t(std::min<int>(channel, d.channels - 1)) * d.bits / 8;
    if (d.bits == 8)
        return (static_cast<int>(std::to_integer<unsigned>(d.bytes[at])) - 128) / 128.0;
    std::int16_t s;
    std::memcpy(&s, &d.bytes[at], 2);
    return s / 32768.0;
}

// Adds one voice into the float mix; stops it at its end, back at the start as
// a one-shot buffer does.
void mix_voice(Voice& v, std::span<double> mix)
{
    const SampleData& d = *v.data;
    const std::size_t frames = d.bytes.size() / frame_bytes(d);
    const double step = double(d.rate) / mix_rate;
    for (std::size_t i = 0; i + 1 < mix.size(); i += 2) {
        const auto frame = static_cast<std::size_t>(v.position);
        if (frame >= frames) {
            v.playing = false;
            v.position = 0;
            return;
        }
        mix[i] += sample_at(d, frame, 0) * v.gain * v.left;
        mix[i + 1] += sample_at(d, frame, 1) * v.gain * v.right;
        v.position += step;
    }
}

// Adds what a stream has queued; a dry queue waits, as the renderer feeding
// it is late, and the played count (its clock) waits with it.
void mix_stream(Voice& v, std::span<double> mix)
{
    SampleData& d = *v.data;
    const std::size_t frames = d.bytes.size() / frame_bytes(d);
    const double step = double(d.rate) / mix_rate;
    const double begin = v.position;
    for (std::size_t i = 0; i + 1 < mix.size(); i += 2) {
        const auto frame = static_cast<std::size_t>(v.position);
        if (frame >= frames)
            break;
        mix[i] += sample_at(d, frame, 0) * v.gain * v.left;
        mix[i + 1] += sample_at(d, frame, 1) * v.gain * v.right;
        v.position += step;
    }
    // A faster source can step past the last queued frame: what is left of
    // the step carries on into the next data.
    const auto used = std::min(static_cast<std::size_t>(v.position), frames);
    v.played += used - static_cast<std::size_t>(begin);
    d.bytes.erase(d.bytes.begin(), d.bytes.begin() + std::ptrdiff_t(used * frame_bytes(d)));
    v.position -= double(used);
}

}

Mixer::VoicePtr Mixer::add_voice(const WAVEFORMATEX& format, std::size_t bytes)
{
    auto v = std::make_shared<Voice>();
    v->data = std::make_shared<SampleData>();
    v->data->channels = format.nChannels;
    v->data->bits = format.wBitsPerSample;
    v->data->rate = format.nSamplesPerSec;
    v->data->bytes.assign(bytes, std::byte{0});
    std::scoped_lock hold(m_lock);
    m_voices.push_back(v);
    return v;
}

Mixer::VoicePtr Mixer::duplicate(const Voice& original)
{
    auto v = std::make_shared<Voice>();
    std::scoped_lock hold(m_lock);
    v->data = original.data;
    v->lost = original.lost;
    m_voices.push_back(v);
    return v;
}

std::size_t Mixer::size(const Voice& v) const
{
    std::scoped_lock hold(m_lock);
    return v.data->bytes.size();
}

DWORD Mixer::status(const Voice& v) const
{
    std::scoped_lock hold(m_lock);
    return (v.playing ? DSBSTATUS_PLAYING : 0) | (v.lost ? DSBSTATUS_BUFFERLOST : 0);
}

HRESULT Mixer::restore(Voice& v)
{
    std::scoped_lock hold(m_lock);
    if (!v.lost)
        return DS_OK;
    if (v.restore_refusals != 0) {
        if (v.restore_refusals > 0)
            --v.restore_refusals;
        return DSERR_BUFFERLOST;
    }
    // A restored buffer's memory is new: the owner fills it again.
    v.lost = false;
    std::fill(v.data->bytes.begin(), v.data->bytes.end(), std::byte{0});
    return DS_OK;
}

HRESULT Mixer::read(const Voice& v, std::size_t offset, std::span<std::byte> into) const
{
    std::scoped_lock hold(m_lock);
    if (v.lost)
        return DSERR_BUFFERLOST;
    if (offset > v.data->bytes.size() || into.size() > v.data->bytes.size() - offset)
        return DSERR_INVALIDPARAM;
    std::memcpy(into.data(), v.data->bytes.data() + offset, into.size());
    return DS_OK;
}

HRESULT Mixer::write(Voice& v, std::size_t offset, std::span<const std::byte> from)
{
    std::scoped_lock hold(m_lock);
    if (v.lost)
        return DSERR_BUFFERLOST;
    if (offset > v.data->bytes.size() || from.size() > v.data->bytes.size() - offset)
        return DSERR_INVALIDPARAM;
    std::memcpy(v.data->bytes.data() + offset, from.data(), from.size());
    return DS_OK;
}

void Mixer::set_volume(Voice& v, LONG hundredths_db)
{
    std::scoped_lock hold(m_lock);
    v.gain = hundredths_db <= DSBVOLUME_MIN ? 0.0 : std::pow(10.0, hundredths_db / 2000.0);
}

void Mixer::set_pan(Voice& v, LONG pan)
{
    const double far_side = std::pow(10.0, -std::abs(pan) / 2000.0);
    std::scoped_lock hold(m_lock);
    v.left = pan > 0 ? far_side : 1.0;
    v.right = pan < 0 ? far_side : 1.0;
}

HRESULT Mixer::set_position(Voice& v, std::size_t offset)
{
    std::scoped_lock hold(m_lock);
    if (offset > v.data->bytes.size())
        return DSERR_INVALIDPARAM;
    v.position = double(offset / frame_bytes(*v.data));
    return DS_OK;
}

HRESULT Mixer::play(Voice& v)
{
    std::scoped_lock hold(m_lock);
    if (v.lost)
        return DSERR_BUFFERLOST;
    v.playing = true;
    return DS_OK;
}

Mixer::VoicePtr Mixer::add_stream(const WAVEFORMATEX& format)
{
    VoicePtr v = add_voice(format, 0);
    std::scoped_lock hold(m_lock);
    v->stream = true;
    return v;
}

HRESULT Mixer::queue(Voice& v, std::span<const std::byte> bytes)
{
    std::scoped_lock hold(m_lock);
    if (v.lost)
        return DSERR_BUFFERLOST;
    v.data->bytes.insert(v.data->bytes.end(), bytes.begin(), bytes.end());
    return DS_OK;
}

void Mixer::halt(Voice& v)
{
    std::scoped_lock hold(m_lock);
    v.playing = false;
}

void Mixer::discard(Voice& v)
{
    std::scoped_lock hold(m_lock);
    v.data->bytes.clear();
    v.position = 0;
}

std::size_t Mixer::queued_bytes(const Voice& v) const
{
    std::scoped_lock hold(m_lock);
    return v.data->bytes.size();
}

std::uint64_t Mixer::played_frames(const Voice& v) const
{
    std::scoped_lock hold(m_lock);
    return v.played;
}

void Mixer::mix(std::span<std::int16_t> out)
{
    std::vector<double> sum(out.size(), 0.0);
    {
        std::scoped_lock hold(m_lock);
        std::erase_if(m_voices, [](const std::weak_ptr<Voice>& w) { return w.expired(); });
        for (const auto& w : m_voices)
            if (auto v = w.lock(); v && v->playing)
                v->stream ? mix_stream(*v, sum) : mix_voice(*v, sum);
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(std::lround(sum[i] * 32768.0), -32768L, 32767L));
}

void Mixer::lose_all(int refusals)
{
    std::scoped_lock hold(m_lock);
    for (const auto& w : m_voices)
        if (auto v = w.lock()) {
            v->playing = false;
            v->lost = true;
            v->restore_refusals = refusals;
        }
}

}
