#include "qtsource/QtMovieReader.h"

#include "outside/quicktime/GWorld.h"
#include "outside/quicktime/Handles.h"
#include "outside/quicktime/QuickTime.h"
#include "outside/quicktime/SoundHeader.h"
#include "platform/base/DebugLog.h"

#include <algorithm>
#include <cstring>
#include <thread>

using namespace qt;

namespace {

constexpr REFERENCE_TIME shortest_frame = 33366;
constexpr REFERENCE_TIME longest_frame = 3336666;
constexpr REFERENCE_TIME default_frame = 333667;
constexpr int export_tries = 8;

OSType pixel_format_of(PixelKind kind)
{
    switch (kind) {
    case PixelKind::RGB24: return k24BGRPixelFormat;
    case PixelKind::RGB565: return k16LE565PixelFormat;
    case PixelKind::RGB555: return k16LE555PixelFormat;
    case PixelKind::YUY2: return kYUVSPixelFormat;
    default: return k32BGRAPixelFormat;
    }
}

// A count of `scale` time units in 100-ns units, truncated once: a movie's
// times are counts of its units, and whole 100-ns units per time unit (226
// at 44.1 kHz) would make every time short.
REFERENCE_TIME to_reference_time(LONGLONG value, TimeScale scale)
{
    return value / scale * 10000000 + value % scale * 10000000 / scale;
}

// A time in 100-ns units as `scale` time units, to the nearest: a time made
// from a count of units gives that count back.
TimeValue to_time_value(REFERENCE_TIME time, TimeScale scale)
{
    return static_cast<TimeValue>(time / 10000000 * scale + (time % 10000000 * scale + 5000000) / 10000000);
}

// Big-endian samples of `width` bytes into little-endian ones.
void swap_samples(BYTE* data, std::size_t length, int width)
{
    for (std::size_t i = 0; i + width <= length; i += width) std::reverse(data + i, data + i + width);
}

}

QtMovieReader::QtMovieReader(std::unique_ptr<QuickTime> quicktime) : m_qt(std::move(quicktime))
{
    m_qtml_started = m_qt->InitializeQTML(0) == noErr;
    m_movies_started = m_qtml_started && m_qt->EnterMovies() == noErr;
}

QtMovieReader::~QtMovieReader()
{
    if (m_world) DisposeGWorld(m_world);
    if (m_exporter) m_qt->CloseComponent(m_exporter);
    if (m_file) m_qt->CloseMovieFile(m_file);
    if (m_movie) m_qt->DisposeMovie(m_movie);
    if (m_movies_started) m_qt->ExitMovies();
    if (m_qtml_started) m_qt->TerminateQTML();
    for (Handle h : m_handles) DisposeHandle(h);
}

HRESULT QtMovieReader::open(const char* path)
{
    if (!m_movies_started) return E_UNEXPECTED;
    CAutoLock hold(&m_lock);
    FSSpec spec;
    if (m_qt->NativePathNameToFSSpec(path, &spec, 0) != noErr) return E_FAIL;
    if (m_qt->OpenMovieFile(&spec, &m_file, fsRdWrPerm) != noErr &&
        m_qt->OpenMovieFile(&spec, &m_file, fsRdPerm) != noErr) {
        m_file = 0;
        return E_FAIL;
    }
    std::int16_t resource = 0;
    if (m_qt->NewMovieFromFile(&m_movie, m_file, &resource, newMovieActive) != noErr) {
        if (m_movie) m_qt->DisposeMovie(m_movie);
        m_movie = nullptr;
        return E_FAIL;
    }
    read_tracks();
    return m_sound || m_video ? S_OK : E_FAIL;
}

void QtMovieReader::read_tracks()
{
    m_movie_scale = m_qt->GetMovieTimeScale(m_movie);
    m_scale = m_movie_scale;
    m_sound = m_qt->GetMovieIndTrackType(m_movie, 1, AudioMediaCharacteristic,
                                         movieTrackCharacteristic | movieTrackEnabledOnly);
    m_video = m_qt->GetMovieIndTrackType(m_movie, 1, VideoMediaType, movieTrackMediaType | movieTrackEnabledOnly);
    if (m_sound) read_sound_track();
    if (m_video) read_video_track();
    if (m_scale <= 0) m_sound = m_video = nullptr;
    if (!m_sound && !m_video) return;
    if (m_video) find_frame_duration();
}

