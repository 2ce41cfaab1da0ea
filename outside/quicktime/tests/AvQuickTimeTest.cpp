#include "outside/quicktime/AvQuickTime.h"
#include "outside/quicktime/GWorld.h"
#include "outside/quicktime/Handles.h"
#include "outside/quicktime/SoundHeader.h"
#include "outside/quicktime/testing/TestMovies.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

using namespace qt;

namespace {

constexpr double pi = 3.14159265358979323846;

// lavfi's sine: amplitude 1/8 of full scale.
double sine_at(long frame) { return 4096.0 * std::sin(2 * pi * 1000.0 * frame / 44100.0); }

class AvQuickTimeTest : public testing::Test {
protected:
    void open(const std::string& name)
    {
        const std::string path = test_movie(name);
        ASSERT_FALSE(path.empty());
        FSSpec spec;
        ASSERT_EQ(qt.NativePathNameToFSSpec(path.c_str(), &spec, 0), noErr);
        ASSERT_EQ(qt.OpenMovieFile(&spec, &ref, fsRdPerm), noErr);
        ASSERT_EQ(qt.NewMovieFromFile(&movie, ref, nullptr, newMovieActive), noErr);
    }
    // A world of the format over the box, attached to the movie.
    void attach_world(OSType format, Rect box)
    {
        qt.SetMovieBox(movie, &box);
        ASSERT_EQ(qt.QTNewGWorld(&world, format, &box), noErr);
        qt.SetMovieGWorld(movie, world);
    }
    // The picture at the time, drawn into the world.
    OSErr show(TimeValue time)
    {
        qt.SetMovieTimeValue(movie, time);
        qt.UpdateMovie(movie);
        qt.MoviesTask(movie, 0);
        return qt.GetMoviesError();
    }
    // Lets go of the world, the movie and its file, so another may be opened.
    void close()
    {
        if (world) DisposeGWorld(world);
        world = nullptr;
        if (movie) qt.DisposeMovie(movie);
        movie = nullptr;
        if (ref) qt.CloseMovieFile(ref);
        ref = 0;
    }
    void TearDown() override { close(); }
    Track sound_track() { return qt.GetMovieIndTrackType(movie, 1, AudioMediaCharacteristic, movieTrackCharacteristic | movieTrackEnabledOnly); }
    Track video_track() { return qt.GetMovieIndTrackType(movie, 1, VideoMediaType, movieTrackMediaType | movieTrackEnabledOnly); }

    template <class Description>
    Description description_of(Track track)
    {
        const Handle h = NewHandle(0);
        qt.GetMediaSampleDescription(qt.GetTrackMedia(track), 1, h);
        Description d{};
        EXPECT_GE(GetHandleSize(h), static_cast<long>(sizeof d));
        std::memcpy(&d, *h, sizeof d);
        DisposeHandle(h);
        return d;
    }

    AvQuickTime qt;
    std::int16_t ref = 0;
    Movie movie = nullptr;
    GWorldPtr world = nullptr;
};

}

