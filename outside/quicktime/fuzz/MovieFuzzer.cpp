// A movie file from anywhere, read as the movie reader reads it: it opens or
// is refused, and an opened one describes its tracks, draws its pictures and
// exports its sound without a fault, never handing out more sound than the
// range asked for.

#include "outside/quicktime/AvQuickTime.h"
#include "outside/quicktime/GWorld.h"
#include "outside/quicktime/Handles.h"
#include "outside/quicktime/SoundHeader.h"
#include "platform/fs/testing/TempFolder.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstdint>
#include <cstdlib>
#include <fstream>

using namespace qt;

namespace {

void show_pictures(AvQuickTime& qt, Movie movie)
{
    const Track video = qt.GetMovieIndTrackType(movie, 1, VideoMediaType, movieTrackMediaType | movieTrackEnabledOnly);
    if (!video) return;
    const Handle description = NewHandle(0);
    qt.GetMediaSampleDescription(qt.GetTrackMedia(video), 1, description);
    DisposeHandle(description);
    const Rect box{0, 0, 24, 32};
    GWorldPtr world = nullptr;
    qt.SetMovieBox(movie, &box);
    if (qt.QTNewGWorld(&world, k32BGRAPixelFormat, &box) != noErr) return;
    qt.SetMovieGWorld(movie, world);
    for (TimeValue time : {TimeValue{0}, qt.GetMovieDuration(movie) / 2, qt.GetMovieDuration(movie)}) {
        qt.SetMovieTimeValue(movie, time);
        qt.UpdateMovie(movie);
        qt.MoviesTask(movie, 0);
    }
    DisposeGWorld(world);
}

void export_sound(AvQuickTime& qt, Movie movie)
{
    const Track sound = qt.GetMovieIndTrackType(movie, 1, AudioMediaCharacteristic,
                                                movieTrackCharacteristic | movieTrackEnabledOnly);
    ComponentInstance exporter = nullptr;
    if (!sound || qt.OpenADefaultComponent(MovieExportType, SoundResourceType, &exporter) != noErr) return;
    const Handle description = NewHandle(0);
    qt.GetMediaSampleDescription(qt.GetTrackMedia(sound), 1, description);
    if (GetHandleSize(description) >= static_cast<long>(sizeof(SoundDescription))) {
        reinterpret_cast<SoundDescription*>(*description)->dataFormat = kSoundNotCompressed;
        if (qt.MovieExportSetSampleDescription(exporter, description, SoundMediaType) == noErr) {
            constexpr TimeValue scale = 8000, count = 800;
            qt.SetMovieTimeScale(movie, scale);
            const Handle out = NewHandle(0);
            for (TimeValue start : {TimeValue{0}, TimeValue{count}, TimeValue{count / 2}}) {
                if (qt.PutMovieIntoTypedHandle(movie, sound, SoundResourceType, out, start, count, 0, exporter) != noErr)
                    continue;
                SoundComponentData format{};
                unsigned long frames = 0, offset = 0;
                if (ParseSndHeader(out, &format, &frames, &offset) != noErr) std::abort();
                // The range in frames at the exporter's rate, rounded up.
                const std::uint64_t most = (std::uint64_t{count} * (format.sampleRate >> 16) + scale - 1) / scale;
                if (frames > most) std::abort();
            }
            DisposeHandle(out);
        }
    }
    DisposeHandle(description);
    qt.CloseComponent(exporter);
}

}

// FFmpeg's complaints about each damaged file would bury the fuzzer's report.
// Its own tables are held to 64 MiB an allocation: under AddressSanitizer the
// tables a damaged header asks for (a chunk offset table of millions of
// entries) take seconds to poison, though FFmpeg alone refuses such a file in
// about a second.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    av_log_set_level(AV_LOG_QUIET);
    av_max_alloc(std::size_t{64} << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const plat::TempFolder folder;
    const std::string path = folder / "fuzzed.mov";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    AvQuickTime qt;
    FSSpec spec;
    std::int16_t ref = 0;
    Movie movie = nullptr;
    if (qt.NativePathNameToFSSpec(path.c_str(), &spec, 0) != noErr || qt.OpenMovieFile(&spec, &ref, fsRdPerm) != noErr)
        return 0;
    if (qt.NewMovieFromFile(&movie, ref, nullptr, newMovieActive) == noErr) {
        show_pictures(qt, movie);
        export_sound(qt, movie);
        qt.DisposeMovie(movie);
    }
    qt.CloseMovieFile(ref);
    return 0;
}