void QtMovieReader::read_sound_track()
{
    const Handle h = NewHandle(0);
    m_qt->GetMediaSampleDescription(m_qt->GetTrackMedia(m_sound), 1, h);
    if (GetHandleSize(h) >= static_cast<long>(sizeof m_sound_description))
        std::memcpy(&m_sound_description, *h, sizeof m_sound_description);
    DisposeHandle(h);
    const SoundDescription& d = m_sound_description;
    const LONG rate = static_cast<LONG>(d.sampleRate >> 16);
    // Without a rate, channels or whole bytes per sample there are no frames to count.
    if (rate <= 0 || d.numChannels <= 0 || d.sampleSize <= 0 || d.sampleSize % 8 != 0 || d.sampleSize > 32) {
        plat::debug_log("QtMovieReader: the sound track has no usable format; playing without sound");
        m_sound = nullptr;
        return;
    }
    m_wave_format.wFormatTag = WAVE_FORMAT_PCM;
    m_wave_format.nChannels = static_cast<WORD>(d.numChannels);
    m_wave_format.wBitsPerSample = static_cast<WORD>(d.sampleSize);
    m_wave_format.nSamplesPerSec = static_cast<DWORD>(rate);
    m_wave_format.nBlockAlign = static_cast<WORD>(d.numChannels * d.sampleSize / 8);
    m_wave_format.nAvgBytesPerSec = m_wave_format.nBlockAlign * m_wave_format.nSamplesPerSec;
    m_wave_format.cbSize = 0;
    m_qt->SetMovieTimeScale(m_movie, rate);
    m_scale = rate;
    m_sound_duration = m_duration = m_qt->GetTrackDuration(m_sound);
}

void QtMovieReader::read_video_track()
{
    const Handle h = NewHandle(0);
    m_qt->GetMediaSampleDescription(m_qt->GetTrackMedia(m_video), 1, h);
    ImageDescription d{};
    if (GetHandleSize(h) >= static_cast<long>(sizeof d)) std::memcpy(&d, *h, sizeof d);
    DisposeHandle(h);
    m_width = d.width & ~1;
    m_height = d.height & ~1;
    m_deep = d.depth > 16;
    if (m_width <= 0 || m_height <= 0) {
        plat::debug_log("QtMovieReader: the video track has no picture size; playing without video");
        m_video = nullptr;
        return;
    }
    const Rect box{0, 0, static_cast<std::int16_t>(m_height), static_cast<std::int16_t>(m_width)};
    m_qt->SetMovieBox(m_movie, &box);
    m_duration = m_qt->GetMovieDuration(m_movie);

    BITMAPINFOHEADER& bmi = m_video_info.bmiHeader;
    bmi.biSize = sizeof bmi;
    bmi.biWidth = m_width;
    bmi.biHeight = m_height;
    bmi.biPlanes = 1;
    bmi.biBitCount = 16;
    bmi.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
    bmi.biSizeImage = GetBitmapSize(&bmi);
    m_video_info.rcSource = {0, 0, m_width, m_height};
    m_video_info.rcTarget = {0, 0, 0, 0};
}

void QtMovieReader::find_frame_duration()
{
    const OSType vide = VideoMediaType;
    TimeValue first = -1, length = 0;
    m_qt->GetMovieNextInterestingTime(m_movie, nextTimeMediaSample | nextTimeEdgeOK, 1, &vide, 0, fixed1, &first, &length);
    const REFERENCE_TIME duration = to_reference_time(length, m_scale);
    m_frame_duration = duration >= shortest_frame && duration <= longest_frame ? duration : default_frame;
    m_video_info.AvgTimePerFrame = m_frame_duration;
}

REFERENCE_TIME QtMovieReader::duration() const { return m_scale > 0 ? to_reference_time(m_duration, m_scale) : 0; }

void QtMovieReader::set_pixel_format(PixelKind kind)
{
    CAutoLock hold(&m_lock);
    const OSType format = pixel_format_of(kind);
    if (format == m_pixel_format) return;
    m_pixel_format = format;
    if (m_world) {
        m_qt->SetMovieGWorld(m_movie, nullptr);
        DisposeGWorld(m_world);
        m_world = nullptr;
    }
}