TEST_F(AvQuickTimeTest, DescribesTheTracksOfEachMovie)
{
    const struct {
        const char* name;
        OSType sound_format;   // 0: no sound track
        int bits;
        int depth;             // 0: no video track
    } cases[] = {
        {"rgb24-s16be.mov", k16BitBigEndianFormat, 16, 24},
        {"rgb555-s16be.mov", k16BitBigEndianFormat, 16, 16},
        {"rgb24-s16le.mov", k16BitLittleEndianFormat, 16, 24},
        {"rgb24-s24be.mov", fourcc("in24"), 24, 24},
        {"sound-only.mov", k16BitBigEndianFormat, 16, 0},
        {"video-only.mov", 0, 0, 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        close();
        open(c.name);
        ASSERT_EQ(sound_track() != nullptr, c.sound_format != 0);
        ASSERT_EQ(video_track() != nullptr, c.depth != 0);
        if (c.sound_format) {
            const auto d = description_of<SoundDescription>(sound_track());
            EXPECT_EQ(d.dataFormat, c.sound_format);
            EXPECT_EQ(d.numChannels, 2);
            EXPECT_EQ(d.sampleSize, c.bits);
            EXPECT_EQ(d.sampleRate, 44100u << 16);
        }
        if (c.depth) {
            const auto d = description_of<ImageDescription>(video_track());
            EXPECT_EQ(d.width, 321);
            EXPECT_EQ(d.height, 241);
            EXPECT_EQ(d.depth, c.depth);
            EXPECT_EQ(qt.GetMovieTimeScale(movie), 600);
            EXPECT_EQ(qt.GetMovieDuration(movie), 1200);
        }
    }
}

TEST_F(AvQuickTimeTest, NextInterestingTimeFindsTheFrameAfterOrAt)
{
    open("video-only.mov");
    const OSType vide = VideoMediaType;
    const struct {
        std::int16_t flags;
        TimeValue from, found;
    } cases[] = {
        {nextTimeMediaSample | nextTimeEdgeOK, 0, 0}, {nextTimeMediaSample, 0, 20}, {nextTimeMediaSample, 19, 20},
        {nextTimeMediaSample, 20, 40}, {nextTimeMediaSample | nextTimeEdgeOK, 40, 40}, {nextTimeMediaSample, 1180, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " from " << c.from);
        TimeValue found = 0, duration = 0;
        qt.GetMovieNextInterestingTime(movie, c.flags, 1, &vide, c.from, fixed1, &found, &duration);
        EXPECT_EQ(found, c.found);
        if (found >= 0) {
            EXPECT_EQ(duration, 20);
        }
    }
}

TEST_F(AvQuickTimeTest, DrawsTheBarsIntoTheWorld)
{
    open("video-only.mov");
    attach_world(k32BGRAPixelFormat, {0, 0, 240, 320});
    ASSERT_EQ(show(600), noErr);
    const PixMapHandle pixmap = GetGWorldPixMap(world);
    ASSERT_TRUE(LockPixels(pixmap));
    const auto* pixels = reinterpret_cast<const unsigned char*>(GetPixBaseAddr(pixmap));
    // Seven bars across the top: 75% grey, yellow, cyan, green, magenta, red, blue (B, G, R).
    const int expected[7][3] = {{191, 191, 191}, {0, 191, 191}, {191, 191, 0}, {0, 191, 0},
                                {191, 0, 191}, {0, 0, 191}, {191, 0, 0}};
    for (int bar = 0; bar < 7; ++bar) {
        SCOPED_TRACE(bar);
        const unsigned char* p = pixels + 50 * QTGetPixMapHandleRowBytes(pixmap) + (bar * 320 / 7 + 20) * 4;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], expected[bar][k], 16);
    }
}

