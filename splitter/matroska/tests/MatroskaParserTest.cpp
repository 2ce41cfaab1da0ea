#include "splitter/matroska/MatroskaParser.h"

#include "splitter/base/testing/ParserTesting.h"
#include "splitter/matroska/tests/EbmlBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace splitter_testing;
using ebml::operator+;

namespace {

class MkvTest : public ::testing::Test {
protected:
    HRESULT open(SplitterGraph& g, const std::string& path, plat::Growth growth = plat::Growth::Complete)
    {
        return g.open(path, ParserFilter::with<CMatroskaParser>(), plat::Payload::Keep, growth);
    }
    std::string write(const Bytes& bytes) { return write_file(m_dir, "f" + std::to_string(m_count++) + ".mkv", bytes); }

    plat::TempFolder m_dir;
    int m_count{0};
};

constexpr DWORD avc1 = MAKEFOURCC('A', 'V', 'C', '1');
constexpr DWORD mp4v = MAKEFOURCC('M', 'P', '4', 'V');

// The first Cluster's time, as ffprobe sees it: the earliest packet of any stream.
REFERENCE_TIME first_pts(const std::string& path)
{
    REFERENCE_TIME first = INT64_MAX;
    for (const auto& p : probe_stream(path, -1)) first = std::min(first, p.pts);
    return first;
}

ebml::Bytes frames(std::size_t n, BYTE value) { return ebml::Bytes(n, value); }

// A file with the given tracks and clusters.
ebml::Bytes mkv(const std::vector<ebml::Track>& tracks, const ebml::Bytes& clusters, std::uint64_t scale = 1000000)
{
    return ebml::header() + ebml::segment(ebml::info(scale) + ebml::tracks(tracks) + clusters);
}

}

