// The MP4 parser over ffmpeg's files (packets compared with ffprobe) and
// over byte-built movies for the edge cases.

#include "splitter/mp4/MP4Parser.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/base/testing/ParserTesting.h"
#include "outside/ap4/Ap4DataBuffer.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4Track.h"
#include "splitter/mp4/MP4MediaTypes.h"
#include "splitter/mp4/MP4SplitterFile.h"
#include "splitter/mp4/tests/Mp4Builder.h"

#include <gtest/gtest.h>

using namespace splitter_testing;
namespace mt = mp4_testing;

namespace {

HRESULT open(SplitterGraph& g, const std::string& path)
{
    return g.open(path, ParserFilter::with<CMP4Parser>());
}

std::string write_movie(const plat::TempFolder& dir, const std::vector<mt::TrackSpec>& tracks)
{
    return write_file(dir, "movie.mp4", mt::movie_file(tracks));
}

// The time base of each stream, as ffprobe gives it ("1/12800" -> 12800).
std::vector<AP4_UI32> time_scales(const std::string& path)
{
    std::vector<AP4_UI32> out;
    FILE* pipe = popen(("ffprobe -v error -show_entries stream=time_base -of csv=p=0 '" + path + "'").c_str(), "r");
    char line[64];
    unsigned one = 0, scale = 0;
    while (pipe && std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, "%u/%u", &one, &scale) == 2) out.push_back(scale);
    if (pipe) pclose(pipe);
    return out;
}

REFERENCE_TIME in_100ns(long long value, AP4_UI32 scale)
{
    return static_cast<REFERENCE_TIME>(static_cast<double>(value) * (10000000.0 / scale));
}

// The sound's bytes as the file stores them, as ffmpeg copies them out.
Bytes stored_sound(const std::string& path)
{
    Bytes out;
    FILE* pipe = popen(("ffmpeg -v error -i '" + path + "' -map 0:a -c copy -f data -").c_str(), "r");
    if (!pipe) return out;
    BYTE buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
}

std::vector<std::u16string> subtypes_of(SplitterGraph& g, int pin)
{
    std::vector<std::u16string> out;
    auto* p = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(pin));
    CMediaType t;
    for (int i = 0; p->GetMediaType(i, &t) == S_OK; ++i) {
        const DWORD fourcc = t.subtype.Data1;
        out.push_back(std::u16string{static_cast<char16_t>(fourcc & 0xFF), static_cast<char16_t>(fourcc >> 8 & 0xFF),
                                     static_cast<char16_t>(fourcc >> 16 & 0xFF), static_cast<char16_t>(fourcc >> 24)});
    }
    return out;
}

}

TEST(MP4Parser, PacketsAgreeWithFfprobe)
{
    const struct {
        const char* file;
        std::vector<int> streams;   // the ffprobe stream of each pin that carries samples
    } cases[] = {
        {"h264-aac.mp4", {0, 1}}, {"mpeg4-mp3.mp4", {0, 1}}, {"mpeg2-aac.mp4", {0, 1}},
        {"mpeg1-mp2.mp4", {0, 1}}, {"h264-aac.mov", {0, 1}}, {"text-chapters.mp4", {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = test_media(c.file);
        const auto probed = mt::probe_samples(path);
        const auto scales = time_scales(path);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        ASSERT_TRUE(g.run_to_end());
        for (std::size_t pin = 0; pin < c.streams.size(); ++pin) {
            SCOPED_TRACE(pin);
            const int stream = c.streams[pin];
            auto expected = probed.at(stream);
            std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.dts < b.dts; });
            const auto samples = g.sinks[pin]->samples();
            ASSERT_EQ(samples.size(), expected.size());
            for (std::size_t i = 0; i < samples.size(); ++i) {
                SCOPED_TRACE(i);
                const REFERENCE_TIME start = in_100ns(expected[i].pts, scales[static_cast<std::size_t>(stream)]);
                EXPECT_EQ(samples[i].start, start);
                if (expected[i].duration >= 0) {
                    EXPECT_EQ(samples[i].stop, start + in_100ns(expected[i].duration, scales[static_cast<std::size_t>(stream)]));
                }
                EXPECT_EQ(samples[i].length, static_cast<LONG>(expected[i].size));
                EXPECT_EQ(samples[i].sync, expected[i].key);
            }
        }
    }
}

