#pragma once
// qt::ScriptedQuickTime: a QuickTime back end for tests that plays one made-up
// movie and fails where the test tells it to: start-up, graphics worlds, the
// exporter, and each sound export in turn.
//
// Pictures: every byte of row r of a world holds r (mod 256), so copies and
// flips can be checked. Sound: sample (frame f, channel c) is
// scripted_sample(f, c, bits), in the byte order of the script's format;
// exports count their range in frames, as the reader asks for them once it
// has set the movie's time scale to the sample rate.

#include "outside/quicktime/QuickTime.h"

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace qt {

struct ScriptedSound {
    OSType format;          // "twos", "sowt", "raw ", "in24", "in32"
    int channels;
    int bits;
    UnsignedFixed rate;     // 16.16
    TimeValue frames;       // the track's duration in frames
    UnsignedFixed export_rate = 0;   // the rate exported handles state; 0: `rate`
};

struct ScriptedVideo {
    int width, height, depth;
    TimeValue frame_length;   // in the movie's time scale
    int frames;
};

struct ScriptedMovie {
    TimeScale time_scale = 600;
    std::optional<ScriptedSound> sound;
    std::optional<ScriptedVideo> video;
};

// The sample value the script's sound holds, as a signed number of `bits`
// bits (8-bit sound is offset binary: the value plus 128).
std::int32_t scripted_sample(std::int64_t frame, int channel, int bits);

class ScriptedQuickTime final : public QuickTime {
public:
    explicit ScriptedQuickTime(ScriptedMovie movie) : m_script(std::move(movie)) {}

    // The script's failures.
    OSErr initialize_error = noErr;
    OSErr enter_error = noErr;
    OSErr gworld_error = noErr;
    OSErr exporter_error = noErr;
    std::deque<OSErr> export_errors;   // the next exports answer these, one each, before any succeeds
    int export_calls = 0;              // what the exports were asked
    // Starts minus stops of QuickTime and the movie toolbox; shared, so a test
    // can read it after the reader that owned this back end is gone.
    std::shared_ptr<int> started = std::make_shared<int>(0);

    OSErr InitializeQTML(long flags) override;
    void TerminateQTML() override { --*started; }
    OSErr EnterMovies() override;
    void ExitMovies() override { --*started; }

    OSErr NativePathNameToFSSpec(const char* path, FSSpec* spec, long flags) override;
    OSErr OpenMovieFile(const FSSpec* spec, std::int16_t* ref, std::int8_t permission) override;
    OSErr NewMovieFromFile(Movie* movie, std::int16_t ref, std::int16_t* res_id, std::int16_t flags) override;
    OSErr CloseMovieFile(std::int16_t) override { return noErr; }
    void DisposeMovie(Movie movie) override;

    Track GetMovieIndTrackType(Movie movie, long index, OSType type, long flags) override;
    Media GetTrackMedia(Track track) override;
    void GetMediaSampleDescription(Media media, long index, SampleDescriptionHandle description) override;

    TimeScale GetMovieTimeScale(Movie movie) override;
    void SetMovieTimeScale(Movie movie, TimeScale scale) override;
    TimeValue GetMovieDuration(Movie movie) override;
    TimeValue GetTrackDuration(Track track) override;
    void SetMovieBox(Movie movie, const Rect* box) override;
    void GetMovieBox(Movie movie, Rect* box) override;
    void GetMovieNextInterestingTime(Movie movie, std::int16_t flags, std::int16_t type_count, const OSType* types,
                                     TimeValue time, Fixed rate, TimeValue* interesting_time,
                                     TimeValue* duration) override;

    OSErr QTNewGWorld(GWorldPtr* world, OSType pixel_format, const Rect* bounds) override;
    void SetMovieGWorld(Movie movie, GWorldPtr world) override;

    void SetMovieTimeValue(Movie movie, TimeValue time) override;
    OSErr UpdateMovie(Movie movie) override;
    void MoviesTask(Movie movie, long max_milliseconds) override;
    OSErr GetMoviesError() override { return noErr; }

    OSErr OpenADefaultComponent(OSType type, OSType subtype, ComponentInstance* component) override;
    OSErr MovieExportSetSampleDescription(MovieExportComponent exporter, SampleDescriptionHandle description,
                                          OSType media_type) override;
    OSErr CloseComponent(ComponentInstance component) override;
    OSErr PutMovieIntoTypedHandle(Movie movie, Track track, OSType handle_type, Handle handle, TimeValue start,
                                  TimeValue duration, long flags, ComponentInstance exporter) override;

private:
    const ScriptedMovie m_script;
};

}
