#include "outside/quicktime/AvQuickTime.h"

#include "outside/quicktime/AvSoundTrack.h"
#include "outside/quicktime/AvVideoTrack.h"
#include "outside/quicktime/GWorld.h"
#include "outside/quicktime/Handles.h"
#include "outside/quicktime/MovieHeader.h"
#include "outside/quicktime/SoundHeader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace qt {
namespace {

// QuickTime's default movie time scale.
constexpr TimeScale default_time_scale = 600;

struct AvMovie;

struct AvTrack final : TrackRecord, MediaRecord {
    AvMovie* movie;
    int stream;
    OSType media_type;
    bool enabled;
    AVRational time_base;
    std::int64_t duration;             // in time_base; AV_NOPTS_VALUE when unknown
    std::vector<char> description;     // a SoundDescription or an ImageDescription
};

struct AvMovie final : MovieRecord {
    std::string path;
    std::vector<std::unique_ptr<AvTrack>> tracks;
    TimeScale scale = default_time_scale;
    std::int64_t duration = 0;
    AVRational duration_base{1, AV_TIME_BASE};
    TimeValue time = 0;
    Rect box{};
    GWorldPtr world = nullptr;                // not owned
    std::unique_ptr<AvVideoTrack> video;      // the first enabled video track's pictures
    AvTrack* video_track = nullptr;
    bool needs_drawing = false;

    TimeValue to_movie_time(std::int64_t t, AVRational time_base) const
    {
        return static_cast<TimeValue>(av_rescale_q(t, time_base, AVRational{1, scale}));
    }
    TimeValue track_end() const
    {
        if (video_track->duration != AV_NOPTS_VALUE) return to_movie_time(video_track->duration, video_track->time_base);
        return to_movie_time(duration, duration_base);
    }
};

struct AvExporter final : ComponentRecord {
    std::optional<SoundDescription> description;
    const AvTrack* track = nullptr;
    std::unique_ptr<AvSoundTrack> sound;   // for `track`
};

AvMovie* movie_of(Movie movie) { return static_cast<AvMovie*>(movie); }
AvTrack* track_of(Track track) { return static_cast<AvTrack*>(track); }

struct FormatClose {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

template <class Description>
std::vector<char> bytes_of(const Description& d)
{
    std::vector<char> out(sizeof d);
    std::memcpy(out.data(), &d, sizeof d);
    return out;
}

std::vector<char> sound_description(const AVCodecParameters& p)
{
    SoundDescription d{};
    d.descSize = sizeof d;
    d.dataFormat = p.codec_tag ? __builtin_bswap32(p.codec_tag) : fourcc("NONE");
    d.numChannels = static_cast<std::int16_t>(p.ch_layout.nb_channels);
    const int bits = av_get_bits_per_sample(p.codec_id);
    d.sampleSize = static_cast<std::int16_t>(bits > 0 ? bits : 16);
    // A 16.16 rate cannot hold 64 kHz or more: such sound has no rate here.
    d.sampleRate = p.sample_rate > 0 && p.sample_rate <= 0xFFFF ? static_cast<UnsignedFixed>(p.sample_rate) << 16 : 0;
    return bytes_of(d);
}

std::vector<char> image_description(const AVCodecParameters& p)
{
    ImageDescription d{};
    d.idSize = sizeof d;
    d.cType = __builtin_bswap32(p.codec_tag);
    d.width = static_cast<std::int16_t>(std::clamp(p.width, 0, 0x7FFF));
    d.height = static_cast<std::int16_t>(std::clamp(p.height, 0, 0x7FFF));
    d.depth = static_cast<std::int16_t>(p.bits_per_coded_sample > 0 ? p.bits_per_coded_sample : 24);
    return bytes_of(d);
}

// libavformat's index of the stream, in the order its samples are shown. The
// index holds decoding times; a sample is shown its composition offset later
// (and the index's times were moved back by the offsets' shift).
std::vector<VideoSample> samples_of(const AVStream& stream, const CompositionOffsets* composition)
{
    std::vector<VideoSample> samples;
    const int count = avformat_index_get_entries_count(&stream);
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(const_cast<AVStream*>(&stream), i);
        if (entry->flags & AVINDEX_DISCARD_FRAME) continue;
        const std::int64_t shown =
            composition ? entry->timestamp + composition->shift + composition->at(entry->pos) : entry->timestamp;
        samples.push_back({shown, entry->timestamp, (entry->flags & AVINDEX_KEYFRAME) != 0});
    }
    std::stable_sort(samples.begin(), samples.end(), [](auto& a, auto& b) { return a.time < b.time; });
    return samples;
}

const CompositionOffsets* composition_of(const AVStream& stream, const std::optional<MovieHeader>& header)
{
    if (!header) return nullptr;
    const auto found = header->composition.find(static_cast<std::uint32_t>(stream.id));
    return found == header->composition.end() ? nullptr : &found->second;
}

// The track header's enabled flag (libavformat gives a stream its track's
// id); without a header, libavformat's default mark, which follows that flag.
bool is_enabled(const AVStream& stream, const std::optional<MovieHeader>& header)
{
    if (header) {
        const auto said = header->enabled.find(static_cast<std::uint32_t>(stream.id));
        if (said != header->enabled.end()) return said->second;
    }
    return (stream.disposition & AV_DISPOSITION_DEFAULT) != 0;
}

OSType output_format(const SoundLayout& layout)
{
    switch (layout.bits) {
    case 8: return k8BitOffsetBinaryFormat;
    case 16: return layout.little_endian ? k16BitLittleEndianFormat : k16BitBigEndianFormat;
    case 24: return fourcc("in24");
    default: return fourcc("in32");
    }
}

}