TEST_F(MkvTest, PinsAndTypesFollowTheTracks)
{
    const struct {
        const char* file;
        std::vector<std::pair<std::u16string, GUID>> pins;
    } cases[] = {
        {"h264-vorbis-srt.mkv",
         {{u"Video 1", plat::fourcc_guid(avc1)},
          {u"Audio 1", plat::make_guid("{8D2FD10B-5841-4A6B-8905-588FEC1ADED9}")},
          {u"Subtitle 1", plat::make_guid("{87C0B230-03A8-4FDF-8010-B27A5848200D}")}}},
        {"mpeg4-mp3.mkv", {{u"Video 1", plat::fourcc_guid(mp4v)}, {u"Audio 1", plat::fourcc_guid(0x55)}}},
        {"dirac.mkv", {{u"Video 1", plat::fourcc_guid(0x64726376)}}},
        {"laced.mkv",
         {{u"Audio 1", plat::fourcc_guid(0x2000)}, {u"Audio 2", plat::fourcc_guid(0xFF)}, {u"Audio 3", plat::fourcc_guid(0x55)}}},
        {"zlib.mkv", {{u"Video 1", plat::fourcc_guid(mp4v)}, {u"Audio 1", plat::fourcc_guid(0x55)}}},
        {"piped.mkv", {{u"Video 1", plat::fourcc_guid(mp4v)}, {u"Audio 1", plat::fourcc_guid(0x55)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SplitterGraph g;
        ASSERT_EQ(open(g, test_media(c.file)), S_OK);
        ASSERT_EQ(g.splitter->GetPinCount(), static_cast<int>(c.pins.size()) + 1);
        for (std::size_t i = 0; i < c.pins.size(); ++i) {
            EXPECT_EQ(pin_name(g, static_cast<int>(i)), c.pins[i].first);
            EXPECT_EQ(connected_type(g, static_cast<int>(i)).subtype, c.pins[i].second);
        }
    }
    // The compressed private data comes out decoded: an MPEG-4 visual object sequence.
    SplitterGraph g;
    ASSERT_EQ(open(g, test_media("zlib.mkv")), S_OK);
    const CMediaType v = connected_type(g, 0);
    const auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(v.Format());
    ASSERT_GT(mvih->cbSequenceHeader, 4u);
    EXPECT_EQ(std::memcmp(mvih->dwSequenceHeader, "\x00\x00\x01\xB0", 4), 0);
    EXPECT_EQ(mvih->hdr.bmiHeader.biWidth, 176);
}

TEST_F(MkvTest, PacketsAgreeWithFfprobe)
{
    for (const char* file : {"h264-vorbis-srt.mkv", "mpeg4-mp3.mkv", "laced.mkv", "zlib.mkv", "no-cues.mkv", "piped.mkv",
                             "dirac.mkv"}) {
        SCOPED_TRACE(file);
        const std::string path = test_media(file);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        ASSERT_TRUE(g.run_to_end());
        const REFERENCE_TIME offset = first_pts(path);
        for (std::size_t s = 0; s < g.sinks.size(); ++s) {
            SCOPED_TRACE(s);
            const auto expected = probe_stream(path, static_cast<int>(s));
            const auto samples = g.sinks[s]->samples();
            // ffmpeg writes Dirac blocks without the key-frame flag, yet reports them as key frames.
            const bool is_video = connected_type(g, static_cast<int>(s)).majortype == MEDIATYPE_Video &&
                                  std::string_view(file) != "dirac.mkv";
            ASSERT_EQ(samples.size(), expected.size());
            for (std::size_t i = 0; i < samples.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(samples[i].length, expected[i].size);
                // Of laced frames only the first of a block is marked.
                EXPECT_TRUE(!samples[i].sync || expected[i].key || !is_video);
                EXPECT_TRUE(!is_video || samples[i].sync == expected[i].key);
                // A block's time is to the millisecond; the laced frames after its first share
                // its span evenly, where ffmpeg knows each frame's own length.
                if (samples[i].sync) {
                    EXPECT_NEAR(static_cast<double>(samples[i].start), static_cast<double>(expected[i].pts - offset), 10000);
                }
                EXPECT_GE(samples[i].start, i > 0 ? samples[i - 1].start : 0);
            }
        }
    }
}

TEST_F(MkvTest, SeekStartsAtTheLastKeyFrameAtOrBeforeTheTarget)
{
    for (const char* file : {"h264-vorbis-srt.mkv", "no-cues.mkv"}) {
        const std::string path = test_media(file);
        const REFERENCE_TIME offset = first_pts(path);
        const auto video = probe_stream(path, 0);
        for (REFERENCE_TIME target : {REFERENCE_TIME{15000000}, REFERENCE_TIME{20000000}, REFERENCE_TIME{33000000}}) {
            SCOPED_TRACE(std::string(file) + " " + std::to_string(target));
            REFERENCE_TIME key = 0;
            for (const auto& p : video)
                if (p.key && p.pts - offset <= target) key = p.pts - offset;
            SplitterGraph g;
            ASSERT_EQ(open(g, path), S_OK);
            ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
            ASSERT_TRUE(g.run_to_end());
            const auto samples = g.sinks[0]->samples();
            ASSERT_FALSE(samples.empty());
            EXPECT_TRUE(samples.front().sync);
            EXPECT_EQ(samples.front().start + target, key);
        }
    }
}

TEST_F(MkvTest, WithoutTheWholeStreamEverySeekStartsAtTheFirstCluster)
{
    SplitterGraph g;
    const std::string path = test_media("no-cues.mkv");
    ASSERT_EQ(open(g, path, plat::Growth::Growing), S_OK);
    REFERENCE_TIME target = 20000000;
    ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(g.run_to_end());
    EXPECT_EQ(g.sinks[0]->samples().size(), probe_stream(path, 0).size());
}

TEST_F(MkvTest, TracksAndTheirTypes)
{
    using ebml::Track;
    const ebml::Bytes audio_44k = ebml::element(0xE1, ebml::element(0xB5, ebml::be(0x40E5888000000000, 8)) + ebml::uint(0x9F, 2));
    const ebml::Bytes video_320 = ebml::element(0xE0, ebml::uint(0xB0, 320) + ebml::uint(0xBA, 240));
    const ebml::Bytes bitmap_39(39, 0);
    const struct {
        const char* name;
        Track track;
        std::vector<GUID> subtypes;   // empty: no pin
    } cases[] = {
        {"SBR pair, doubled rate first", Track{1, 2, "A_AAC/MPEG4/LC/SBR", {}, audio_44k},
         {plat::fourcc_guid(0xFF), plat::fourcc_guid(0xFF)}},
        {"MPEG-2 LC", Track{1, 2, "A_AAC/MPEG2/LC", {}, audio_44k}, {plat::fourcc_guid(0xFF)}},
        {"AAC without a profile", Track{1, 2, "A_AAC/MPEG4/XYZ", {}, audio_44k}, {}},
        {"complex track", Track{1, 3, "V_MPEG4/ISO/AVC", {}, {}}, {}},
        {"bitmap header one byte short", Track{1, 1, "V_MS/VFW/FOURCC", bitmap_39, video_320}, {}},
        {"wave header one byte short", Track{1, 2, "A_MS/ACM", ebml::Bytes(17, 1), audio_44k}, {}},
        {"Vorbis packet sizes past the end", Track{1, 2, "A_VORBIS", {2, 30, 200, 1, 2, 3}, audio_44k}, {}},
        {"AVC parameter set past the end", Track{1, 1, "V_MPEG4/ISO/AVC", {1, 66, 0, 30, 0xFF, 0xE1, 0, 40, 1}, video_320}, {}},
        {"AVC without its sets", Track{1, 1, "V_MPEG4/ISO/AVC", {1, 66, 0, 30, 0xFF}, video_320}, {}},
        {"encrypted", Track{1, 2, "A_MPEG/L3", {}, audio_44k + ebml::encryption_encoding()}, {}},
        {"uncompressed video", Track{1, 1, "V_UNCOMPRESSED", {}, video_320}, {}},
        {"FLAC, framed first", Track{1, 2, "A_FLAC", {1, 2, 3}, audio_44k},
         {plat::make_guid("{1541C5C0-CDDF-477D-BC0A-86F8AE7F8354}"), plat::fourcc_guid(0xF1AC)}},
        {"RealVideo", Track{1, 1, "V_REAL/RV40", {1, 2}, video_320}, {plat::fourcc_guid(MAKEFOURCC('R', 'V', '4', '0'))}},
        {"RealAudio", Track{1, 2, "A_REAL/COOK", {}, audio_44k}, {plat::fourcc_guid(MAKEFOURCC('C', 'O', 'O', 'K'))}},
        {"ASCII subtitles", Track{1, 17, "S_TEXT/ASCII", {}, {}}, {GUID_NULL}},
        {"unknown subtitles", Track{1, 17, "S_KATE", {}, {}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        const HRESULT hr = open(g, write(mkv({c.track}, ebml::cluster(0, ebml::simple_block(1, 0, 0x80, frames(10, 1))))));
        ASSERT_EQ(SUCCEEDED(hr), !c.subtypes.empty());
        if (c.subtypes.empty()) continue;
        auto* pin = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(0));
        std::vector<GUID> offered;
        CMediaType mt;
        for (int i = 0; pin->GetMediaType(i, &mt) == S_OK; ++i) offered.push_back(mt.subtype);
        EXPECT_EQ(offered, c.subtypes);
        if (c.subtypes.size() == 2 && c.subtypes[0] == c.subtypes[1]) {
            CMediaType sbr, plain;
            pin->GetMediaType(0, &sbr);
            pin->GetMediaType(1, &plain);
            EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(sbr.Format())->nSamplesPerSec, 88200u);
            EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(plain.Format())->nSamplesPerSec, 44100u);
            EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(sbr.Format())->cbSize, 5);
        }
    }
}

TEST_F(MkvTest, TimesStartAtTheFirstClusterAndSubtitlesKeepTheirInstant)
{
    using ebml::Track;
    const ebml::Bytes file = mkv({Track{1, 2, "A_MPEG/L3", {}, {}}, Track{2, 17, "S_TEXT/UTF8", {}, {}}},
                                 ebml::cluster(5000, ebml::simple_block(1, 0, 0x80, frames(10, 1)) +
                                                         ebml::simple_block(2, 100, 0x80, frames(4, 'a')) +
                                                         ebml::simple_block(1, 26, 0x80, frames(10, 2))));
    SplitterGraph g;
    ASSERT_EQ(open(g, write(file)), S_OK);
    ASSERT_TRUE(g.run_to_end());
    const auto audio = g.sinks[0]->samples();
    ASSERT_EQ(audio.size(), 2u);
    EXPECT_EQ(audio[0].start, 0);
    EXPECT_EQ(audio[0].stop, 260000);   // settled by the next block
    EXPECT_EQ(audio[1].start, 260000);
    const auto subtitles = g.sinks[1]->samples();
    ASSERT_EQ(subtitles.size(), 1u);
    EXPECT_EQ(subtitles[0].start, 1000000);
    EXPECT_EQ(subtitles[0].stop, 1000000);
}

TEST_F(MkvTest, VorbisHeadersComeFirstOnTheSecondVorbisType)
{
    const std::string path = test_media("h264-vorbis-srt.mkv");
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    reconnect(g, 1, 1);
    ASSERT_EQ(connected_type(g, 1).subtype, MEDIASUBTYPE_Vorbis2);
    ASSERT_TRUE(g.run_to_end());
    const auto samples = g.sinks[1]->samples();
    ASSERT_EQ(samples.size(), probe_stream(path, 1).size() + 3);
    // Identification, comment and setup headers, each opening with its packet type.
    for (BYTE i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(samples[i].data.empty());
        EXPECT_EQ(samples[i].data[0], 2 * i + 1);
        EXPECT_EQ(samples[i].start, 0);
        EXPECT_EQ(samples[i].stop, 1);
    }
}

TEST_F(MkvTest, TrackQueries)
{
    SplitterGraph g;
    ASSERT_EQ(open(g, test_media("h264-vorbis-srt.mkv")), S_OK);
    auto* tracks = dynamic_cast<ITrackInfo*>(static_cast<ParserFilter*>(g.splitter.get())->parser());
    ASSERT_NE(tracks, nullptr);
    EXPECT_EQ(tracks->TrackCount(), 3u);
    EXPECT_EQ(std::u16string(tracks->TrackCodecId(0)), u"V_MPEG4/ISO/AVC");
    EXPECT_EQ(std::u16string(tracks->TrackCodecId(2)), u"S_TEXT/UTF8");
    EXPECT_EQ(tracks->TrackCodecId(3), nullptr);
    TrackElement info{};
    ASSERT_TRUE(tracks->TrackInfo(0, &info));
    // Fields of the packed records are read by value: they may sit unaligned.
    EXPECT_EQ(+info.Type, 1);
    EXPECT_EQ(info.Language[3], '\0');
    EXPECT_FALSE(tracks->TrackInfo(3, &info));
    TrackExtendedInfoVideo video{};
    ASSERT_TRUE(tracks->TrackExtendedInfo(0, &video));
    EXPECT_EQ(+video.PixelWidth, 320u);
    EXPECT_EQ(+video.PixelHeight, 240u);
    TrackExtendedInfoAudio audio{};
    ASSERT_TRUE(tracks->TrackExtendedInfo(1, &audio));
    EXPECT_EQ(+audio.SamplingFreq, 44100.0f);
    EXPECT_FALSE(tracks->TrackExtendedInfo(2, &audio));
}

TEST_F(MkvTest, OnlyUnusableTracksRefuseTheFile)
{
    using ebml::Track;
    SplitterGraph g;
    EXPECT_EQ(open(g, write(mkv({Track{1, 3, "V_MPEG4/ISO/AVC"}, Track{2, 2, "A_UNKNOWN"}}, {}))), E_FAIL);
}
