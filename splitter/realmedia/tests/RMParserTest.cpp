#include "splitter/realmedia/RMParser.h"

#include "splitter/base/testing/ParserTesting.h"
#include "splitter/realmedia/tests/RmBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace splitter_testing;
using rm::operator+;

namespace {

class RmTest : public ::testing::Test {
protected:
    HRESULT open(SplitterGraph& g, const std::string& path) { return g.open(path, ParserFilter::with<CRMParser>()); }
    std::string write(const rm::Bytes& bytes) { return write_file(m_dir, "f" + std::to_string(m_count++) + ".rm", bytes); }
    plat::TempFolder m_dir;
    int m_count{0};
};

const std::string video_mime = "video/x-pn-realvideo";
const std::string audio_mime = "audio/x-pn-realaudio";

rm::Bytes rm_file(const rm::Bytes& headers, const rm::Bytes& packets, DWORD count, const rm::Bytes& tail = {})
{
    return rm::file_header() + rm::properties(3000) + headers + rm::data(count, packets) + tail;
}

// An RV40 key frame whose header codes 176x144 after the 26 leading bits.
rm::Bytes rv40_key_frame() { return rm::Bytes{0x00, 0x00, 0x00, 0x0A, 0x55, 0x66, 0x77}; }

std::uint32_t le32(const std::vector<BYTE>& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

}

TEST_F(RmTest, StreamsAndTheirTypes)
{
    const rm::Bytes aac_config{0x02, 0x12, 0x10};   // codec data: the AAC marker, then the configuration
    const struct {
        const char* name;
        rm::Bytes headers;
        std::vector<GUID> subtypes;   // of the first pin; empty: the file is refused
        std::vector<WORD> tags;
    } cases[] = {
        {"COOK", rm::media(1, audio_mime, rm::audio_type("cook", 44100, 2)), {plat::fourcc_guid(MAKEFOURCC('C', 'O', 'O', 'K'))}, {0x2004}},
        {"RAAC, then AAC with its configuration", rm::media(1, audio_mime, rm::audio_type("raac", 44100, 2, aac_config)),
         {plat::fourcc_guid(MAKEFOURCC('R', 'A', 'A', 'C')), plat::fourcc_guid(0xFF)}, {0x2006, 0xFF}},
        {"DNET, then AC-3", rm::media(1, audio_mime, rm::audio_type("dnet", 48000, 2)),
         {plat::fourcc_guid(MAKEFOURCC('D', 'N', 'E', 'T')), plat::fourcc_guid(0x2000)}, {0x2005, 0x2000}},
        {"AAC at rate 0", rm::media(1, audio_mime, rm::audio_type("raac", 0, 2)), {}, {}},
        {"unknown codec", rm::media(1, audio_mime, rm::audio_type("abcd", 8000, 1)), {}, {}},
        {"file information only", rm::media(1, "logical-fileinfo", {}), {}, {}},
        {"RV40 whose frames are another size",
         rm::media(0, video_mime, rm::video_type("RV40", 320, 240)),
         {plat::fourcc_guid(MAKEFOURCC('R', 'V', '4', '0')), plat::fourcc_guid(MAKEFOURCC('R', 'V', '4', '0'))}, {}},
    };
    const rm::Bytes key = rm::packet(0, 0, 2, rm::Bytes{0x40, 0x00} + rv40_key_frame());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        const HRESULT hr = open(g, write(rm_file(c.headers, key, 1)));
        ASSERT_EQ(SUCCEEDED(hr), !c.subtypes.empty());
        if (c.subtypes.empty()) continue;
        auto* pin = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(0));
        std::vector<CMediaType> offered;
        CMediaType mt;
        for (int i = 0; pin->GetMediaType(i, &mt) == S_OK; ++i) offered.push_back(mt);
        ASSERT_EQ(offered.size(), c.subtypes.size());
        for (std::size_t i = 0; i < offered.size(); ++i) {
            EXPECT_EQ(offered[i].subtype, c.subtypes[i]);
            if (i < c.tags.size()) {
                EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(offered[i].Format())->wFormatTag, c.tags[i]);
            }
        }
    }
}