AvQuickTime::AvQuickTime() = default;
AvQuickTime::~AvQuickTime() = default;

OSErr AvQuickTime::set_error(OSErr err) { return m_error = err; }

OSErr AvQuickTime::InitializeQTML(long) { return noErr; }
void AvQuickTime::TerminateQTML() {}
OSErr AvQuickTime::EnterMovies() { return noErr; }
void AvQuickTime::ExitMovies() {}

OSErr AvQuickTime::NativePathNameToFSSpec(const char* path, FSSpec* spec, long)
{
    if (path == nullptr || std::strlen(path) >= sizeof spec->path) return set_error(fnfErr);
    std::strcpy(spec->path, path);
    return set_error(::access(path, F_OK) == 0 ? noErr : fnfErr);
}

OSErr AvQuickTime::OpenMovieFile(const FSSpec* spec, std::int16_t* ref, std::int8_t permission)
{
    if (::access(spec->path, permission == fsRdWrPerm ? R_OK | W_OK : R_OK) != 0) return set_error(permErr);
    *ref = m_next_ref++;
    m_files[*ref] = spec->path;
    return set_error(noErr);
}

OSErr AvQuickTime::NewMovieFromFile(Movie* movie, std::int16_t ref, std::int16_t* res_id, std::int16_t)
{
    *movie = nullptr;
    if (res_id) *res_id = 0;
    const auto file = m_files.find(ref);
    if (file == m_files.end()) return set_error(invalidMovie);
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, file->second.c_str(), nullptr, nullptr) < 0) return set_error(invalidMovie);
    const std::unique_ptr<AVFormatContext, FormatClose> format(opened);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) return set_error(invalidMovie);

    auto made = std::make_unique<AvMovie>();
    made->path = file->second;
    made->duration = format->duration == AV_NOPTS_VALUE ? 0 : format->duration;
    const std::optional<MovieHeader> header = read_movie_header(made->path);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        const AVCodecParameters& p = *stream.codecpar;
        if (p.codec_type != AVMEDIA_TYPE_VIDEO && p.codec_type != AVMEDIA_TYPE_AUDIO) continue;
        const bool video = p.codec_type == AVMEDIA_TYPE_VIDEO;
        auto track = std::make_unique<AvTrack>();
        track->movie = made.get();
        track->stream = static_cast<int>(i);
        track->media_type = video ? VideoMediaType : SoundMediaType;
        track->enabled = is_enabled(stream, header);
        track->time_base = stream.time_base;
        track->duration = stream.duration;
        track->description = video ? image_description(p) : sound_description(p);
        if (video && track->enabled && !made->video_track) {
            // Without a movie header, the first video track's time scale stands for the movie's.
            if (!header && stream.time_base.num == 1 && stream.time_base.den > 0) made->scale = stream.time_base.den;
            made->video_track = track.get();
            made->video =
                std::make_unique<AvVideoTrack>(made->path, track->stream, samples_of(stream, composition_of(stream, header)));
        }
        made->tracks.push_back(std::move(track));
    }
    if (made->tracks.empty()) return set_error(invalidMovie);
    if (header) {
        made->scale = header->time_scale;
        made->duration = header->duration;
        made->duration_base = AVRational{1, header->time_scale};
    }
    *movie = made.release();
    return set_error(noErr);
}

