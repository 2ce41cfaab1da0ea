#pragma once
// qt::AvQuickTime: QuickTime's movie operations over libavformat,
// libavcodec, libswscale and libswresample (see the README for what each
// operation does here and what libavformat does not tell).

#include "outside/quicktime/QuickTime.h"

#include <map>
#include <string>

namespace qt {

class AvQuickTime final : public QuickTime {
public:
    AvQuickTime();
    ~AvQuickTime() override;

    OSErr InitializeQTML(long flags) override;
    void TerminateQTML() override;
    OSErr EnterMovies() override;
    void ExitMovies() override;

    OSErr NativePathNameToFSSpec(const char* path, FSSpec* spec, long flags) override;
    OSErr OpenMovieFile(const FSSpec* spec, std::int16_t* ref, std::int8_t permission) override;
    OSErr NewMovieFromFile(Movie* movie, std::int16_t ref, std::int16_t* res_id, std::int16_t flags) override;
    OSErr CloseMovieFile(std::int16_t ref) override;
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
    OSErr GetMoviesError() override;

    OSErr OpenADefaultComponent(OSType type, OSType subtype, ComponentInstance* component) override;
    OSErr MovieExportSetSampleDescription(MovieExportComponent exporter, SampleDescriptionHandle description,
                                          OSType media_type) override;
    OSErr CloseComponent(ComponentInstance component) override;
    OSErr PutMovieIntoTypedHandle(Movie movie, Track track, OSType handle_type, Handle handle, TimeValue start,
                                  TimeValue duration, long flags, ComponentInstance exporter) override;

private:
    OSErr set_error(OSErr err);

    std::map<std::int16_t, std::string> m_files;   // open movie files by reference
    std::int16_t m_next_ref = 1;
    OSErr m_error = noErr;                          // the last movie error
};

}