TEST_F(AvQuickTimeTest, ExportsTheSineFromAnyFrame)
{
    open("rgb24-s16be.mov");
    ComponentInstance exporter = nullptr;
    ASSERT_EQ(qt.OpenADefaultComponent(MovieExportType, SoundResourceType, &exporter), noErr);
    const Handle description = NewHandle(0);
    qt.GetMediaSampleDescription(qt.GetTrackMedia(sound_track()), 1, description);
    reinterpret_cast<SoundDescription*>(*description)->dataFormat = kSoundNotCompressed;
    ASSERT_EQ(qt.MovieExportSetSampleDescription(exporter, description, SoundMediaType), noErr);
    qt.SetMovieTimeScale(movie, 44100);
    const Handle sound = NewHandle(0);
    // In order, then back, then past the end.
    const struct {
        TimeValue start, count;
        unsigned long frames;
    } cases[] = {{0, 4410, 4410}, {4410, 4410, 4410}, {1000, 300, 300}, {88000, 1000, 200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        ASSERT_EQ(qt.PutMovieIntoTypedHandle(movie, sound_track(), SoundResourceType, sound, c.start, c.count, 0, exporter), noErr);
        SoundComponentData format{};
        unsigned long frames = 0, offset = 0;
        ASSERT_EQ(ParseSndHeader(sound, &format, &frames, &offset), noErr);
        EXPECT_EQ(format.format, k16BitBigEndianFormat);
        ASSERT_EQ(frames, c.frames);
        const auto* bytes = reinterpret_cast<const unsigned char*>(*sound + offset);
        for (unsigned long f = 0; f < frames; f += 37) {
            const auto left = static_cast<std::int16_t>(bytes[f * 4] << 8 | bytes[f * 4 + 1]);
            ASSERT_NEAR(left, sine_at(c.start + static_cast<long>(f)), 3) << f;
        }
    }
    EXPECT_EQ(qt.PutMovieIntoTypedHandle(movie, sound_track(), SoundResourceType, sound, 88200, 10, 0, exporter),
              invalidDuration);
    DisposeHandle(sound);
    DisposeHandle(description);
    qt.CloseComponent(exporter);
}

TEST_F(AvQuickTimeTest, ADamagedFileIsNoMovie)
{
    const auto fixture = [](const char* name) {
        std::ifstream in(std::string(QT_FIXTURES) + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"garbage after a movie atom", std::string("\0\0\0\x10moovgarbage and more", 24)},
        // A chunk offset table that runs past the end of the file (found by fuzzing).
        {"corrupt chunk offsets", fixture("corrupt-chunk-offsets.mov")},
    };
    const plat::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.bytes.size(), 16u);
        const std::string path = folder / "damaged.mov";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        FSSpec spec;
        ASSERT_EQ(qt.NativePathNameToFSSpec(path.c_str(), &spec, 0), noErr);
        ASSERT_EQ(qt.OpenMovieFile(&spec, &ref, fsRdPerm), noErr);
        EXPECT_EQ(qt.NewMovieFromFile(&movie, ref, nullptr, newMovieActive), invalidMovie);
        EXPECT_EQ(movie, nullptr);
        qt.CloseMovieFile(ref);
        ref = 0;
    }
}

TEST_F(AvQuickTimeTest, TheMovieHeaderGivesItsOwnTimeScale)
{
    open("scale1000.mov");
    EXPECT_EQ(qt.GetMovieTimeScale(movie), 1000);
    EXPECT_EQ(qt.GetMovieDuration(movie), 2000);
    const OSType vide = VideoMediaType;
    TimeValue found = -1, duration = 0;
    qt.GetMovieNextInterestingTime(movie, nextTimeMediaSample, 1, &vide, 0, fixed1, &found, &duration);
    EXPECT_EQ(found, 33);   // 20/600 s
    EXPECT_EQ(duration, 34);
}

// Only the second sound track is enabled: it holds the 1000 Hz sine, the first 500 Hz.
TEST_F(AvQuickTimeTest, EnabledTracksComeFromTheTrackHeaders)
{
    open("disabled-first.mov");
    const Track any = qt.GetMovieIndTrackType(movie, 1, AudioMediaCharacteristic, movieTrackCharacteristic);
    const Track enabled = sound_track();
    ASSERT_TRUE(any && enabled);
    EXPECT_NE(any, enabled);
    EXPECT_EQ(qt.GetMovieIndTrackType(movie, 2, AudioMediaCharacteristic, movieTrackCharacteristic), enabled);
    EXPECT_EQ(qt.GetMovieIndTrackType(movie, 2, AudioMediaCharacteristic, movieTrackCharacteristic | movieTrackEnabledOnly), nullptr);

    ComponentInstance exporter = nullptr;
    ASSERT_EQ(qt.OpenADefaultComponent(MovieExportType, SoundResourceType, &exporter), noErr);
    const Handle description = NewHandle(0);
    qt.GetMediaSampleDescription(qt.GetTrackMedia(enabled), 1, description);
    ASSERT_EQ(qt.MovieExportSetSampleDescription(exporter, description, SoundMediaType), noErr);
    qt.SetMovieTimeScale(movie, 44100);
    const Handle sound = NewHandle(0);
    ASSERT_EQ(qt.PutMovieIntoTypedHandle(movie, enabled, SoundResourceType, sound, 0, 441, 0, exporter), noErr);
    SoundComponentData format{};
    unsigned long frames = 0, offset = 0;
    ASSERT_EQ(ParseSndHeader(sound, &format, &frames, &offset), noErr);
    const auto* bytes = reinterpret_cast<const unsigned char*>(*sound + offset);
    for (unsigned long f = 0; f < frames; f += 5)
        ASSERT_NEAR(static_cast<std::int16_t>(bytes[f * 4] << 8 | bytes[f * 4 + 1]), sine_at(static_cast<long>(f)), 3) << f;
    DisposeHandle(sound);
    DisposeHandle(description);
    qt.CloseComponent(exporter);
}