HRESULT QtMovieReader::make_world()
{
    Rect box;
    m_qt->GetMovieBox(m_movie, &box);
    if (m_qt->QTNewGWorld(&m_world, m_pixel_format, &box) != noErr || m_world == nullptr) {
        m_world = nullptr;
        plat::debug_log("QtMovieReader: no offscreen world; the video ends");
        return S_FALSE;
    }
    LockPixels(GetGWorldPixMap(m_world));
    m_qt->SetMovieGWorld(m_movie, m_world);
    return m_qt->GetMoviesError() == noErr ? S_OK : S_FALSE;
}

HRESULT QtMovieReader::render_frame(REFERENCE_TIME time, RenderedFrame& frame)
{
    CAutoLock hold(&m_lock);
    if (!m_video || m_movie_scale <= 0) return S_FALSE;
    if (!m_world) {
        const HRESULT made = make_world();
        if (made != S_OK) return made;
    }
    m_qt->SetMovieTimeScale(m_movie, m_movie_scale);
    const TimeValue u = to_time_value(time, m_movie_scale);
    const OSType vide = VideoMediaType;
    TimeValue found = -1, length = 0;
    if (u > 0) m_qt->GetMovieNextInterestingTime(m_movie, nextTimeMediaSample, 1, &vide, u - 1, fixed1, &found, &length);
    else m_qt->GetMovieNextInterestingTime(m_movie, nextTimeMediaSample | nextTimeEdgeOK, 1, &vide, 0, fixed1, &found, &length);
    if (found == -1) return S_FALSE;

    m_qt->SetMovieTimeValue(m_movie, found);
    m_qt->UpdateMovie(m_movie);
    m_qt->MoviesTask(m_movie, 0);
    if (m_qt->GetMoviesError() != noErr) return E_FAIL;
    const PixMapHandle pixmap = GetGWorldPixMap(m_world);
    if (!LockPixels(pixmap)) return E_FAIL;
    frame.pixels = reinterpret_cast<const BYTE*>(GetPixBaseAddr(pixmap));
    frame.row_bytes = QTGetPixMapHandleRowBytes(pixmap);
    // Each end from its own count of units, so one frame's end is the next one's start.
    frame.time = to_reference_time(found, m_movie_scale);
    frame.duration = to_reference_time(static_cast<LONGLONG>(found) + length, m_movie_scale) - frame.time;
    return S_OK;
}

HRESULT QtMovieReader::set_up_sound()
{
    CAutoLock hold(&m_lock);
    if (m_sound_set_up) return S_OK;
    if (!m_sound) return E_FAIL;
    if (!m_exporter && (m_qt->OpenADefaultComponent(MovieExportType, SoundResourceType, &m_exporter) != noErr || !m_exporter)) {
        m_exporter = nullptr;
        return E_FAIL;
    }
    const Handle description = NewHandleClear(sizeof(SoundDescription));
    if (description == nullptr) return E_OUTOFMEMORY;
    SoundDescription d{};
    d.descSize = sizeof d;
    d.dataFormat = kSoundNotCompressed;
    d.numChannels = m_sound_description.numChannels;
    d.sampleSize = m_sound_description.sampleSize;
    d.sampleRate = m_sound_description.sampleRate;
    std::memcpy(*description, &d, sizeof d);
    const OSErr described = m_qt->MovieExportSetSampleDescription(m_exporter, description, SoundMediaType);
    DisposeHandle(description);
    if (described != noErr) return E_FAIL;
    const HRESULT probed = probe_export();
    if (FAILED(probed)) return probed;
    for (Handle& h : m_handles)
        if (!h) h = NewHandle(0);
    m_sound_set_up = true;
    return S_OK;
}

// One frame through the exporter tells its rate, and so the frames of a read.
HRESULT QtMovieReader::probe_export()
{
    m_qt->SetMovieTimeScale(m_movie, m_scale);
    const Handle probe = NewHandle(0);
    if (probe == nullptr) return E_OUTOFMEMORY;
    SoundComponentData format{};
    unsigned long frames = 0, offset = 0;
    const bool parsed = m_qt->PutMovieIntoTypedHandle(m_movie, m_sound, SoundResourceType, probe, 0, 1, 0, m_exporter) == noErr &&
                        ParseSndHeader(probe, &format, &frames, &offset) == noErr;
    DisposeHandle(probe);
    if (!parsed) return E_FAIL;
    // Rates below 1 Hz give a fixed read; its buffer follows the frame size
    // (a fixed 64 KiB would hold only 4 bytes a frame).
    m_frames_per_read = format.sampleRate > 0xFFFF ? static_cast<LONG>(format.sampleRate >> 16) : 0x4000;
    const std::size_t size = static_cast<std::size_t>(m_frames_per_read) * m_wave_format.nBlockAlign;
    m_pcm.assign(size + size / 8, 0);
    return S_OK;
}