TEST_F(RmTest, AacTypeCarriesTheStreamsConfigurationAndRv40TheFrameSize)
{
    SplitterGraph g;
    const rm::Bytes headers = rm::media(0, video_mime, rm::video_type("RV40", 320, 240)) +
                              rm::media(1, audio_mime, rm::audio_type("raac", 44100, 2, {0x02, 0x12, 0x10}));
    ASSERT_EQ(open(g, write(rm_file(headers, rm::packet(0, 0, 2, rm::Bytes{0x40, 0x00} + rv40_key_frame()), 1))), S_OK);
    CMediaType mt;
    auto* video = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(0));
    ASSERT_EQ(video->GetMediaType(0, &mt), S_OK);
    ASSERT_EQ(mt.formattype, FORMAT_VideoInfo2);
    const auto* vih2 = reinterpret_cast<const VIDEOINFOHEADER2*>(mt.Format());
    EXPECT_EQ(vih2->bmiHeader.biWidth, 176);
    EXPECT_EQ(vih2->bmiHeader.biHeight, 144);
    EXPECT_EQ(vih2->dwPictAspectRatioX, 320u);
    EXPECT_EQ(vih2->dwPictAspectRatioY, 240u);
    auto* audio = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(1));
    ASSERT_EQ(audio->GetMediaType(1, &mt), S_OK);
    const auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(mt.Format());
    ASSERT_EQ(wfe->cbSize, 2);
    EXPECT_EQ(mt.Format()[sizeof(WAVEFORMATEX)], 0x12);
    EXPECT_EQ(mt.Format()[sizeof(WAVEFORMATEX) + 1], 0x10);
}

TEST_F(RmTest, AacPacketsSplitIntoFrames)
{
    const rm::Bytes body = rm::Bytes{0x00, 0x20} + rm::be(3, 2) + rm::be(2, 2) + rm::Bytes{1, 1, 1, 2, 2};
    const REFERENCE_TIME frame = 10240000000 / 44100;
    const struct {
        int type;            // the offered type the pin is connected with
        rm::Bytes config;    // codec data: the AAC marker and the configuration
        REFERENCE_TIME spacing;
    } cases[] = {
        {0, {}, frame}, {1, {}, frame}, {0, {0x02, 0x12, 0x10, 0x56, 0xE5, 0x98}, 2 * frame},
        {1, {0x02, 0x12, 0x10, 0x56, 0xE5, 0x98}, 2 * frame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        SCOPED_TRACE(c.config.size());
        SplitterGraph g;
        ASSERT_EQ(open(g, write(rm_file(rm::media(1, audio_mime, rm::audio_type("raac", 44100, 2, c.config)),
                                        rm::packet(1, 100, 2, body), 1))),
                  S_OK);
        const int type = c.type;
        reconnect(g, 0, type);
        ASSERT_TRUE(g.run_to_end());
        const auto samples = g.sinks[0]->samples();
        ASSERT_EQ(samples.size(), 2u);
        EXPECT_EQ(samples[0].data, (std::vector<BYTE>{1, 1, 1}));
        EXPECT_EQ(samples[1].data, (std::vector<BYTE>{2, 2}));
        EXPECT_EQ(samples[0].start, 1000000);
        EXPECT_EQ(samples[1].start, 1000000 + c.spacing);
    }
}

TEST_F(RmTest, VersionOnePacketsHaveAThirteenByteHeader)
{
    SplitterGraph g;
    const rm::Bytes packets = rm::packet(1, 0, 2, {9, 8, 7}, 1) + rm::packet(1, 20, 2, {6, 5}, 0);
    ASSERT_EQ(open(g, write(rm_file(rm::media(1, audio_mime, rm::audio_type("cook", 44100, 2)), packets, 2))), S_OK);
    ASSERT_TRUE(g.run_to_end());
    const auto samples = g.sinks[0]->samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].data, (std::vector<BYTE>{9, 8, 7}));
    EXPECT_EQ(samples[1].data, (std::vector<BYTE>{6, 5}));
    EXPECT_EQ(samples[1].start, 200000);
}