OSErr AvQuickTime::CloseMovieFile(std::int16_t ref) { return set_error(m_files.erase(ref) ? noErr : fnfErr); }

void AvQuickTime::DisposeMovie(Movie movie) { delete movie_of(movie); }

Track AvQuickTime::GetMovieIndTrackType(Movie movie, long index, OSType type, long flags)
{
    for (const auto& track : movie_of(movie)->tracks) {
        if ((flags & movieTrackEnabledOnly) && !track->enabled) continue;
        const bool matches = (flags & movieTrackCharacteristic)
                                 ? type == AudioMediaCharacteristic && track->media_type == SoundMediaType
                                 : track->media_type == type;
        if (matches && --index == 0) return track.get();
    }
    return nullptr;
}

Media AvQuickTime::GetTrackMedia(Track track) { return track_of(track); }

void AvQuickTime::GetMediaSampleDescription(Media media, long, SampleDescriptionHandle description)
{
    const auto& bytes = static_cast<AvTrack*>(media)->description;
    if (set_error(SetHandleSize(description, static_cast<long>(bytes.size()))) == noErr)
        std::memcpy(*description, bytes.data(), bytes.size());
}

TimeScale AvQuickTime::GetMovieTimeScale(Movie movie) { return movie_of(movie)->scale; }

void AvQuickTime::SetMovieTimeScale(Movie movie, TimeScale scale)
{
    AvMovie* m = movie_of(movie);
    if (scale <= 0) return;
    m->time = static_cast<TimeValue>(av_rescale(m->time, scale, m->scale));
    m->scale = scale;
}

TimeValue AvQuickTime::GetMovieDuration(Movie movie)
{
    const AvMovie* m = movie_of(movie);
    return m->to_movie_time(m->duration, m->duration_base);
}

TimeValue AvQuickTime::GetTrackDuration(Track track)
{
    const AvTrack* t = track_of(track);
    if (t->duration == AV_NOPTS_VALUE) return GetMovieDuration(t->movie);
    return t->movie->to_movie_time(t->duration, t->time_base);
}

void AvQuickTime::SetMovieBox(Movie movie, const Rect* box) { movie_of(movie)->box = *box; }
void AvQuickTime::GetMovieBox(Movie movie, Rect* box) { *box = movie_of(movie)->box; }

void AvQuickTime::GetMovieNextInterestingTime(Movie movie, std::int16_t flags, std::int16_t type_count,
                                              const OSType* types, TimeValue time, Fixed, TimeValue* interesting_time,
                                              TimeValue* duration)
{
    const AvMovie* m = movie_of(movie);
    *interesting_time = -1;
    if (duration) *duration = 0;
    const bool video_asked = std::find(types, types + type_count, VideoMediaType) != types + type_count;
    if (!video_asked || !m->video || !(flags & nextTimeMediaSample)) return;
    const auto& samples = m->video->samples();
    const AVRational tb = m->video_track->time_base;
    const bool at_time_too = flags & nextTimeEdgeOK;
    const auto found = std::partition_point(samples.begin(), samples.end(), [&](const VideoSample& s) {
        const TimeValue t = m->to_movie_time(s.time, tb);
        return at_time_too ? t < time : t <= time;
    });
    if (found == samples.end()) return;
    *interesting_time = m->to_movie_time(found->time, tb);
    const TimeValue end = found + 1 == samples.end() ? m->track_end() : m->to_movie_time((found + 1)->time, tb);
    if (duration) *duration = std::max<TimeValue>(end - *interesting_time, 0);
}

OSErr AvQuickTime::QTNewGWorld(GWorldPtr* world, OSType pixel_format, const Rect* bounds)
{
    return set_error(make_gworld(world, pixel_format, *bounds));
}

