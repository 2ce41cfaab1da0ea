#include "qtsource/QtMovieReader.h"

#include "outside/quicktime/AvQuickTime.h"
#include "outside/quicktime/testing/ScriptedQuickTime.h"
#include "outside/quicktime/testing/TestMovies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

using namespace qt;

namespace {

constexpr double pi = 3.14159265358979323846;

// The test movies' sine at a frame, as a 16-bit sample.
double sine_at(LONGLONG frame) { return 4096.0 * std::sin(2 * pi * 1000.0 * static_cast<double>(frame) / 44100.0); }

ScriptedSound stereo16(OSType format = k16BitBigEndianFormat, TimeValue frames = 88200)
{
    return {format, 2, 16, 44100u << 16, frames};
}

ScriptedVideo bars(TimeValue frame_length = 20) { return {321, 241, 24, frame_length, 60}; }

// A reader over a scripted movie; `script` is the back end the reader owns.
struct Scripted {
    explicit Scripted(ScriptedMovie movie, std::function<void(ScriptedQuickTime&)> fail = {})
    {
        auto made = std::make_unique<ScriptedQuickTime>(std::move(movie));
        script = made.get();
        if (fail) fail(*made);
        reader = std::make_unique<QtMovieReader>(std::move(made));
    }
    ScriptedQuickTime* script;
    std::unique_ptr<QtMovieReader> reader;
};

std::unique_ptr<QtMovieReader> open_movie(const std::string& name)
{
    auto reader = std::make_unique<QtMovieReader>(std::make_unique<AvQuickTime>());
    const std::string path = test_movie(name);
    EXPECT_FALSE(path.empty());
    EXPECT_EQ(reader->open(path.c_str()), S_OK);
    return reader;
}

// The little-endian sample of `bytes` bytes at `at`, sign-extended.
std::int32_t sample_at(const BYTE* at, int bytes)
{
    std::uint32_t value = 0;
    for (int b = bytes - 1; b >= 0; --b) value = value << 8 | at[b];
    const int shift = 32 - 8 * bytes;
    return static_cast<std::int32_t>(value << shift) >> shift;
}

// A PCM sample as a signed number (8-bit PCM is offset binary).
std::int32_t value_at(const BYTE* at, int bits) { return bits == 8 ? *at - 128 : sample_at(at, bits / 8); }

}