TEST_F(RmTest, VideoPiecesAreReassembledIntoFrames)
{
    using rm::Bytes;
    const auto len2 = [](std::size_t v) { return rm::be(0x4000 | v, 2); };
    const struct {
        const char* name;
        std::vector<Bytes> packets;   // payloads, one packet each, all at one time: pieces of one frame share it
        std::vector<Bytes> frames;    // each frame's piece count byte and pieces, in order
        std::vector<std::vector<DWORD>> offsets;
    } cases[] = {
        {"whole frame", {Bytes{0x40, 0x01, 1, 2, 3}}, {Bytes{1, 2, 3}}, {{0}}},
        {"two pieces, the last counted from the end",
         {Bytes{0x00, 0x01} + len2(5) + len2(0) + Bytes{0x01, 1, 2, 3},
          Bytes{0x81} + Bytes{0x02} + len2(5) + len2(2) + Bytes{0x02, 4, 5}},
         {Bytes{1, 2, 3, 4, 5}}, {{0, 3}}},
        {"two frames in one packet, each with its time",
         {Bytes{0xC0} + len2(2) + len2(40) + Bytes{0x00, 7, 7} + Bytes{0xC0} + len2(1) + len2(80) + Bytes{0x00, 8}},
         {Bytes{7, 7}, Bytes{8}}, {{0}, {0}}},
        {"four-byte length and offset", {Bytes{0x00, 0x01} + rm::be(3, 4) + rm::be(0, 4) + Bytes{0x01, 4, 5, 6}},
         {Bytes{4, 5, 6}}, {{0}}},
        {"the frame still gathered at the end is delivered",
         {Bytes{0x40, 0x01, 9}, Bytes{0x00, 0x01} + len2(6) + len2(0) + Bytes{0x01, 1, 2}}, {Bytes{9}, Bytes{1, 2}}, {{0}, {0}}},
        {"a piece past its frame spoils it", {Bytes{0x00, 0x01} + len2(2) + len2(9) + Bytes{0x01, 1, 2}, Bytes{0x40, 0x01, 5}},
         {Bytes{5}}, {{0}}},
        {"a frame length beyond any picture is refused",
         {Bytes{0x00, 0x01} + rm::be(0x3FFFFFFF, 4) + rm::be(0x3FFFFF00, 4) + Bytes{0x01, 1, 2}}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes body;
        for (const auto& payload : c.packets) body = body + rm::packet(0, 40, 2, payload);
        SplitterGraph g;
        ASSERT_EQ(open(g, write(rm_file(rm::media(0, video_mime, rm::video_type("RV20", 176, 144)), body,
                                        static_cast<DWORD>(c.packets.size())))),
                  S_OK);
        ASSERT_TRUE(g.run_to_end());
        const auto samples = g.sinks[0]->samples();
        ASSERT_EQ(samples.size(), c.frames.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            SCOPED_TRACE(i);
            const auto& d = samples[i].data;
            const std::size_t pieces = c.offsets[i].size();
            const std::size_t header = 1 + 8 * pieces;
            ASSERT_EQ(d.size(), header + c.frames[i].size());
            EXPECT_EQ(d[0], pieces - 1);
            for (std::size_t p = 0; p < pieces; ++p) {
                EXPECT_EQ(le32(d, 1 + 8 * p), 1u);
                EXPECT_EQ(le32(d, 5 + 8 * p), c.offsets[i][p]);
            }
            EXPECT_EQ(std::vector<BYTE>(d.begin() + static_cast<std::ptrdiff_t>(header), d.end()), c.frames[i]);
        }
        if (std::string_view(c.name) == "two frames in one packet, each with its time") {
            EXPECT_EQ(samples[0].start, 400000);
            EXPECT_EQ(samples[1].start, 800000);
        }
    }
}

TEST_F(RmTest, SeekLandsOnTheLastIndexEntryAtOrBeforeTheTarget)
{
    rm::Bytes body;
    std::vector<DWORD> offsets;
    const rm::Bytes head = rm::file_header() + rm::properties(3000) + rm::media(0, video_mime, rm::video_type("RV20", 176, 144));
    const std::size_t first_packet = head.size() + 18;
    for (DWORD ms = 0; ms < 3000; ms += 500) {
        offsets.push_back(static_cast<DWORD>(first_packet + body.size()));
        body = body + rm::packet(0, ms, ms % 1000 == 0 ? 2 : 0, rm::Bytes{0x40, 0x01, static_cast<BYTE>(ms / 100)});
    }
    const rm::Bytes file = head + rm::data(6, body) +
                           rm::index(0, {{0, offsets[0], 0}, {1000, offsets[2], 2}, {2000, offsets[4], 4}});
    for (const auto& [target, first] : {std::pair{REFERENCE_TIME{15000000}, REFERENCE_TIME{10000000}},
                                        std::pair{REFERENCE_TIME{25000000}, REFERENCE_TIME{20000000}},
                                        std::pair{REFERENCE_TIME{5000000}, REFERENCE_TIME{0}}}) {
        SCOPED_TRACE(target);
        SplitterGraph g;
        ASSERT_EQ(open(g, write(file)), S_OK);
        REFERENCE_TIME t = target;
        ASSERT_EQ(g.graph->SetPositions(&t, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_TRUE(g.run_to_end());
        const auto samples = g.sinks[0]->samples();
        ASSERT_FALSE(samples.empty());
        EXPECT_EQ(samples.front().start + target, first);
        EXPECT_TRUE(samples.front().sync);
    }
}

TEST_F(RmTest, SubtitleStreamsGetPinsOfTheirOwn)
{
    SplitterGraph g;
    const rm::Bytes file = rm_file(rm::media(1, audio_mime, rm::audio_type("cook", 44100, 2)),
                                   rm::packet(1, 0, 2, {1}), 1, rm::subtitle("en", "hello"));
    ASSERT_EQ(open(g, write(file)), S_OK);
    ASSERT_EQ(g.splitter->GetPinCount(), 3);
    EXPECT_EQ(pin_name(g, 1), u"Subtitle 00(en)");
    EXPECT_EQ(connected_type(g, 1).majortype, MEDIATYPE_Text);
    EXPECT_EQ(g.splitter->GetOutputPin(~DWORD{0}), g.splitter->GetPin(1));
    ASSERT_TRUE(g.run_to_end());
    const auto samples = g.sinks[1]->samples();
    ASSERT_EQ(samples.size(), 1u);
    const rm::Bytes expected = rm::str("GAB2") + rm::Bytes{2, 0, 2, 0, 0, 0, 'e', 'n', 4, 0, 5, 0, 0, 0} + rm::str("hello");
    EXPECT_EQ(samples[0].data, expected);
}

TEST_F(RmTest, FfmpegFilesAgreeWithFfprobe)
{
    for (const char* file : {"rv10.rm", "rv20-ac3.rm"}) {
        SCOPED_TRACE(file);
        const std::string path = test_media(file);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        ASSERT_TRUE(g.run_to_end());
        const auto video = g.sinks[0]->samples();
        const auto expected = probe_stream(path, 0);
        ASSERT_EQ(video.size(), expected.size());
        for (std::size_t i = 0; i < video.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(video[i].length, expected[i].size);
            EXPECT_EQ(video[i].start, expected[i].pts);
            EXPECT_EQ(video[i].sync, expected[i].key);
        }
    }
    // A stream with a version-3 audio header offers no type, so nothing is left to open.
    SplitterGraph g;
    EXPECT_EQ(open(g, test_media("real144.rm")), E_FAIL);
}

TEST_F(RmTest, Ac3ComesBackWithItsWordsSwappedBack)
{
    const std::string path = test_media("rv20-ac3.rm");
    const std::string ac3 = m_dir / "audio.ac3";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -i '" + path + "' -map 0:a -c copy -f ac3 '" + ac3 + "'").c_str()), 0);
    const Bytes original = read_file(ac3);
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    reconnect(g, 1, 1);
    EXPECT_EQ(connected_type(g, 1).subtype, plat::fourcc_guid(0x2000));
    ASSERT_TRUE(g.run_to_end());
    Bytes ours;
    for (const auto& s : g.sinks[1]->samples()) ours.insert(ours.end(), s.data.begin(), s.data.end());
    ASSERT_GT(ours.size(), 1000u);
    EXPECT_EQ(ours[0], 0x0B);
    EXPECT_EQ(ours[1], 0x77);
    EXPECT_EQ(ours, original);
}