void AvQuickTime::SetMovieGWorld(Movie movie, GWorldPtr world) { movie_of(movie)->world = world; }

void AvQuickTime::SetMovieTimeValue(Movie movie, TimeValue time) { movie_of(movie)->time = time; }

OSErr AvQuickTime::UpdateMovie(Movie movie)
{
    movie_of(movie)->needs_drawing = true;
    return set_error(noErr);
}

// Draws the sample shown at the movie's time.
void AvQuickTime::MoviesTask(Movie movie, long)
{
    AvMovie* m = movie_of(movie);
    if (!m->needs_drawing || !m->video || !m->world) return;
    m->needs_drawing = false;
    const auto& samples = m->video->samples();
    const AVRational tb = m->video_track->time_base;
    const auto after = std::partition_point(samples.begin(), samples.end(), [&](const VideoSample& s) {
        return m->to_movie_time(s.time, tb) <= m->time;
    });
    const std::size_t shown = after == samples.begin() ? 0 : static_cast<std::size_t>(after - samples.begin() - 1);
    set_error(m->video->draw(shown, *m->world) ? noErr : notEnoughDataErr);
}

OSErr AvQuickTime::GetMoviesError() { return m_error; }

OSErr AvQuickTime::OpenADefaultComponent(OSType type, OSType subtype, ComponentInstance* component)
{
    *component = nullptr;
    if (type != MovieExportType || subtype != SoundResourceType) return set_error(badComponentType);
    *component = new AvExporter();
    return set_error(noErr);
}

OSErr AvQuickTime::MovieExportSetSampleDescription(MovieExportComponent exporter, SampleDescriptionHandle description,
                                                   OSType media_type)
{
    if (media_type != SoundMediaType || GetHandleSize(description) < static_cast<long>(sizeof(SoundDescription)))
        return set_error(badFormat);
    SoundDescription d;
    std::memcpy(&d, *description, sizeof d);
    static_cast<AvExporter*>(exporter)->description = d;
    return set_error(noErr);
}

OSErr AvQuickTime::CloseComponent(ComponentInstance component)
{
    delete component;
    return noErr;
}

OSErr AvQuickTime::PutMovieIntoTypedHandle(Movie movie, Track track, OSType handle_type, Handle handle,
                                           TimeValue start, TimeValue duration, long, ComponentInstance exporter)
{
    auto* e = static_cast<AvExporter*>(exporter);
    const AvTrack* t = track_of(track);
    if (handle_type != SoundResourceType || !e->description || t->media_type != SoundMediaType) return set_error(badFormat);
    const SoundDescription& d = *e->description;
    if (d.sampleSize != 8 && d.sampleSize != 16 && d.sampleSize != 24 && d.sampleSize != 32) return set_error(badFormat);
    const int track_rate = static_cast<int>(reinterpret_cast<const SoundDescription*>(t->description.data())->sampleRate >> 16);
    const SoundLayout layout{d.numChannels, d.sampleSize, d.sampleRate ? static_cast<int>(d.sampleRate >> 16) : track_rate,
                             d.dataFormat == k16BitLittleEndianFormat && d.sampleSize == 16};
    if (layout.channels <= 0 || layout.rate <= 0) return set_error(badFormat);
    if (start < 0 || duration < 0 || start >= GetTrackDuration(track)) return set_error(invalidDuration);

    if (e->track != t || !e->sound) {
        e->sound = std::make_unique<AvSoundTrack>(movie_of(movie)->path, t->stream);
        e->track = t;
    }
    const TimeScale scale = movie_of(movie)->scale;
    std::vector<char> samples;
    if (!e->sound->read(layout, av_rescale(start, layout.rate, scale), av_rescale(duration, layout.rate, scale), samples))
        return set_error(notEnoughDataErr);
    const long frames = static_cast<long>(samples.size() / (layout.channels * layout.bits / 8));
    const SoundComponentData format{0, output_format(layout), static_cast<std::int16_t>(layout.channels),
                                    static_cast<std::int16_t>(layout.bits), static_cast<UnsignedFixed>(layout.rate) << 16,
                                    frames};
    return set_error(put_sound(handle, format, samples));
}

}