TEST(MP4Parser, MediaTypesOfFfmpegFiles)
{
    const struct {
        const char* file;
        std::vector<std::u16string> names;
        std::vector<std::vector<std::u16string>> subtypes;   // FOURCC subtypes, by pin
    } cases[] = {
        {"h264-aac.mp4", {u"VideoHandler", u"SoundHandler"}, {{u"avc1", u"AVC1"}, {{0xFF, 0, 0, 0}}}},
        {"mpeg4-mp3.mp4", {u"VideoHandler", u"SoundHandler"}, {{u"mp4v", u"MP4V"}, {{0x55, 0, 0, 0}}}},
        {"h264-aac.mov", {u"VideoHandler", u"SoundHandler"}, {{u"avc1", u"AVC1"}, {{0xFF, 0, 0, 0}}}},
        {"mpeg1-mp2.mp4", {u"VideoHandler", u"SoundHandler"}, {{u"\x81\xEB\x36\xE4"}, {{0x50, 0, 0, 0}}}},
        {"mpeg2-aac.mp4", {u"VideoHandler", u"SoundHandler"}, {{u"\x26\x80\x6D\xE0"}, {{0xFF, 0, 0, 0}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SplitterGraph g;
        ASSERT_EQ(open(g, test_media(c.file)), S_OK);
        ASSERT_EQ(g.splitter->GetPinCount(), static_cast<int>(c.names.size()) + 1);
        for (std::size_t pin = 0; pin < c.names.size(); ++pin) {
            EXPECT_EQ(pin_name(g, static_cast<int>(pin)), c.names[pin]);
            EXPECT_EQ(subtypes_of(g, static_cast<int>(pin)), c.subtypes[pin]);
        }
    }
}

TEST(MP4Parser, AvcTypeCarriesTheParameterSets)
{
    const std::string path = test_media("h264-aac.mp4");
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    const CMediaType t = connected_type(g, 0);
    ASSERT_EQ(t.formattype, FORMAT_MPEG2Video);
    auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(t.Format());
    const std::vector<BYTE> record = probed_extradata(path, "video");
    ASSERT_GT(record.size(), 8u);
    EXPECT_EQ(mvih->dwProfile, record[1]);
    EXPECT_EQ(mvih->dwLevel, record[3]);
    EXPECT_EQ(mvih->dwFlags, (record[4] & 3u) + 1);
    EXPECT_EQ(mvih->hdr.bmiHeader.biWidth, 320);
    // The sets keep their lengths; the two count bytes and what follows the sets go.
    const std::size_t sps = std::size_t{record[6]} << 8 | record[7];
    const std::size_t pps = std::size_t{record[9 + sps]} << 8 | record[10 + sps];
    ASSERT_EQ(mvih->cbSequenceHeader, 4 + sps + pps);
    const auto* seq = reinterpret_cast<const BYTE*>(mvih->dwSequenceHeader);
    EXPECT_TRUE(std::equal(seq, seq + 2, record.begin() + 6));
    EXPECT_EQ(t.cbFormat, mpeg2_video_info_size(mvih->cbSequenceHeader));
}

TEST(MP4Parser, MpegHeadersReadAtTheFirstSample)
{
    SplitterGraph g2;
    ASSERT_EQ(open(g2, test_media("mpeg2-aac.mp4")), S_OK);
    const CMediaType mpeg2 = connected_type(g2, 0);
    ASSERT_EQ(mpeg2.formattype, FORMAT_MPEG2Video);
    EXPECT_EQ(reinterpret_cast<const MPEG2VIDEOINFO*>(mpeg2.Format())->hdr.dwPictAspectRatioX, 16u);
    SplitterGraph g1;
    ASSERT_EQ(open(g1, test_media("mpeg1-mp2.mp4")), S_OK);
    EXPECT_EQ(connected_type(g1, 0).formattype, FORMAT_MPEGVideo);
    const CMediaType mp2 = connected_type(g1, 1);
    EXPECT_EQ(reinterpret_cast<const MPEG1WAVEFORMAT*>(mp2.Format())->fwHeadLayer, 2);
}

TEST(MP4Parser, TimedTextGivesAPlainTextPinThatStaysSilent)
{
    SplitterGraph g;
    ASSERT_EQ(open(g, test_media("text-chapters.mp4")), S_OK);
    // The tx3g subtitles lie under an "sbtl" handler, which is not read; the chapter track is "text".
    ASSERT_EQ(g.splitter->GetPinCount(), 4);
    EXPECT_EQ(pin_name(g, 1), u"SubtitleHandler");
    EXPECT_EQ(pin_name(g, 2), u"SubtitleHandler (plain text)");
    EXPECT_EQ(connected_type(g, 1).subtype, MEDIASUBTYPE_TimedText);
    EXPECT_EQ(connected_type(g, 2).subtype, MEDIASUBTYPE_UTF8);
    // Text packets carry no data, which the output pin does not send on.
    ASSERT_TRUE(g.run_to_end());
    EXPECT_TRUE(g.sinks[1]->samples().empty());
    EXPECT_TRUE(g.sinks[2]->samples().empty());
    EXPECT_FALSE(g.sinks[0]->samples().empty());
}

TEST(MP4Parser, MoviesWithoutAUsableTrackAreRefused)
{
    plat::TempFolder dir;
    const Bytes payload(100, 1);
    const struct {
        const char* name;
        std::vector<mt::TrackSpec> tracks;
    } cases[] = {
        {"hint only", {{1, "hint", "", mt::atom("rtp ", mt::be(0, 8)), {100}, 1000, {}, payload}}},
        {"visual entry of another format", {{1, "vide", "", mt::visual_entry("mp4v", 16, 16, mt::esds(0x21, 4, {})), {100}, 1000, {}, payload}}},
        {"description index 0", {{1, "soun", "", mt::audio_entry("twos", 1, 8, 8000), {}, 1000, {}, {}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        EXPECT_EQ(open(g, write_movie(dir, c.tracks)), E_FAIL);
    }
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, Bytes>>{
             {"raw MPEG-4 video", read_file(test_media("plain.m4v"))}, {"FLV", read_file(test_media("h263-mp3.flv"))}}) {
        SCOPED_TRACE(name);
        SplitterGraph g;
        EXPECT_TRUE(FAILED(open(g, write_file(dir, "other", bytes))));
    }
}

TEST(MP4Parser, PinNamesAndTypesOfSampleEntries)
{
    plat::TempFolder dir;
    const Bytes one(10, 1);
    const struct {
        const char* name;
        mt::TrackSpec track;
        std::u16string pin;
        std::vector<std::u16string> subtypes;
        WORD tag;   // of an audio type
    } cases[] = {
        {"unnamed", {3, "vide", "", mt::visual_entry("divx", 64, 48), {10}, 1000, {}, one}, u"Output 3", {u"divx", u"DIVX"}, 0},
        {"named", {3, "vide", "Camera", mt::visual_entry("DIVX", 64, 48), {10}, 1000, {}, one}, u"Camera", {u"DIVX", u"divx"}, 0},
        {"ms tag", {1, "soun", "", mt::audio_entry(std::string("ms\0\x11", 4), 1, 4, 8000), {10}, 1000, {}, one}, u"Output 1",
         {{0x11, 0, 0, 0}}, 0x11},
        {".mp3", {1, "soun", "", mt::audio_entry(".mp3", 2, 16, 44100), {10}, 1000, {}, one}, u"Output 1", {{0x55, 0, 0, 0}}, 0x55},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        ASSERT_EQ(open(g, write_movie(dir, {c.track})), S_OK);
        EXPECT_EQ(pin_name(g, 0), c.pin);
        EXPECT_EQ(subtypes_of(g, 0), c.subtypes);
        const CMediaType t = connected_type(g, 0);
        if (t.formattype == FORMAT_WaveFormatEx) {
            EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(t.Format())->wFormatTag, c.tag);
        }
    }
}

TEST(MP4Parser, AacChannelsComeFromItsConfigurationWhenItHasTwoBytes)
{
    plat::TempFolder dir;
    const struct {
        Bytes info;
        WORD channels;
    } cases[] = {{{0x12}, 6}, {{0x12, 0x10}, 2}, {{}, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info.size());
        mt::TrackSpec t{1, "soun", "", mt::audio_entry("mp4a", 6, 16, 48000, mt::esds(0x40, 5, c.info)), {10}, 1000, {},
                        Bytes(10, 1)};
        SplitterGraph g;
        ASSERT_EQ(open(g, write_movie(dir, {t})), S_OK);
        const CMediaType type = connected_type(g, 0);
        EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(type.Format())->nChannels, c.channels);
    }
}

TEST(MP4Parser, CutAvcConfigurationStopsTheParameterSetsAtItsEnd)
{
    plat::TempFolder dir;
    // One whole sequence set of 4 bytes, then a picture set that claims 40 bytes but has 2.
    const Bytes record{1, 0x42, 0, 0x1E, 0xFF, 0xE1, 0, 4, 0x67, 0x42, 0, 0x1E, 1, 0, 40, 0x68, 0xCE};
    mt::TrackSpec t{1, "vide", "", mt::visual_entry("avc1", 64, 48, mt::atom("avcC", record)), {10}, 1000, {}, Bytes(10, 1)};
    SplitterGraph g;
    ASSERT_EQ(open(g, write_movie(dir, {t})), S_OK);
    const CMediaType type = connected_type(g, 0);
    auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(type.Format());
    ASSERT_EQ(mvih->cbSequenceHeader, 6u);
    EXPECT_EQ(type.cbFormat, mpeg2_video_info_size(6));
    EXPECT_EQ(mvih->dwFlags, 4u);
}

TEST(MP4Parser, SeekStartsAtTheSyncSampleAtOrBeforeTheTarget)
{
    plat::TempFolder dir;
    // Ten samples of 100 ms; sync samples 3 and 7 (numbers from 1).
    mt::TrackSpec t{1, "vide", "", mt::visual_entry("divx", 64, 48), std::vector<AP4_UI32>(10, 4), 1000, {3, 7}, Bytes(40, 1)};
    const std::string path = write_movie(dir, {t});
    const struct {
        REFERENCE_TIME target;
        REFERENCE_TIME first;
    } cases[] = {{0, 2000000}, {1000000, 2000000}, {5000000, 2000000}, {6500000, 6000000}, {30000000, 6000000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        REFERENCE_TIME target = c.target;
        ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_TRUE(g.run_to_end());
        const auto samples = g.sinks[0]->samples();
        ASSERT_FALSE(samples.empty());
        EXPECT_EQ(samples.front().start + c.target, c.first);
        EXPECT_TRUE(samples.front().sync);
    }
}

TEST(MP4Parser, OneByteSoundSamplesGoOutInBlocks)
{
    plat::TempFolder dir;
    Bytes pcm(40);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<BYTE>(i);
    // A QuickTime version 1 description with 4 bytes a frame; each byte is a sample of 1 ms.
    mt::TrackSpec t{1, "soun", "", mt::audio_entry("sowt", 2, 16, 10000, {}, 4), std::vector<AP4_UI32>(40, 1), 10, {}, pcm};
    SplitterGraph g;
    ASSERT_EQ(open(g, write_movie(dir, {t})), S_OK);
    EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(connected_type(g, 0).Format())->nBlockAlign, 4);
    REFERENCE_TIME target = 60000;   // sample 6: the block starts at 4
    ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(g.run_to_end());
    const auto samples = g.sinks[0]->samples();
    ASSERT_EQ(samples.size(), 9u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        const BYTE first = static_cast<BYTE>(4 + 4 * i);
        EXPECT_EQ(samples[i].data, (std::vector<BYTE>{first, BYTE(first + 1), BYTE(first + 2), BYTE(first + 3)}));
        EXPECT_EQ(samples[i].start + target, 10000 * REFERENCE_TIME(first));
        EXPECT_EQ(samples[i].stop - samples[i].start, 40000);
    }
}

// Uncompressed sound stored a frame a sample (ffmpeg's PCM in .mov): gathered
// into packets of whole frames, at least gathered_sound_bytes but the last,
// holding the bytes as stored and timed by the frames before them.
TEST(MP4Parser, SoundOfAFrameASampleIsGathered)
{
    const struct {
        const char* file;
        std::size_t frame_bytes;
        AP4_UI32 rate;
        std::size_t frames;
    } cases[] = {{"pcm-s16be.mov", 4, 44100, 88200}, {"pcm-u8.mov", 2, 22050, 22050}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = test_media(c.file);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        ASSERT_TRUE(g.run_to_end());
        const auto samples = g.sinks[0]->samples();
        ASSERT_FALSE(samples.empty());
        Bytes joined;
        std::size_t frames = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            SCOPED_TRACE(i);
            const std::size_t size = samples[i].data.size();
            ASSERT_EQ(size % c.frame_bytes, 0u);
            if (i + 1 < samples.size()) {
                ASSERT_GE(size, CMP4Parser::gathered_sound_bytes);
            }
            ASSERT_EQ(samples[i].start, in_100ns(static_cast<long long>(frames), c.rate));
            frames += size / c.frame_bytes;
            ASSERT_EQ(samples[i].stop, in_100ns(static_cast<long long>(frames), c.rate));
            joined.insert(joined.end(), samples[i].data.begin(), samples[i].data.end());
        }
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(joined, stored_sound(path));
    }
}

TEST(MP4Parser, UnconnectedPinIsPassedOver)
{
    const std::string path = test_media("mpeg4-mp3.mp4");
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.graph->Disconnect(g.sinks[1]->input())));
    ASSERT_TRUE(SUCCEEDED(g.graph->Disconnect(g.splitter->GetPin(1))));
    ASSERT_TRUE(g.run_to_end());
    EXPECT_EQ(g.sinks[0]->sample_count(), 75u);
    EXPECT_EQ(g.sinks[1]->sample_count(), 0u);
}

