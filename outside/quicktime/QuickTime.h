#pragma once
// qt::QuickTime: the QuickTime operations the movie reader calls, behind one
// interface with two back ends: AvQuickTime over libavformat, libavcodec,
// libswscale and libswresample, and the scripted one of the tests
// (testing/ScriptedQuickTime.h) that fails where a test tells it to.
//
// One instance serves one reader: the instance holds the started state, the
// open files and the last movie error. Its caller serialises every call (the
// reader makes them under its lock).
//
// Handles, graphics worlds and sound headers are the same for every back end:
// Handles.h, GWorld.h and SoundHeader.h.

#include "outside/quicktime/QuickTimeTypes.h"

namespace qt {

// What each back end's movies, tracks, media and components derive from.
struct MovieRecord {
    virtual ~MovieRecord() = default;
};
struct TrackRecord {
    virtual ~TrackRecord() = default;
};
struct MediaRecord {
    virtual ~MediaRecord() = default;
};
struct ComponentRecord {
    virtual ~ComponentRecord() = default;
};

class QuickTime {
public:
    virtual ~QuickTime() = default;

    // Start-up; the stops undo a start that succeeded.
    virtual OSErr InitializeQTML(long flags) = 0;
    virtual void TerminateQTML() = 0;
    virtual OSErr EnterMovies() = 0;
    virtual void ExitMovies() = 0;

    // Files.
    virtual OSErr NativePathNameToFSSpec(const char* path, FSSpec* spec, long flags) = 0;
    virtual OSErr OpenMovieFile(const FSSpec* spec, std::int16_t* ref, std::int8_t permission) = 0;
    virtual OSErr NewMovieFromFile(Movie* movie, std::int16_t ref, std::int16_t* res_id, std::int16_t flags) = 0;
    virtual OSErr CloseMovieFile(std::int16_t ref) = 0;
    virtual void DisposeMovie(Movie movie) = 0;

    // Tracks: the index-th (from 1) track of a media type or characteristic; null when none.
    virtual Track GetMovieIndTrackType(Movie movie, long index, OSType type, long flags) = 0;
    virtual Media GetTrackMedia(Track track) = 0;
    // Resizes the handle to the description (SoundDescription or ImageDescription).
    virtual void GetMediaSampleDescription(Media media, long index, SampleDescriptionHandle description) = 0;

    // Time and box. Movie times count in the movie's time scale.
    virtual TimeScale GetMovieTimeScale(Movie movie) = 0;
    virtual void SetMovieTimeScale(Movie movie, TimeScale scale) = 0;
    virtual TimeValue GetMovieDuration(Movie movie) = 0;
    virtual TimeValue GetTrackDuration(Track track) = 0;
    virtual void SetMovieBox(Movie movie, const Rect* box) = 0;
    virtual void GetMovieBox(Movie movie, Rect* box) = 0;
    // The next sample of the given media types after `time` (at it too with
    // nextTimeEdgeOK); -1 when there is none.
    virtual void GetMovieNextInterestingTime(Movie movie, std::int16_t flags, std::int16_t type_count,
                                             const OSType* types, TimeValue time, Fixed rate,
                                             TimeValue* interesting_time, TimeValue* duration) = 0;

    // The offscreen world; the rest of its calls are in GWorld.h.
    virtual OSErr QTNewGWorld(GWorldPtr* world, OSType pixel_format, const Rect* bounds) = 0;
    virtual void SetMovieGWorld(Movie movie, GWorldPtr world) = 0;

    // Showing a frame: UpdateMovie and MoviesTask draw the picture at the
    // movie's time into its world; GetMoviesError tells how the last call went.
    virtual void SetMovieTimeValue(Movie movie, TimeValue time) = 0;
    virtual OSErr UpdateMovie(Movie movie) = 0;
    virtual void MoviesTask(Movie movie, long max_milliseconds) = 0;
    virtual OSErr GetMoviesError() = 0;

    // Sound export: a "snd " handle (SoundHeader.h) of a time range of a
    // sound track, in the sample description given to the exporter.
    virtual OSErr OpenADefaultComponent(OSType type, OSType subtype, ComponentInstance* component) = 0;
    virtual OSErr MovieExportSetSampleDescription(MovieExportComponent exporter, SampleDescriptionHandle description,
                                                  OSType media_type) = 0;
    virtual OSErr CloseComponent(ComponentInstance component) = 0;
    virtual OSErr PutMovieIntoTypedHandle(Movie movie, Track track, OSType handle_type, Handle handle, TimeValue start,
                                          TimeValue duration, long flags, ComponentInstance exporter) = 0;
};

}