TEST(QtMovieReader, OpenFailsWhenQuickTimeDidNotStart)
{
    const struct {
        const char* name;
        OSErr initialize, enter;
    } cases[] = {{"QuickTime", qtmlUninitialized, noErr}, {"movie toolbox", noErr, memFullErr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scripted s({600, stereo16(), {}}, [&](ScriptedQuickTime& q) {
            q.initialize_error = c.initialize;
            q.enter_error = c.enter;
        });
        EXPECT_EQ(s.reader->open("movie.mov"), E_UNEXPECTED);
        const std::shared_ptr<int> started = s.script->started;
        s.reader.reset();
        EXPECT_EQ(*started, 0);   // only what started was stopped
    }
}

TEST(QtMovieReader, PicturesAreEvenSizedAndDeepAbove16Bits)
{
    const struct {
        int width, height, depth;
        LONG even_width, even_height;
        bool deep;
    } cases[] = {{321, 241, 24, 320, 240, true}, {320, 240, 16, 320, 240, false}, {3, 3, 32, 2, 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        Scripted s({600, {}, ScriptedVideo{c.width, c.height, c.depth, 20, 10}});
        ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
        EXPECT_EQ(s.reader->width(), c.even_width);
        EXPECT_EQ(s.reader->height(), c.even_height);
        EXPECT_EQ(s.reader->deep(), c.deep);
        const BITMAPINFOHEADER& bmi = s.reader->default_video_info().bmiHeader;
        EXPECT_EQ(bmi.biWidth, c.even_width);
        EXPECT_EQ(bmi.biSizeImage, static_cast<DWORD>(c.even_width * c.even_height * 2));
    }
}

// A first frame outside [33,366 .. 3,336,666] units of 100 ns gives 333,667.
TEST(QtMovieReader, FrameDurationsOutsideTheirRangeBecomeADefault)
{
    const struct {
        TimeScale scale;
        TimeValue first_frame;
        REFERENCE_TIME duration;
    } cases[] = {{1000, 500, 333667}, {1000, 1000, 333667}, {600, 20, 333333}, {1000, 33, 330000},
                 {600, 1, 333667}, {30, 1, 333333}, {1000, 3336, 333667}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first_frame << " at " << c.scale);
        Scripted s({c.scale, {}, bars(c.first_frame)});
        ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
        EXPECT_EQ(s.reader->frame_duration(), c.duration);
        EXPECT_EQ(s.reader->default_video_info().AvgTimePerFrame, c.duration);
    }
}

TEST(QtMovieReader, FramesAreFoundAtOrAfterTheTimeAsked)
{
    Scripted s({600, stereo16(), bars()});
    ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
    s.reader->set_pixel_format(PixelKind::RGB32);
    // Units of 600 a second in 100-ns units, counted exactly.
    const auto at = [](LONGLONG units) -> REFERENCE_TIME { return units * 10000000 / 600; };
    const struct {
        REFERENCE_TIME asked;
        LONGLONG found;   // in units
    } cases[] = {{0, 0}, {1, 0}, {at(20), 20}, {at(20) + 1, 20}, {at(21), 40}, {at(1180), 1180}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        RenderedFrame frame{};
        ASSERT_EQ(s.reader->render_frame(c.asked, frame), S_OK);
        EXPECT_EQ(frame.time, at(c.found));
        EXPECT_EQ(frame.duration, at(c.found + 20) - at(c.found));
        EXPECT_EQ(frame.pixels[frame.row_bytes * 7], 7);   // row 7 of the script's picture
    }
    RenderedFrame frame{};
    EXPECT_EQ(s.reader->render_frame(at(1200), frame), S_FALSE);
}

// As the video pin walks a movie: each frame asked for at the end of the one
// before. Every frame comes once, at its own time, whatever the time scale
// (a frame of one unit at 30 a second is 333,333.3 units of 100 ns).
TEST(QtMovieReader, WalkingFromFrameToFrameMeetsEachOnce)
{
    const struct {
        TimeScale scale;
        TimeValue frame_length;
    } cases[] = {{600, 20}, {30, 1}, {44100, 1470}, {1000, 33}, {90000, 3003}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        Scripted s({c.scale, {}, ScriptedVideo{320, 240, 24, c.frame_length, 50}});
        ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
        s.reader->set_pixel_format(PixelKind::RGB32);
        REFERENCE_TIME time = 0;
        int frames = 0;
        for (RenderedFrame frame{}; frames <= 50 && s.reader->render_frame(time, frame) == S_OK; ++frames) {
            EXPECT_EQ(frame.time, LONGLONG(frames) * c.frame_length * 10000000 / c.scale);
            time = frame.time + frame.duration;
        }
        EXPECT_EQ(frames, 50);
        EXPECT_EQ(time, s.reader->duration());
    }
}

TEST(QtMovieReader, NoWorldEndsTheVideo)
{
    Scripted s({600, {}, bars()}, [](ScriptedQuickTime& q) { q.gworld_error = memFullErr; });
    ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
    RenderedFrame frame{};
    EXPECT_EQ(s.reader->render_frame(0, frame), S_FALSE);
}

// Every width of sample comes out little-endian, including a last read of
// fewer than 16 bytes.
TEST(QtMovieReader, SoundComesOutLittleEndianInEveryWidth)
{
    const struct {
        OSType format;
        int bits;
    } cases[] = {{k16BitBigEndianFormat, 16}, {k16BitLittleEndianFormat, 16}, {k8BitOffsetBinaryFormat, 8},
                 {fourcc("in24"), 24}, {fourcc("in32"), 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        const TimeValue frames = 44100 + 3;
        Scripted s({600, ScriptedSound{c.format, 2, c.bits, 44100u << 16, frames}, {}});
        ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
        ASSERT_EQ(s.reader->set_up_sound(), S_OK);
        ASSERT_EQ(s.reader->frames_per_read(), 44100);
        LONGLONG position = 0;
        for (LONG asked : {44100, 10}) {
            LONG count = asked;
            const BYTE* data = nullptr;
            ASSERT_EQ(s.reader->read_sound(position, count, data), S_OK);
            ASSERT_EQ(count, asked == 10 ? 3 : asked);
            const int width = c.bits / 8;
            for (LONG f = 0; f < count; f += (count > 100 ? 97 : 1))
                for (int ch = 0; ch < 2; ++ch) {
                    ASSERT_EQ(value_at(data + (f * 2 + ch) * width, c.bits), scripted_sample(position + f, ch, c.bits)) << f;
                }
            position += count;
        }
        LONG count = 10;
        const BYTE* data = nullptr;
        EXPECT_EQ(s.reader->read_sound(position, count, data), S_FALSE);
        EXPECT_EQ(count, 0);
    }
}

TEST(QtMovieReader, ExportFailuresRetryEndOrGiveSilence)
{
    const struct {
        const char* name;
        std::vector<OSErr> errors;
        int bits;
        HRESULT result;
        bool silent;
        int calls;   // exports after the probe
    } cases[] = {
        {"memory errors replace the handle and retry", {memFullErr, memFullErr}, 16, S_OK, false, 3},
        {"other errors retry", {notEnoughDataErr, notEnoughDataErr, notEnoughDataErr, notEnoughDataErr, notEnoughDataErr, notEnoughDataErr, notEnoughDataErr}, 16, S_OK, false, 8},
        {"the end of the track ends the sound", {invalidDuration}, 16, S_FALSE, false, 1},
        {"eight failures give silence", std::vector<OSErr>(8, notEnoughDataErr), 16, S_OK, true, 8},
        {"eight failures give silence, 8-bit", std::vector<OSErr>(8, notEnoughDataErr), 8, S_OK, true, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scripted s({600, ScriptedSound{k16BitBigEndianFormat, 2, c.bits, 44100u << 16, 88200}, {}});
        ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
        ASSERT_EQ(s.reader->set_up_sound(), S_OK);
        s.script->export_calls = 0;
        s.script->export_errors.assign(c.errors.begin(), c.errors.end());
        LONG count = 1000;
        const BYTE* data = nullptr;
        ASSERT_EQ(s.reader->read_sound(1000, count, data), c.result);
        EXPECT_EQ(s.script->export_calls, c.calls);
        if (c.result != S_OK) continue;
        ASSERT_EQ(count, 1000);
        EXPECT_EQ(value_at(data, c.bits), c.silent ? 0 : scripted_sample(1000, 0, c.bits));
        // The next export works again.
        count = 10;
        ASSERT_EQ(s.reader->read_sound(45100, count, data), S_OK);
        EXPECT_EQ(value_at(data, c.bits), scripted_sample(45100, 0, c.bits));
    }
}

// After a seek, the buffered sound of the old position is not played.
TEST(QtMovieReader, AReadElsewhereRefillsFromItsFrame)
{
    Scripted s({600, stereo16(), {}});
    ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
    const BYTE* data = nullptr;
    LONG count = 100;
    ASSERT_EQ(s.reader->read_sound(0, count, data), S_OK);
    for (LONGLONG start : {50000LL, 100LL, 7LL}) {
        SCOPED_TRACE(start);
        count = 100;
        ASSERT_EQ(s.reader->read_sound(start, count, data), S_OK);
        ASSERT_EQ(count, 100);
        EXPECT_EQ(sample_at(data, 2), scripted_sample(start, 0, 16));
    }
}

// An export rate below 1 Hz reads 0x4000 frames; 16 bytes a frame still fit.
TEST(QtMovieReader, SlowExportsReadFixedRunsThatFit)
{
    ScriptedSound wide{fourcc("in32"), 4, 32, 8000u << 16, 0x9000};
    wide.export_rate = 0x8000;
    Scripted s({600, wide, {}});
    ASSERT_EQ(s.reader->open("movie.mov"), S_OK);
    ASSERT_EQ(s.reader->set_up_sound(), S_OK);
    EXPECT_EQ(s.reader->frames_per_read(), 0x4000);
    LONG count = 0x4000;
    const BYTE* data = nullptr;
    ASSERT_EQ(s.reader->read_sound(0, count, data), S_OK);
    ASSERT_EQ(count, 0x4000);
    EXPECT_EQ(sample_at(data + (0x3FFF * 4 + 3) * 4, 4), scripted_sample(0x3FFF, 3, 32));
}

TEST(QtMovieReader, ReadsTheMoviesFfmpegMade)
{
    const struct {
        const char* name;
        bool sound, video, deep;
        WORD bits;
    } cases[] = {
        {"rgb24-s16be.mov", true, true, true, 16},  {"rgb555-s16be.mov", true, true, false, 16},
        {"rgb24-s16le.mov", true, true, true, 16},  {"rgb24-s24be.mov", true, true, true, 24},
        {"sound-only.mov", true, false, false, 16}, {"video-only.mov", false, true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reader = open_movie(c.name);
        ASSERT_EQ(reader->has_sound(), c.sound);
        ASSERT_EQ(reader->has_video(), c.video);
        // Two seconds, counted in frames of sound (88,200) or in units of 600 (1200).
        EXPECT_EQ(reader->duration(), 20000000);
        if (c.video) {
            EXPECT_EQ(reader->width(), 320);
            EXPECT_EQ(reader->height(), 240);
            EXPECT_EQ(reader->deep(), c.deep);
            // 20 units at 600, or 1470 at 44.1 kHz: a thirtieth of a second.
            EXPECT_EQ(reader->frame_duration(), 333333);
        }
        if (!c.sound) continue;
        const WAVEFORMATEX& wf = reader->wave_format();
        EXPECT_EQ(wf.nChannels, 2);
        EXPECT_EQ(wf.nSamplesPerSec, 44100u);
        EXPECT_EQ(wf.wBitsPerSample, c.bits);
        EXPECT_EQ(wf.nBlockAlign, 2 * c.bits / 8);
        ASSERT_EQ(reader->set_up_sound(), S_OK);
        EXPECT_EQ(reader->frames_per_read(), 44100);
        // From the start, then from elsewhere: the sine at each frame.
        for (LONGLONG start : {0LL, 30000LL, 88100LL}) {
            SCOPED_TRACE(start);
            LONG count = 1000;
            const BYTE* data = nullptr;
            ASSERT_EQ(reader->read_sound(start, count, data), S_OK);
            ASSERT_EQ(count, start == 88100 ? 100 : 1000);
            for (LONG f = 0; f < count; f += 7) {
                const double got = sample_at(data + f * wf.nBlockAlign, c.bits / 8) / (c.bits == 24 ? 256.0 : 1.0);
                ASSERT_NEAR(got, sine_at(start + f), 3) << f;
            }
        }
    }
}
