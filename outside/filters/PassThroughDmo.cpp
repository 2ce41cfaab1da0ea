#include "PassThroughDmo.h"

#include "platform/dshow/MediaFormats.h"

#include <algorithm>
#include <cstring>

namespace filters {

namespace {

constexpr REFERENCE_TIME units_per_second = 10000000;
constexpr DWORD kept_seconds = 2;

const WAVEFORMATEX* pcm_of(const DMO_MEDIA_TYPE* type)
{
    if (type == nullptr || type->majortype != MEDIATYPE_Audio || type->formattype != FORMAT_WaveFormatEx ||
        type->pbFormat == nullptr || type->cbFormat < sizeof(WAVEFORMATEX))
        return nullptr;
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
    const bool usable = f->wFormatTag == WAVE_FORMAT_PCM && (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
                        f->nChannels >= 1 && f->nSamplesPerSec > 0 &&
                        f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
    return usable ? f : nullptr;
}

std::int16_t sample_at(const BYTE* frame, int channel, WORD bits)
{
    if (bits == 8) return static_cast<std::int16_t>((frame[channel] - 128) << 8);
    std::int16_t s;
    std::memcpy(&s, frame + channel * 2, 2);
    return s;
}

}

HRESULT PassThroughDmo::SetInputType(DWORD stream, const DMO_MEDIA_TYPE* type, DWORD flags)
{
    if (stream != 0) return DMO_E_INVALIDSTREAMINDEX;
    const WAVEFORMATEX* f = pcm_of(type);
    if (f == nullptr) return DMO_E_TYPE_NOT_ACCEPTED;
    if (flags & DMO_SET_TYPEF_TEST_ONLY) return S_OK;
    std::scoped_lock hold(m_lock);
    m_channels = f->nChannels;
    m_bits = f->wBitsPerSample;
    m_rate = f->nSamplesPerSec;
    m_ring.clear();
    return S_OK;
}

HRESULT PassThroughDmo::SetOutputType(DWORD stream, const DMO_MEDIA_TYPE* type, DWORD)
{
    if (stream != 0) return DMO_E_INVALIDSTREAMINDEX;
    const WAVEFORMATEX* f = pcm_of(type);
    std::scoped_lock hold(m_lock);
    const bool same = f != nullptr && f->nChannels == m_channels && f->wBitsPerSample == m_bits && f->nSamplesPerSec == m_rate;
    return same ? S_OK : DMO_E_TYPE_NOT_ACCEPTED;
}

HRESULT PassThroughDmo::Process(ULONG size, BYTE* data, REFERENCE_TIME start, DWORD)
{
    if (data == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    if (m_channels == 0) return E_UNEXPECTED;
    const std::size_t frame_bytes = std::size_t{m_channels} * m_bits / 8;
    // Sound that does not follow on from the ring (a seek, a new stream) starts it again.
    const REFERENCE_TIME ring_end =
        m_first + static_cast<REFERENCE_TIME>(m_ring.size() / 2) * units_per_second / m_rate;
    if (m_ring.empty() || std::llabs(start - ring_end) > units_per_second / 100) {
        m_ring.clear();
        m_first = start;
    }
    keep(data, size / frame_bytes);
    return S_OK;
}

// Appends frames as 16-bit stereo (one channel is both sides; beyond two
// the front pair is kept) and lets the oldest go past the ring's length.
void PassThroughDmo::keep(const BYTE* data, std::size_t frames)
{
    const std::size_t frame_bytes = std::size_t{m_channels} * m_bits / 8;
    for (std::size_t i = 0; i < frames; ++i) {
        const BYTE* frame = data + i * frame_bytes;
        m_ring.push_back(sample_at(frame, 0, m_bits));
        m_ring.push_back(sample_at(frame, m_channels > 1 ? 1 : 0, m_bits));
    }
    const std::size_t most = std::size_t{m_rate} * kept_seconds * 2;
    if (m_ring.size() <= most) return;
    const std::size_t dropped = (m_ring.size() - most) / 2;
    m_ring.erase(m_ring.begin(), m_ring.begin() + std::ptrdiff_t(dropped * 2));
    m_first += static_cast<REFERENCE_TIME>(dropped) * units_per_second / m_rate;
}

LONG PassThroughDmo::Read(LONGLONG position, BYTE* buffer, LONG size)
{
    if (buffer == nullptr || size < 4) return 0;
    std::scoped_lock hold(m_lock);
    if (m_rate == 0 || position < m_first) return 0;
    const auto frame = static_cast<std::size_t>((position - m_first) * m_rate / units_per_second);
    const std::size_t have = m_ring.size() / 2;
    if (frame >= have) return 0;
    const std::size_t frames = std::min(have - frame, static_cast<std::size_t>(size) / 4);
    auto from = m_ring.begin() + std::ptrdiff_t(frame * 2);
    for (std::size_t i = 0; i < frames * 2; ++i, ++from) std::memcpy(buffer + i * 2, &*from, 2);
    return static_cast<LONG>(frames * 4);
}

}