TEST(MP4Parser, DurationIsTheLongestTrack)
{
    SplitterGraph g;
    ASSERT_EQ(open(g, test_media("mpeg4-mp3.mp4")), S_OK);
    LONGLONG duration = 0;
    ASSERT_EQ(g.graph->GetDuration(&duration), S_OK);
    EXPECT_GE(duration, 30000000);
    EXPECT_LT(duration, 31000000);
}

TEST(MP4Parser, DamagedFilesEndCleanly)
{
    plat::TempFolder dir;
    for (const char* file : {"h264-aac.mp4", "mpeg1-mp2.mp4", "pcm-s16be.mov"}) {
        SCOPED_TRACE(file);
        const Bytes whole = read_file(test_media(file));
        std::vector<std::size_t> flips;
        for (std::size_t at = whole.size() - 3000; at < whole.size(); at += 61) flips.push_back(at);
        expect_each_ends_cleanly(dir, damaged_copies(whole, flips), [](CBaseSplitterFilter* f) {
            return std::make_unique<CMP4Parser>(f);
        });
        const Bytes packed = mt::with_compressed_movie(whole);
        expect_each_ends_cleanly(dir, damaged_copies(packed, {packed.size() - 50, packed.size() - 200}),
                                 [](CBaseSplitterFilter* f) { return std::make_unique<CMP4Parser>(f); });
    }
}

TEST(MP4Parser, RandomDamageThroughTheFileAndTypes)
{
    const Bytes clean = read_file(test_media("h264-aac.mov"));
    const int runs = for_random_damage(clean, [](IAsyncReader* reader) {
        HRESULT hr = S_OK;
        CMP4SplitterFile file(reader, hr);
        if (FAILED(hr)) return;
        for (const auto& track : file.GetMovie()->GetTracks()) {
            AP4_Sample sample;
            AP4_DataBuffer data;
            if (AP4_SUCCEEDED(track->GetSample(0, sample)))
                MakeMP4MediaTypes(*track, sample, file, u"name", "eng");
            for (AP4_Ordinal i = 0; i < track->GetSampleCount(); ++i) track->ReadSample(i, sample, data);
        }
    });
    EXPECT_GT(runs, 0);
}
