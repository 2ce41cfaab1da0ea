#pragma once
// QtMovieReader: one QuickTime movie for the source filter. It opens the
// movie through our QuickTime layer, finds its first enabled sound and video
// tracks, renders frames into an offscreen world in the pixel format the
// video pin negotiated, and exports the sound as PCM.
//
// Both pins' workers call it: every call that touches the movie takes the
// reader lock, because frames and sound each set the movie's time scale
// before they position or export.

#include "platform/base/WaveFormat.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/MediaFormats.h"
#include "outside/quicktime/QuickTimeTypes.h"

#include <array>
#include <memory>
#include <vector>

namespace qt {
class QuickTime;
}

// The picture formats of the video pin.
enum class PixelKind { YUY2, RGB32, RGB24, RGB565, RGB555 };

// A rendered frame: the world's pixels, top row first, valid until the next render.
struct RenderedFrame {
    REFERENCE_TIME time;
    REFERENCE_TIME duration;
    const BYTE* pixels;
    long row_bytes;
};

class QtMovieReader {
public:
    // Starts QuickTime and its movie toolbox through the back end given.
    explicit QtMovieReader(std::unique_ptr<qt::QuickTime> quicktime);
    ~QtMovieReader();
    QtMovieReader(const QtMovieReader&) = delete;
    QtMovieReader& operator=(const QtMovieReader&) = delete;

    // E_UNEXPECTED when QuickTime did not start; E_FAIL when the file is no
    // movie or has neither an enabled sound nor an enabled video track.
    HRESULT open(const char* path);

    bool has_video() const { return m_video != nullptr; }
    bool has_sound() const { return m_sound != nullptr; }

    void set_pixel_format(PixelKind kind);
    LONG width() const { return m_width; }
    LONG height() const { return m_height; }
    bool deep() const { return m_deep; }
    REFERENCE_TIME frame_duration() const { return m_frame_duration; }
    const VIDEOINFOHEADER& default_video_info() const { return m_video_info; }
    const WAVEFORMATEX& wave_format() const { return m_wave_format; }
    // The movie's duration in 100-nanosecond units.
    REFERENCE_TIME duration() const;

    // The first frame at or after `time`: S_OK, S_FALSE when there is none
    // (or no world can be made), E_FAIL when the picture cannot be drawn.
    HRESULT render_frame(REFERENCE_TIME time, RenderedFrame& frame);

    // Sets up the sound export once; E_FAIL when it cannot be made.
    HRESULT set_up_sound();
    // Frames the export delivers at a time (the audio pin's seek granule); 0
    // until the sound is set up.
    LONG frames_per_read() const { return m_frames_per_read; }
    // Up to `count` frames from `start_frame`: `count` becomes what `data`
    // holds. S_FALSE at the end of the sound; E_FAIL without a sound track.
    HRESULT read_sound(LONGLONG start_frame, LONG& count, const BYTE*& data);

private:
    void read_tracks();
    void read_sound_track();
    void read_video_track();
    void find_frame_duration();
    HRESULT make_world();
    HRESULT probe_export();
    HRESULT fill_pcm(LONGLONG start_frame);
    void keep_export(qt::Handle handle, const qt::SoundComponentData& format, unsigned long frames,
                     unsigned long offset, LONG asked);

    const std::unique_ptr<qt::QuickTime> m_qt;
    bool m_qtml_started = false;
    bool m_movies_started = false;

    CCritSec m_lock;   // the reader lock: every call below that reaches the movie holds it
    std::int16_t m_file = 0;
    qt::Movie m_movie = nullptr;
    qt::Track m_sound = nullptr;
    qt::Track m_video = nullptr;
    qt::GWorldPtr m_world = nullptr;        // made on the first frame; gone after a format change
    qt::OSType m_pixel_format = qt::kYUVSPixelFormat;
    qt::ComponentInstance m_exporter = nullptr;
    std::array<qt::Handle, 8> m_handles{};  // rotating sound handles
    bool m_sound_set_up = false;

    LONG m_width = 0, m_height = 0;
    bool m_deep = false;
    VIDEOINFOHEADER m_video_info{};
    REFERENCE_TIME m_frame_duration = 0;
    qt::SoundDescription m_sound_description{};
    WAVEFORMATEX m_wave_format{};

    qt::TimeScale m_movie_scale = 0;     // the movie's own
    qt::TimeScale m_scale = 0;           // the reader's: the sample rate with sound, else the movie's
    LONGLONG m_sound_duration = 0;       // in frames
    LONGLONG m_duration = 0;             // in the reader's time scale

    LONG m_frames_per_read = 0;
    std::vector<BYTE> m_pcm;
    LONG m_frames_available = 0;
    std::size_t m_read_offset = 0;
    LONGLONG m_pcm_frame = 0;            // the frame at m_read_offset
};