// Frame n of a ramp is grey 4n. Any order of frames, back and forth across
// key frames, shows each frame's own picture; H.264 with B-frames decodes its
// pictures in another order than it shows them.
TEST_F(AvQuickTimeTest, FramesInAnyOrderShowTheirOwnPicture)
{
    const struct {
        const char* name;
        TimeValue frame_length;   // at 600 a second
        int tolerance;            // H.264 is stored in YUV, not quite losslessly
        std::vector<int> frames;
    } cases[] = {
        {"grey-ramp.mov", 20, 0, {0, 1, 2, 45, 3, 44, 46, 29, 30, 59, 10, 10, 11}},   // key frames at 0 and 30
        {"h264-grey-ramp.mov", 24, 1, {0, 1, 2, 3, 4, 37, 3, 36, 38, 24, 25, 49, 10, 10, 11, 12, 13}},   // 0 and 25
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        close();
        open(c.name);
        attach_world(k24BGRPixelFormat, {0, 0, 48, 64});
        const PixMapHandle pixmap = GetGWorldPixMap(world);
        for (int frame : c.frames) {
            SCOPED_TRACE(frame);
            ASSERT_EQ(show(frame * c.frame_length), noErr);
            const auto* pixels = reinterpret_cast<const unsigned char*>(GetPixBaseAddr(pixmap));
            EXPECT_NEAR(pixels[0], 4 * frame, c.tolerance);
            EXPECT_NEAR(pixels[24 * QTGetPixMapHandleRowBytes(pixmap) + 32 * 3 + 1], 4 * frame, c.tolerance);
        }
    }
}

// Frame by frame through the movie, as the movie reader goes: every frame
// ffprobe decodes, at its presentation time (the test movies' times are whole
// units of the movie's 600 a second).
TEST_F(AvQuickTimeTest, FramesComeAtThePresentationTimesFfprobeGives)
{
    for (const char* name : {"video-only.mov", "grey-ramp.mov", "h264-grey-ramp.mov", "h264-aac.mov"}) {
        SCOPED_TRACE(name);
        const ProbedFrames probed = probe_frames(test_movie(name));
        ASSERT_GT(probed.time_scale, 0);
        ASSERT_FALSE(probed.times.empty());
        close();
        open(name);
        ASSERT_EQ(qt.GetMovieTimeScale(movie), 600);
        const OSType vide = VideoMediaType;
        std::vector<TimeValue> found;
        TimeValue at = -1, duration = 0;
        qt.GetMovieNextInterestingTime(movie, nextTimeMediaSample | nextTimeEdgeOK, 1, &vide, 0, fixed1, &at, &duration);
        while (at >= 0 && found.size() <= probed.times.size()) {
            found.push_back(at);
            EXPECT_GT(duration, 0);
            qt.GetMovieNextInterestingTime(movie, nextTimeMediaSample, 1, &vide, at, fixed1, &at, &duration);
        }
        ASSERT_EQ(found.size(), probed.times.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            ASSERT_EQ(probed.times[i] * 600 % probed.time_scale, 0) << i;
            EXPECT_EQ(found[i], probed.times[i] * 600 / probed.time_scale) << i;
        }
    }
}
