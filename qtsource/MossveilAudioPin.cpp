#include "qtsource/MossveilAudioPin.h"

#include "platform/dshow/MediaFormats.h"
#include "qtsource/QtMovieReader.h"

#include <cstring>

namespace {

constexpr LONG small_request = 100;      // requests this small ask the pin to choose
constexpr LONG smallest_read = 8192;
constexpr LONG small_sound_buffer = 0x8000;

}

MossveilAudioPin::MossveilAudioPin(HRESULT* result, MossveilSourceFilter* filter, QtMovieReader& reader)
    : MossveilSourceStream(result, filter, u"Audio", reader)
{
    const HRESULT set_up = reader.set_up_sound();
    m_granule = SUCCEEDED(set_up) ? reader.frames_per_read() : 0;
    if (m_granule == 0 && result) *result = E_FAIL;
}

MossveilAudioPin::~MossveilAudioPin() { stop_worker(); }

HRESULT MossveilAudioPin::GetMediaType(int position, CMediaType* type)
{
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    const WAVEFORMATEX& wf = m_reader.wave_format();
    *type = CMediaType(MEDIATYPE_Audio);
    type->SetSubtype(&MEDIASUBTYPE_PCM);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    type->SetTemporalCompression(FALSE);
    if (!type->SetFormat(reinterpret_cast<const BYTE*>(&wf), sizeof wf)) return E_OUTOFMEMORY;
    type->SetVariableSize();
    type->lSampleSize = wf.nBlockAlign / wf.nChannels;
    return S_OK;
}

HRESULT MossveilAudioPin::CheckMediaType(const CMediaType* type)
{
    CMediaType offered;
    GetMediaType(0, &offered);
    const bool same = *type->Type() == MEDIATYPE_Audio && *type->Subtype() == MEDIASUBTYPE_PCM &&
                      *type->FormatType() == FORMAT_WaveFormatEx && type->FormatLength() >= sizeof(WAVEFORMATEX) &&
                      std::memcmp(type->Format(), offered.Format(), sizeof(WAVEFORMATEX)) == 0;
    return same ? S_OK : E_INVALIDARG;
}

HRESULT MossveilAudioPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    const LONG block = m_reader.wave_format().nBlockAlign;
    if (request->cBuffers < 1) request->cBuffers = 1;
    if (request->cbBuffer <= small_request) {
        request->cbBuffer = block * m_granule;
        if (request->cbBuffer < smallest_read) request->cbBuffer = small_sound_buffer;
    }
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer != request->cbBuffer && actual.cbBuffer < block ? E_FAIL : S_OK;
}

// The next read's frame: at or after the seek start, on a multiple of the granule.
void MossveilAudioPin::seek_to_start()
{
    const LONGLONG rate = m_reader.wave_format().nSamplesPerSec;
    LONGLONG frame = m_rtStart * rate / UNITS;
    frame = (frame + m_granule - 1) / m_granule * m_granule;
    m_frame_position = frame;
    m_current = frame * UNITS / rate;
    m_previous_stop = m_current;
}

HRESULT MossveilAudioPin::FillBuffer(IMediaSample* sample)
{
    CAutoLock hold(&m_lock);
    // Sound is delivered at normal speed only.
    if (m_dRateSeeking < 0.9999 || m_dRateSeeking > 1.0001) return S_FALSE;
    const WAVEFORMATEX& wf = m_reader.wave_format();
    BYTE* out = nullptr;
    sample->GetPointer(&out);
    LONG count = sample->GetSize() / wf.nBlockAlign;
    const BYTE* data = nullptr;
    const HRESULT read = m_reader.read_sound(m_frame_position, count, data);
    if (read != S_OK) return read;
    if (count == 0) return S_FALSE;
    const LONG length = count * wf.nBlockAlign;
    std::memcpy(out, data, static_cast<std::size_t>(length));
    sample->SetActualDataLength(length);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(take_discontinuity());
    const REFERENCE_TIME stop_time = (m_frame_position + count) * UNITS / wf.nSamplesPerSec;
    REFERENCE_TIME start = (m_frame_position == 0 ? 0 : m_previous_stop) - m_segment_start;
    REFERENCE_TIME stop = stop_time - m_segment_start;
    sample->SetTime(&start, &stop);
    LONGLONG media_start = m_frame_position, media_stop = m_frame_position + count;
    sample->SetMediaTime(&media_start, &media_stop);
    m_previous_stop = stop_time;
    m_frame_position += count;
    return S_OK;
}
