#include "qtsource/tests/MossveilTesting.h"

#include "platform/dshow/MemAllocator.h"

#include <cmath>
#include <cstring>

using namespace mossveil_testing;
using qt::ScriptedMovie;

namespace {

constexpr double pi = 3.14159265358979323846;

// The media type a pin offers at a position.
CMediaType offered(CBasePin* pin, int position)
{
    CMediaType type;
    EXPECT_EQ(pin->GetMediaType(position, &type), S_OK);
    return type;
}

const BITMAPINFOHEADER& bitmap_of(const CMediaType& type)
{
    if (*type.FormatType() == FORMAT_VideoInfo2) return reinterpret_cast<const VIDEOINFOHEADER2*>(type.Format())->bmiHeader;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.Format())->bmiHeader;
}
BITMAPINFOHEADER& bitmap_of(CMediaType& type)
{
    return const_cast<BITMAPINFOHEADER&>(bitmap_of(static_cast<const CMediaType&>(type)));
}

}

TEST(MossveilPins, EachTrackKindGetsItsPin)
{
    const struct {
        const char* movie;
        bool video, audio;
    } cases[] = {{"rgb24-s16be.mov", true, true}, {"sound-only.mov", false, true}, {"video-only.mov", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie);
        const auto filter = real_filter();
        ASSERT_EQ(load(filter.get(), qt::test_movie(c.movie)), S_OK);
        EXPECT_EQ(filter->GetPinCount(), int{c.video} + int{c.audio});
        EXPECT_EQ(pin_named(filter.get(), u"Video") != nullptr, c.video);
        EXPECT_EQ(pin_named(filter.get(), u"Audio") != nullptr, c.audio);
    }
}

