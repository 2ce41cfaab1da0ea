#include "outside/quicktime/testing/ScriptedQuickTime.h"

#include "outside/quicktime/GWorld.h"
#include "outside/quicktime/Handles.h"
#include "outside/quicktime/SoundHeader.h"

#include <algorithm>
#include <cstring>

namespace qt {
namespace {

struct ScriptedMovieRecord;

struct ScriptedTrack final : TrackRecord, MediaRecord {
    OSType media_type;
    ScriptedMovieRecord* movie;
};

struct ScriptedMovieRecord final : MovieRecord {
    ScriptedTrack sound, video;
    TimeScale scale;
    TimeValue time = 0;
    Rect box{};
    GWorldPtr world = nullptr;
    bool needs_drawing = false;
};

ScriptedMovieRecord* movie_of(Movie movie) { return static_cast<ScriptedMovieRecord*>(movie); }

struct ScriptedExporter final : ComponentRecord {};

// Converts between the script's own scale and the movie's current one.
TimeValue rescale(std::int64_t value, TimeScale to, TimeScale from) { return static_cast<TimeValue>(value * to / from); }

}

std::int32_t scripted_sample(std::int64_t frame, int channel, int bits)
{
    // Distinct bytes in every position, so a wrong swap shows.
    const std::uint32_t pattern = static_cast<std::uint32_t>(frame) * 0x010203u + static_cast<std::uint32_t>(channel) * 0x40302010u + 0x11223344u;
    const int shift = 32 - bits;
    return static_cast<std::int32_t>(pattern << shift) >> shift;
}

OSErr ScriptedQuickTime::InitializeQTML(long)
{
    if (initialize_error == noErr) ++*started;
    return initialize_error;
}

OSErr ScriptedQuickTime::EnterMovies()
{
    if (enter_error == noErr) ++*started;
    return enter_error;
}

OSErr ScriptedQuickTime::NativePathNameToFSSpec(const char* path, FSSpec* spec, long)
{
    std::strncpy(spec->path, path, sizeof spec->path - 1);
    spec->path[sizeof spec->path - 1] = 0;
    return noErr;
}

OSErr ScriptedQuickTime::OpenMovieFile(const FSSpec*, std::int16_t* ref, std::int8_t)
{
    *ref = 1;
    return noErr;
}

OSErr ScriptedQuickTime::NewMovieFromFile(Movie* movie, std::int16_t, std::int16_t*, std::int16_t)
{
    auto* made = new ScriptedMovieRecord();
    made->sound.media_type = SoundMediaType;
    made->sound.movie = made;
    made->video.media_type = VideoMediaType;
    made->video.movie = made;
    made->scale = m_script.time_scale;
    *movie = made;
    return noErr;
}

void ScriptedQuickTime::DisposeMovie(Movie movie) { delete movie_of(movie); }

Track ScriptedQuickTime::GetMovieIndTrackType(Movie movie, long index, OSType type, long)
{
    if (index != 1) return nullptr;
    if (type == AudioMediaCharacteristic && m_script.sound) return &movie_of(movie)->sound;
    if (type == VideoMediaType && m_script.video) return &movie_of(movie)->video;
    return nullptr;
}

Media ScriptedQuickTime::GetTrackMedia(Track track) { return static_cast<ScriptedTrack*>(track); }

void ScriptedQuickTime::GetMediaSampleDescription(Media media, long, SampleDescriptionHandle description)
{
    if (static_cast<ScriptedTrack*>(media)->media_type == SoundMediaType) {
        SoundDescription d{};
        d.descSize = sizeof d;
        d.dataFormat = m_script.sound->format;
        d.numChannels = static_cast<std::int16_t>(m_script.sound->channels);
        d.sampleSize = static_cast<std::int16_t>(m_script.sound->bits);
        d.sampleRate = m_script.sound->rate;
        SetHandleSize(description, sizeof d);
        std::memcpy(*description, &d, sizeof d);
        return;
    }
    const ImageDescription d{sizeof(ImageDescription), fourcc("rle "), static_cast<std::int16_t>(m_script.video->width),
                             static_cast<std::int16_t>(m_script.video->height),
                             static_cast<std::int16_t>(m_script.video->depth)};
    SetHandleSize(description, sizeof d);
    std::memcpy(*description, &d, sizeof d);
}

TimeScale ScriptedQuickTime::GetMovieTimeScale(Movie movie) { return movie_of(movie)->scale; }

void ScriptedQuickTime::SetMovieTimeScale(Movie movie, TimeScale scale)
{
    auto* m = movie_of(movie);
    m->time = rescale(m->time, scale, m->scale);
    m->scale = scale;
}

TimeValue ScriptedQuickTime::GetMovieDuration(Movie movie)
{
    const auto* m = movie_of(movie);
    std::int64_t in_script = 0;
    if (m_script.video) in_script = static_cast<std::int64_t>(m_script.video->frame_length) * m_script.video->frames;
    if (m_script.sound && (m_script.sound->rate >> 16) > 0)
        in_script = std::max<std::int64_t>(
            in_script, std::int64_t{m_script.sound->frames} * m_script.time_scale / (m_script.sound->rate >> 16));
    return rescale(in_script, m->scale, m_script.time_scale);
}

TimeValue ScriptedQuickTime::GetTrackDuration(Track track)
{
    auto* t = static_cast<ScriptedTrack*>(track);
    if (t->media_type == SoundMediaType) return rescale(m_script.sound->frames, t->movie->scale, m_script.sound->rate >> 16);
    return rescale(std::int64_t{m_script.video->frame_length} * m_script.video->frames, t->movie->scale, m_script.time_scale);
}

void ScriptedQuickTime::SetMovieBox(Movie movie, const Rect* box) { movie_of(movie)->box = *box; }
void ScriptedQuickTime::GetMovieBox(Movie movie, Rect* box) { *box = movie_of(movie)->box; }

void ScriptedQuickTime::GetMovieNextInterestingTime(Movie movie, std::int16_t flags, std::int16_t, const OSType*,
                                                    TimeValue time, Fixed, TimeValue* interesting_time,
                                                    TimeValue* duration)
{
    const auto* m = movie_of(movie);
    *interesting_time = -1;
    if (!m_script.video) return;
    const std::int64_t length = m_script.video->frame_length;
    const std::int64_t in_script = std::int64_t{time} * m_script.time_scale / m->scale;
    std::int64_t frame = (flags & nextTimeEdgeOK) ? (in_script + length - 1) / length : in_script / length + 1;
    if (in_script < 0) frame = 0;
    if (frame >= m_script.video->frames) return;
    *interesting_time = rescale(frame * length, m->scale, m_script.time_scale);
    if (duration) *duration = rescale(length, m->scale, m_script.time_scale);
}

OSErr ScriptedQuickTime::QTNewGWorld(GWorldPtr* world, OSType pixel_format, const Rect* bounds)
{
    *world = nullptr;
    if (gworld_error != noErr) return gworld_error;
    return make_gworld(world, pixel_format, *bounds);
}

void ScriptedQuickTime::SetMovieGWorld(Movie movie, GWorldPtr world) { movie_of(movie)->world = world; }
void ScriptedQuickTime::SetMovieTimeValue(Movie movie, TimeValue time) { movie_of(movie)->time = time; }

OSErr ScriptedQuickTime::UpdateMovie(Movie movie)
{
    movie_of(movie)->needs_drawing = true;
    return noErr;
}

void ScriptedQuickTime::MoviesTask(Movie movie, long)
{
    auto* m = movie_of(movie);
    if (!m->needs_drawing || !m->world) return;
    m->needs_drawing = false;
    GWorldRecord& world = *m->world;
    for (long row = 0; row < world.bounds.bottom - world.bounds.top; ++row)
        std::memset(world.pixels.data() + row * world.row_bytes, static_cast<int>(row & 0xFF), world.row_bytes);
}

OSErr ScriptedQuickTime::OpenADefaultComponent(OSType, OSType, ComponentInstance* component)
{
    *component = exporter_error == noErr ? new ScriptedExporter() : nullptr;
    return exporter_error;
}

OSErr ScriptedQuickTime::MovieExportSetSampleDescription(MovieExportComponent, SampleDescriptionHandle, OSType)
{
    return noErr;
}

OSErr ScriptedQuickTime::CloseComponent(ComponentInstance component)
{
    delete component;
    return noErr;
}

OSErr ScriptedQuickTime::PutMovieIntoTypedHandle(Movie, Track, OSType, Handle handle, TimeValue start,
                                                 TimeValue duration, long, ComponentInstance)
{
    ++export_calls;
    if (!export_errors.empty()) {
        const OSErr err = export_errors.front();
        export_errors.pop_front();
        if (err != noErr) return err;
    }
    const ScriptedSound& s = *m_script.sound;
    const TimeValue frames = std::max<TimeValue>(0, std::min(duration, s.frames - start));
    const int width = s.bits / 8;
    const bool little = s.format == k16BitLittleEndianFormat;
    std::vector<char> samples(static_cast<std::size_t>(frames) * s.channels * width);
    for (TimeValue f = 0; f < frames; ++f)
        for (int c = 0; c < s.channels; ++c) {
            std::uint32_t value = static_cast<std::uint32_t>(scripted_sample(start + f, c, s.bits));
            if (s.bits == 8) value += 128;
            char* at = samples.data() + (static_cast<std::size_t>(f) * s.channels + c) * width;
            for (int b = 0; b < width; ++b) at[b] = static_cast<char>(value >> (8 * (little ? b : width - 1 - b)));
        }
    const SoundComponentData format{0, s.format, static_cast<std::int16_t>(s.channels), static_cast<std::int16_t>(s.bits),
                                    s.export_rate ? s.export_rate : s.rate, frames};
    return put_sound(handle, format, samples);
}

}