HRESULT QtMovieReader::read_sound(LONGLONG start_frame, LONG& count, const BYTE*& data)
{
    data = nullptr;
    if (!m_sound) return E_FAIL;
    const HRESULT set_up = set_up_sound();
    if (FAILED(set_up)) return set_up;
    CAutoLock hold(&m_lock);
    // What is buffered belongs to another position (a seek): read from the frame asked.
    if (m_frames_available > 0 && start_frame != m_pcm_frame) m_frames_available = 0;
    if (m_frames_available == 0) {
        const HRESULT filled = fill_pcm(start_frame);
        if (filled != S_OK) {
            count = 0;
            return filled;
        }
    }
    data = m_pcm.data() + m_read_offset;
    if (m_frames_available < count) {
        count = m_frames_available;
        m_frames_available = 0;
    } else {
        m_frames_available -= count;
    }
    m_read_offset += static_cast<std::size_t>(count) * m_wave_format.nBlockAlign;
    m_pcm_frame += count;
    return S_OK;
}

// Caller holds m_lock.
HRESULT QtMovieReader::fill_pcm(LONGLONG start_frame)
{
    m_qt->SetMovieTimeScale(m_movie, m_scale);
    LONGLONG n = m_frames_per_read;
    if (start_frame + n >= m_sound_duration) n = m_sound_duration - start_frame;
    if (n < 1) return S_FALSE;
    for (int k = 0; k < export_tries; ++k) {
        if (!m_handles[k]) m_handles[k] = NewHandle(0);
        OSErr err = m_handles[k] ? m_qt->PutMovieIntoTypedHandle(m_movie, m_sound, SoundResourceType, m_handles[k],
                                                                 static_cast<TimeValue>(start_frame),
                                                                 static_cast<TimeValue>(n), 0, m_exporter)
                                 : memFullErr;
        SoundComponentData format{};
        unsigned long frames = 0, offset = 0;
        if (err == noErr) err = ParseSndHeader(m_handles[k], &format, &frames, &offset);
        if (err == noErr) {
            HLock(m_handles[k]);
            const long length = GetHandleSize(m_handles[k]) - static_cast<long>(offset);
            if (length != static_cast<long>(m_wave_format.nBlockAlign) * static_cast<long>(frames)) return S_FALSE;
            keep_export(m_handles[k], format, frames, offset, static_cast<LONG>(n));
            m_pcm_frame = start_frame;
            return S_OK;
        }
        if (err == memFullErr) {
            DisposeHandle(m_handles[k]);
            m_handles[k] = NewHandle(0);
        } else if (err == invalidDuration) {
            return S_FALSE;
        }
        std::this_thread::yield();
    }
    plat::debug_log("QtMovieReader: the sound export failed; silence in its place");
    // Silence of 8-bit sound is its middle value.
    std::fill_n(m_pcm.begin(), n * m_wave_format.nBlockAlign, m_wave_format.wBitsPerSample == 8 ? 0x80 : 0);
    m_frames_available = static_cast<LONG>(n);
    m_read_offset = 0;
    m_pcm_frame = start_frame;
    return S_OK;
}

// The exported samples into the PCM buffer, little-endian; an export longer
// than asked keeps what was asked.
void QtMovieReader::keep_export(Handle handle, const SoundComponentData& format, unsigned long frames,
                                unsigned long offset, LONG asked)
{
    const LONG kept = static_cast<LONG>(std::min<unsigned long>(frames, static_cast<unsigned long>(asked)));
    const std::size_t length = static_cast<std::size_t>(kept) * m_wave_format.nBlockAlign;
    std::memcpy(m_pcm.data(), *handle + offset, length);
    const int width = m_wave_format.wBitsPerSample / 8;
    if (format.format != k16BitLittleEndianFormat && width > 1) swap_samples(m_pcm.data(), length, width);
    m_frames_available = kept;
    m_read_offset = 0;
}