TEST(MossveilPins, VideoTypesByPosition)
{
    const auto filter = scripted_filter({600, {}, bars()});
    ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
    CBasePin* video = pin_named(filter.get(), u"Video");
    ASSERT_TRUE(video);
    const struct {
        GUID subtype, format;
        ULONG length;
        WORD bits;
        DWORD compression;
        DWORD masks[3];
    } cases[] = {
        {MEDIASUBTYPE_YUY2, FORMAT_VideoInfo2, 1136, 16, MAKEFOURCC('Y', 'U', 'Y', '2'), {}},
        {MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, 1128, 32, BI_RGB, {}},
        {MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, 1128, 24, BI_RGB, {}},
        {MEDIASUBTYPE_RGB565, FORMAT_VideoInfo, 1128, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
        {MEDIASUBTYPE_RGB555, FORMAT_VideoInfo, 1128, 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}},
    };
    for (int position = 0; position < 5; ++position) {
        SCOPED_TRACE(position);
        const auto& c = cases[position];
        const CMediaType type = offered(video, position);
        EXPECT_EQ(*type.Type(), MEDIATYPE_Video);
        EXPECT_EQ(*type.Subtype(), c.subtype);
        EXPECT_EQ(*type.FormatType(), c.format);
        EXPECT_EQ(type.FormatLength(), c.length);
        EXPECT_FALSE(type.bTemporalCompression);
        const BITMAPINFOHEADER& bmi = bitmap_of(type);
        EXPECT_EQ(bmi.biWidth, 320);
        EXPECT_EQ(bmi.biHeight, 240);
        EXPECT_EQ(bmi.biBitCount, c.bits);
        EXPECT_EQ(bmi.biCompression, c.compression);
        EXPECT_EQ(bmi.biSizeImage, 320u * 240 * c.bits / 8);
        EXPECT_EQ(type.GetSampleSize(), bmi.biSizeImage);
        if (position > 0) {
            EXPECT_EQ(std::memcmp(type.Format() + sizeof(VIDEOINFOHEADER), c.masks, sizeof c.masks), 0);
        } else {
            const auto* info = reinterpret_cast<const VIDEOINFOHEADER2*>(type.Format());
            EXPECT_EQ(info->AvgTimePerFrame, 333333);   // 20 units at 600
            EXPECT_EQ(info->dwPictAspectRatioX, 320u);
            EXPECT_EQ(info->dwPictAspectRatioY, 240u);
        }
    }
    CMediaType none;
    EXPECT_EQ(video->GetMediaType(5, &none), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(video->GetMediaType(-1, &none), E_INVALIDARG);
}

TEST(MossveilPins, VideoTypesAcceptedByDepthAndSize)
{
    const auto deep = scripted_filter({600, {}, bars(24)});
    const auto shallow = scripted_filter({600, {}, bars(16)});
    ASSERT_EQ(load(deep.get(), "movie.mov"), S_OK);
    ASSERT_EQ(load(shallow.get(), "movie.mov"), S_OK);
    const struct {
        const char* name;
        MossveilSourceFilter* filter;
        int position;
        LONG width, height;
        HRESULT result;
    } cases[] = {
        {"deep YUY2", deep.get(), 0, 320, 240, S_OK},
        {"shallow YUY2", shallow.get(), 0, 320, 240, E_INVALIDARG},
        {"shallow RGB565", shallow.get(), 3, 320, 240, S_OK},
        {"wider VIDEOINFOHEADER2", deep.get(), 0, 384, 240, S_OK},
        {"narrower VIDEOINFOHEADER2", deep.get(), 0, 318, 240, E_INVALIDARG},
        {"wider video info", deep.get(), 1, 384, 240, E_INVALIDARG},
        {"other height", deep.get(), 1, 320, 238, E_INVALIDARG},
        {"top-down RGB32", deep.get(), 1, 320, -240, S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CBasePin* video = pin_named(c.filter, u"Video");
        CMediaType type = offered(pin_named(deep.get(), u"Video"), c.position);
        bitmap_of(type).biWidth = c.width;
        bitmap_of(type).biHeight = c.height;
        EXPECT_EQ(video->CheckMediaType(&type), c.result);
    }
}

// Row r of the scripted picture holds bytes r: RGB with a positive height
// goes bottom-up, YUY2 and negative heights top-down; a wider stride keeps
// each row at its pitch.
TEST(MossveilPins, PicturesAreCopiedRowByRowAtTheirPitch)
{
    const struct {
        const char* name;
        int position;
        LONG width, height;
        bool bottom_up;
        LONG pitch;
    } cases[] = {
        {"RGB32 bottom-up", 1, 320, 240, true, 1280},
        {"RGB32 top-down", 1, 320, -240, false, 1280},
        {"RGB24 bottom-up", 2, 320, 240, true, 960},
        {"YUY2 always top-down", 0, 320, 240, false, 640},
        {"YUY2 at a wider stride", 0, 384, 240, false, 768},
        {"RGB32 in a VIDEOINFOHEADER2", -1, 320, 240, true, 1280},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto filter = scripted_filter({600, {}, bars()});
        ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
        CBasePin* video = pin_named(filter.get(), u"Video");
        CMediaType type = offered(video, std::max(c.position, 0));
        BITMAPINFOHEADER& bmi = bitmap_of(type);
        if (c.position < 0) {
            type.SetSubtype(&MEDIASUBTYPE_RGB32);
            bmi.biBitCount = 32;
            bmi.biCompression = BI_RGB;
        }
        bmi.biWidth = c.width;
        bmi.biHeight = c.height;
        bmi.biSizeImage = static_cast<DWORD>(c.pitch * 240);
        type.SetSampleSize(bmi.biSizeImage);
        SinkGraph g(filter.get());
        const auto sink = g.sink_on(video, &type);
        ASSERT_EQ(g.graph->Run(), S_OK);
        ASSERT_TRUE(sink->wait_for_samples(1, 60000));
        g.graph->Stop();
        const auto sample = sink->samples().front();
        ASSERT_EQ(sample.length, c.pitch * 240);
        const LONG world_row = 320 * (c.position == 0 ? 2 : c.position == 2 ? 3 : 4);
        const LONG copied = std::min<LONG>(c.pitch, (world_row + 15) & ~15);
        for (LONG row : {0, 1, 7, 239}) {
            const LONG source_row = c.bottom_up ? 239 - row : row;
            EXPECT_EQ(sample.data[row * c.pitch], source_row) << row;
            EXPECT_EQ(sample.data[row * c.pitch + copied - 1], source_row) << row;
        }
    }
}

TEST(MossveilPins, VideoSamplesFollowTheFrames)
{
    const auto filter = scripted_filter({600, {}, qt::ScriptedVideo{320, 240, 24, 20, 5}});
    ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
    SinkGraph g(filter.get());
    const auto sink = g.sink_on(pin_named(filter.get(), u"Video"));
    ASSERT_EQ(g.graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    const auto samples = sink->samples();
    ASSERT_EQ(samples.size(), 5u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        // Frame i starts at 20i units of 600 a second, counted exactly.
        EXPECT_EQ(samples[i].start, static_cast<REFERENCE_TIME>(i) * 20 * 10000000 / 600);
        EXPECT_EQ(samples[i].stop, static_cast<REFERENCE_TIME>(i + 1) * 20 * 10000000 / 600);
        EXPECT_EQ(samples[i].discontinuity, i == 0);
        EXPECT_TRUE(samples[i].sync);
    }
}

TEST(MossveilPins, SoundBuffersAreSizedFromTheRequestOrTheRead)
{
    const struct {
        const char* name;
        qt::ScriptedSound sound;
        LONG request, buffer;
    } cases[] = {
        {"a second of 44.1 kHz stereo", stereo16(), 0, 4 * 44100},
        {"the pin chooses at 100 bytes", stereo16(), 100, 4 * 44100},
        {"a larger request is kept", stereo16(), 101, 101},
        {"small reads get 32 KiB", {qt::k8BitOffsetBinaryFormat, 1, 8, 4000u << 16, 8000}, 0, 0x8000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto filter = scripted_filter({600, c.sound, {}});
        ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
        auto* audio = static_cast<CBaseOutputPin*>(pin_named(filter.get(), u"Audio"));
        ComPtr<IMemAllocator> allocator(new CMemAllocator());
        ALLOCATOR_PROPERTIES request{0, c.request, 0, 0};
        ASSERT_EQ(audio->DecideBufferSize(allocator.get(), &request), S_OK);
        ALLOCATOR_PROPERTIES actual{};
        allocator->GetProperties(&actual);
        EXPECT_EQ(actual.cbBuffer, c.buffer);
        EXPECT_GE(actual.cBuffers, 1);
    }
}

// A seek lands on the granule at or after it; times count from the seek.
TEST(MossveilPins, SoundSeeksLandOnTheGranule)
{
    const auto filter = scripted_filter({600, stereo16(44100 * 3), {}});
    ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
    CBasePin* audio = pin_named(filter.get(), u"Audio");
    SinkGraph g(filter.get());
    const auto sink = g.sink_on(audio);
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(audio->QueryInterface(IID_IMediaSeeking, seeking.put_void()), S_OK);
    LONGLONG start = UNITS / 2;
    ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    const auto samples = sink->samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].start, UNITS / 2);
    EXPECT_EQ(samples[0].stop, UNITS / 2 + UNITS);
    EXPECT_EQ(samples[1].start, samples[0].stop);
    EXPECT_TRUE(samples[0].discontinuity);
    EXPECT_FALSE(samples[1].discontinuity);
    std::int16_t first = 0;
    std::memcpy(&first, samples[0].data.data(), 2);
    EXPECT_EQ(first, qt::scripted_sample(44100, 0, 16));
    ASSERT_FALSE(sink->segments().empty());
    EXPECT_EQ(sink->segments().back().start, UNITS / 2);
}

TEST(MossveilPins, SoundEndsAtOtherRatesAndAfterItsLastFrames)
{
    const struct {
        const char* name;
        double rate;
        qt::TimeValue frames;
        std::vector<LONG> lengths;
    } cases[] = {{"rate 2.0", 2.0, 88200, {}}, {"a short tail", 1.0, 44100 + 3, {44100 * 4, 3 * 4}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto filter = scripted_filter({600, stereo16(c.frames), {}});
        ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
        CBasePin* audio = pin_named(filter.get(), u"Audio");
        SinkGraph g(filter.get());
        const auto sink = g.sink_on(audio);
        ComPtr<IMediaSeeking> seeking;
        ASSERT_EQ(audio->QueryInterface(IID_IMediaSeeking, seeking.put_void()), S_OK);
        ASSERT_EQ(seeking->SetRate(c.rate), S_OK);
        ASSERT_EQ(g.graph->Run(), S_OK);
        ASSERT_TRUE(sink->wait_for_end(60000));
        std::vector<LONG> lengths;
        for (const auto& s : sink->samples()) lengths.push_back(s.length);
        EXPECT_EQ(lengths, c.lengths);
    }
}

// The first samples of both pins after a seek while running start the new
// segment: discontinuous, the sound counted from the seek, not from before it.
TEST(MossveilPins, ASeekWhileRunningStartsBothPinsAfresh)
{
    const auto filter = scripted_filter({600, stereo16(44100 * 4), qt::ScriptedVideo{320, 240, 24, 20, 120}});
    ASSERT_EQ(load(filter.get(), "movie.mov"), S_OK);
    SinkGraph g(filter.get());
    const auto video = g.sink_on(pin_named(filter.get(), u"Video"));
    const auto audio = g.sink_on(pin_named(filter.get(), u"Audio"));
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_TRUE(video->wait_for_samples(3, 60000));
    ASSERT_TRUE(audio->wait_for_samples(1, 60000));
    LONGLONG start = 2 * UNITS;
    ASSERT_EQ(g.graph->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    for (const ComPtr<plat::RecordingSink>& sink : {video, audio}) {
        const auto samples = sink->samples();
        const int last_segment = samples.back().segment;
        const auto first = std::find_if(samples.begin(), samples.end(), [&](auto& s) { return s.segment == last_segment; });
        ASSERT_NE(first, samples.end());
        EXPECT_TRUE(first->discontinuity);
        // The seek lands on a frame's start (2 s is 1200 units of 600).
        EXPECT_EQ(first->start, 0);
        EXPECT_EQ(sink->segments().back().start, 2 * UNITS);
    }
    const auto after = audio->samples().back();
    std::int16_t last = 0;
    std::memcpy(&last, after.data.data(), 2);
    EXPECT_EQ(last, qt::scripted_sample(44100 * 3, 0, 16));
}

TEST(MossveilPins, LoadIsRefusedUnlessStoppedAndReplacesThePins)
{
    const auto filter = real_filter();
    ASSERT_EQ(load(filter.get(), qt::test_movie("rgb24-s16be.mov")), S_OK);
    {
        SinkGraph g(filter.get());
        const auto sink = g.sink_on(pin_named(filter.get(), u"Audio"));
        ASSERT_EQ(g.graph->Run(), S_OK);
        ASSERT_TRUE(sink->wait_for_samples(1, 60000));
        EXPECT_EQ(load(filter.get(), qt::test_movie("video-only.mov")), VFW_E_NOT_STOPPED);
        ASSERT_EQ(g.graph->Stop(), S_OK);
        ASSERT_EQ(load(filter.get(), qt::test_movie("video-only.mov")), S_OK);
        // The old pin let go of its peer before it went.
        ComPtr<IPin> peer;
        EXPECT_EQ(sink->input()->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
    }
    EXPECT_EQ(filter->GetPinCount(), 1);
    EXPECT_TRUE(pin_named(filter.get(), u"Video"));
}

TEST(MossveilPins, LoadFailsWithoutQuickTimeOrTracks)
{
    const struct {
        const char* name;
        ScriptedMovie movie;
        std::function<void(qt::ScriptedQuickTime&)> adjust;
    } cases[] = {
        {"QuickTime not started", {600, stereo16(), {}}, [](qt::ScriptedQuickTime& q) { q.initialize_error = qt::qtmlUninitialized; }},
        {"no tracks", {600, {}, {}}, {}},
        {"no sound export", {600, stereo16(), {}}, [](qt::ScriptedQuickTime& q) { q.exporter_error = qt::badComponentType; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto filter = scripted_filter(c.movie, c.adjust);
        EXPECT_EQ(load(filter.get(), "movie.mov"), E_FAIL);
        EXPECT_EQ(filter->GetPinCount(), 0);
        LPWSTR name = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(filter->GetCurFile(&name, nullptr), S_OK);
        EXPECT_EQ(name, nullptr);
    }
}

// The real movies' pictures and sound, against what ffmpeg made them of.
TEST(MossveilPins, DeliversTheBarsAndTheSine)
{
    const auto filter = real_filter();
    ASSERT_EQ(load(filter.get(), qt::test_movie("rgb24-s16be.mov")), S_OK);
    SinkGraph g(filter.get());
    CBasePin* video_pin = pin_named(filter.get(), u"Video");
    const CMediaType rgb32 = offered(video_pin, 1);
    const auto video = g.sink_on(video_pin, &rgb32);
    const auto audio = g.sink_on(pin_named(filter.get(), u"Audio"));
    ASSERT_EQ(g.graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(video->sample_count(), 60u);
    const auto picture = video->samples().front();
    // Bottom-up: row 50 from the top is row 189 of the sample.
    const int expected[7][3] = {{191, 191, 191}, {0, 191, 191}, {191, 191, 0}, {0, 191, 0}, {191, 0, 191}, {0, 0, 191}, {191, 0, 0}};
    for (int bar = 0; bar < 7; ++bar) {
        const BYTE* p = picture.data.data() + 189 * 1280 + (bar * 320 / 7 + 20) * 4;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], expected[bar][k], 16) << bar;
    }
    std::size_t frames = 0;
    for (const auto& s : audio->samples()) {
        for (std::size_t f = 0; f < s.data.size() / 4; f += 101) {
            std::int16_t left = 0;
            std::memcpy(&left, s.data.data() + f * 4, 2);
            const double want = 4096.0 * std::sin(2 * pi * 1000.0 * static_cast<double>(frames + f) / 44100.0);
            ASSERT_NEAR(left, want, 3) << frames + f;
        }
        frames += s.data.size() / 4;
    }
    EXPECT_EQ(frames, 88200u);
}

// H.264 movies (x264 reorders its pictures): every frame ffprobe decodes,
// each at its presentation time, one after the other, and the sound whole.
TEST(MossveilPins, DeliversEveryFrameOfH264MoviesAtItsTime)
{
    const struct {
        const char* name;
        std::size_t sound_bytes;   // 0: no sound
    } cases[] = {{"h264-aac.mov", 4u * 44100 * 4}, {"h264-grey-ramp.mov", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = qt::test_movie(c.name);
        const qt::ProbedFrames probed = qt::probe_frames(path);
        ASSERT_GT(probed.time_scale, 0);
        const auto filter = real_filter();
        ASSERT_EQ(load(filter.get(), path), S_OK);
        SinkGraph g(filter.get());
        CBasePin* video_pin = pin_named(filter.get(), u"Video");
        const CMediaType rgb32 = offered(video_pin, 1);
        const auto video = g.sink_on(video_pin, &rgb32);
        CBasePin* audio_pin = pin_named(filter.get(), u"Audio");
        ASSERT_EQ(audio_pin != nullptr, c.sound_bytes > 0);
        const auto audio = audio_pin ? g.sink_on(audio_pin) : nullptr;
        ASSERT_EQ(g.graph->Run(), S_OK);
        LONG code = 0;
        ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);

        const auto samples = video->samples();
        ASSERT_EQ(samples.size(), probed.times.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(samples[i].start, probed.times[i] * UNITS / probed.time_scale);
            if (i + 1 < samples.size()) {
                EXPECT_EQ(samples[i].stop, samples[i + 1].start);
            }
        }
        if (audio) {
            EXPECT_EQ(audio->byte_count(), c.sound_bytes);
        }
    }
}
