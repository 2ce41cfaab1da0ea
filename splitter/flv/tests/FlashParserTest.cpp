#include "splitter/flv/FlashParser.h"

#include "platform/base/DebugLog.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using Bytes = std::vector<BYTE>;

void put_be(Bytes& b, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

// An FLV file made by hand: header, then each tag with its trailing size field.
struct FlvBuilder {
    Bytes bytes;
    explicit FlvBuilder(BYTE flags = 5) : bytes{'F', 'L', 'V', 1, flags, 0, 0, 0, 9, 0, 0, 0, 0} {}

    FlvBuilder& tag(BYTE type, std::uint32_t ms, const Bytes& data, std::optional<std::uint32_t> size = {},
                    std::optional<std::uint32_t> trailer = {})
    {
        bytes.push_back(type);
        put_be(bytes, size.value_or(static_cast<std::uint32_t>(data.size())), 3);
        put_be(bytes, ms & 0xFFFFFF, 3);
        bytes.push_back(static_cast<BYTE>(ms >> 24));
        put_be(bytes, 0, 3);
        bytes.insert(bytes.end(), data.begin(), data.end());
        put_be(bytes, trailer.value_or(static_cast<std::uint32_t>(data.size() + 11)), 4);
        return *this;
    }
    // A PCM audio tag and an H.263 video tag of the given sizes.
    FlvBuilder& audio(std::uint32_t ms, std::size_t size = 40) { return tag(8, ms, pcm(size)); }
    FlvBuilder& video(std::uint32_t ms, bool key, std::size_t size = 60) { return tag(9, ms, h263(key, size)); }

    static Bytes pcm(std::size_t size)
    {
        Bytes d{0x0E};   // PCM, 44.1 kHz, 16-bit, mono
        d.resize(size + 1, 0x11);
        return d;
    }
    static Bytes h263(bool key, std::size_t size)
    {
        // Picture start code, then size code 5 (320x240).
        Bytes d{static_cast<BYTE>(key ? 0x12 : 0x22), 0x00, 0x00, 0x84, 0x00, 0x0A};
        d.resize(size + 1, 0x33);
        return d;
    }
};

class FlvTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = m_folder / (name + ".flv");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    HRESULT open(SplitterGraph& g, const std::string& path, plat::Growth growth = plat::Growth::Complete)
    {
        return g.open(path, ParserFilter::with<CFlashParser>(), plat::Payload::Keep, growth);
    }

private:
    plat::TempFolder m_folder;
};

CMediaType offered(SplitterGraph& g, std::u16string_view name)
{
    for (int i = 0; i + 1 < g.splitter->GetPinCount(); ++i) {
        auto* pin = static_cast<CBasePin*>(g.splitter->GetPin(i));
        if (pin->Name() == name) return pin->CurrentMediaType();
    }
    return CMediaType();
}

const BITMAPINFOHEADER* bitmap_of(const CMediaType& t)
{
    if (t.formattype == FORMAT_VideoInfo) return &reinterpret_cast<const VIDEOINFOHEADER*>(t.Format())->bmiHeader;
    if (t.formattype == FORMAT_VideoInfo2) return &reinterpret_cast<const VIDEOINFOHEADER2*>(t.Format())->bmiHeader;
    if (t.formattype == FORMAT_MPEG2Video) return &reinterpret_cast<const MPEG2VIDEOINFO*>(t.Format())->hdr.bmiHeader;
    return nullptr;
}

}

TEST_F(FlvTest, MediaTypesDescribeTheStreams)
{
    const struct {
        const char* file;
        DWORD video_fourcc;
        LONG width, height;
        WORD audio_tag;   // 0: no audio pin
        DWORD audio_rate;
    } cases[] = {
        {"h263-mp3.flv", MAKEFOURCC('F', 'L', 'V', '1'), 176, 144, WAVE_FORMAT_MPEGLAYER3, 22050},
        {"h264-aac.flv", MAKEFOURCC('A', 'V', 'C', '1'), 640, 360, WAVE_FORMAT_AAC, 44100},
        {"h263-352x288.flv", MAKEFOURCC('F', 'L', 'V', '1'), 352, 288, 0, 0},
        {"h263-128x96.flv", MAKEFOURCC('F', 'L', 'V', '1'), 128, 96, 0, 0},
        {"h263-320x240.flv", MAKEFOURCC('F', 'L', 'V', '1'), 320, 240, 0, 0},
        {"h263-160x120.flv", MAKEFOURCC('F', 'L', 'V', '1'), 160, 120, 0, 0},
        {"h263-200x100.flv", MAKEFOURCC('F', 'L', 'V', '1'), 200, 100, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = test_media(c.file);
        ASSERT_FALSE(path.empty());
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        CMediaType v = offered(g, u"Video");
        ASSERT_EQ(v.majortype, MEDIATYPE_Video);
        EXPECT_EQ(v.subtype, plat::fourcc_guid(c.video_fourcc));
        const BITMAPINFOHEADER* bmi = bitmap_of(v);
        ASSERT_NE(bmi, nullptr);
        EXPECT_EQ(bmi->biWidth, c.width);
        EXPECT_EQ(bmi->biHeight, c.height);
        EXPECT_EQ(bmi->biCompression, c.video_fourcc);
        CMediaType a = offered(g, u"Audio");
        if (!c.audio_tag) {
            EXPECT_FALSE(a.IsValid());
            continue;
        }
        ASSERT_EQ(a.formattype, FORMAT_WaveFormatEx);
        auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(a.Format());
        EXPECT_EQ(wfe->wFormatTag, c.audio_tag);
        EXPECT_EQ(wfe->nSamplesPerSec, c.audio_rate);
        EXPECT_EQ(a.subtype, plat::fourcc_guid(c.audio_tag));
    }
}

TEST_F(FlvTest, AvcTypeCarriesTheParameterSetsAndLengthSize)
{
    SplitterGraph g;
    ASSERT_EQ(open(g, test_media("h264-aac.flv")), S_OK);
    CMediaType v = offered(g, u"Video");
    ASSERT_EQ(v.formattype, FORMAT_MPEG2Video);
    auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(v.Format());
    ASSERT_GT(mvih->cbSequenceHeader, 4u);
    EXPECT_EQ(v.cbFormat, mpeg2_video_info_size(mvih->cbSequenceHeader));
    EXPECT_EQ(mvih->dwFlags, 4u);
    EXPECT_EQ(mvih->hdr.dwPictAspectRatioX * 360, mvih->hdr.dwPictAspectRatioY * 640);
    auto* seq = reinterpret_cast<const BYTE*>(mvih->dwSequenceHeader);
    EXPECT_EQ(seq[2] & 0x1F, 7);   // the sequence set first, after its length
}

TEST_F(FlvTest, PacketsAgreeWithFfprobe)
{
    for (const char* file : {"h263-mp3.flv", "h264-aac.flv", "h264-big-keys.flv"}) {
        SCOPED_TRACE(file);
        const std::string path = test_media(file);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        ASSERT_TRUE(g.run_to_end());
        for (auto [pin, kind] : {std::pair{u"Video", "video"}, std::pair{u"Audio", "audio"}}) {
            auto expected = probed_packets(path, kind);
            plat::RecordingSink* sink = g.sink_named(pin);
            if (expected.empty()) {
                EXPECT_EQ(sink, nullptr);
                continue;
            }
            ASSERT_NE(sink, nullptr);
            auto samples = sink->samples();
            ASSERT_EQ(samples.size(), expected.size()) << kind;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(samples[i].start, expected[i].dts);
                EXPECT_EQ(samples[i].stop, expected[i].dts + 1);
                EXPECT_EQ(samples[i].length, expected[i].size);
                EXPECT_EQ(samples[i].sync, expected[i].key);
            }
        }
    }
}

// The decoder configuration inside a connection's format block: the AVC
// parameter sets (each after its 16-bit length) or the bytes after a wave header.
std::vector<Bytes> configuration_of(const CMediaType& t)
{
    if (t.formattype == FORMAT_MPEG2Video) {
        auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(t.Format());
        auto* seq = reinterpret_cast<const BYTE*>(mvih->dwSequenceHeader);
        std::vector<Bytes> sets;
        for (std::size_t at = 0; at + 2 <= mvih->cbSequenceHeader;) {
            const std::size_t n = std::size_t{seq[at]} << 8 | seq[at + 1];
            sets.emplace_back(seq + at + 2, seq + std::min<std::size_t>(at + 2 + n, mvih->cbSequenceHeader));
            at += 2 + n;
        }
        return sets;
    }
    if (t.formattype == FORMAT_WaveFormatEx) {
        auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(t.Format());
        EXPECT_EQ(t.cbFormat, sizeof(WAVEFORMATEX) + wfe->cbSize);
        if (wfe->cbSize == 0) return {};
        auto* extra = reinterpret_cast<const BYTE*>(wfe + 1);
        return {Bytes(extra, extra + wfe->cbSize)};
    }
    return {};
}

// The last sequence and picture parameter sets of an AVC configuration record, as a decoder keeps them.
std::vector<Bytes> avc_sets(const Bytes& record)
{
    if (record.size() < 7) return {};
    Bytes sps, pps;
    std::size_t at = 6;
    auto take = [&](std::size_t count, Bytes& last) {
        for (std::size_t i = 0; i < count && at + 2 <= record.size(); ++i) {
            const std::size_t n = std::size_t{record[at]} << 8 | record[at + 1];
            last.assign(record.begin() + static_cast<std::ptrdiff_t>(at + 2),
                        record.begin() + static_cast<std::ptrdiff_t>(std::min(at + 2 + n, record.size())));
            at += 2 + n;
        }
    };
    take(record[5] & 0x1F, sps);
    if (at < record.size()) take(record[at++], pps);
    return {sps, pps};
}

TEST_F(FlvTest, DecoderConfigurationReachesTheSinkInTheFormatBlock)
{
    for (const char* file : {"h264-aac.flv", "h264-big-keys.flv", "h263-mp3.flv"}) {
        SCOPED_TRACE(file);
        const std::string path = test_media(file);
        SplitterGraph g;
        ASSERT_EQ(open(g, path), S_OK);
        for (auto [pin, kind] : {std::pair{u"Video", "video"}, std::pair{u"Audio", "audio"}}) {
            SCOPED_TRACE(kind);
            plat::RecordingSink* sink = g.sink_named(pin);
            if (!sink) continue;
            const CMediaType connected = static_cast<CBasePin*>(sink->GetPin(0))->CurrentMediaType();
            const Bytes extradata = probed_extradata(path, kind);
            const bool avc = connected.subtype == plat::fourcc_guid(MAKEFOURCC('A', 'V', 'C', '1'));
            const std::vector<Bytes> expected = avc                 ? avc_sets(extradata)
                                                : extradata.empty() ? std::vector<Bytes>{}
                                                                    : std::vector<Bytes>{extradata};
            EXPECT_EQ(configuration_of(connected), expected);
        }
    }
}

TEST_F(FlvTest, ConfigurationChangeTravelsWithTheNextPacket)
{
    auto aac = [](BYTE packet_type, Bytes body) {
        Bytes d{0xAF, packet_type};   // AAC, 44.1 kHz, 16-bit, stereo
        d.insert(d.end(), body.begin(), body.end());
        return d;
    };
    FlvBuilder f;
    f.tag(8, 0, aac(0, {0x12, 0x10})).tag(8, 0, aac(1, Bytes(30, 1))).tag(8, 23, aac(1, Bytes(30, 2)));
    f.tag(8, 46, aac(0, {0x12, 0x10}));   // repeated unchanged: nothing to announce
    f.tag(8, 46, aac(1, Bytes(30, 3)));
    f.tag(8, 69, aac(0, {0x11, 0x90})).tag(8, 69, aac(1, Bytes(30, 4)));
    SplitterGraph g;
    ASSERT_EQ(open(g, write("aac-change", f.bytes)), S_OK);
    EXPECT_EQ(configuration_of(offered(g, u"Audio")), std::vector<Bytes>{Bytes({0x12, 0x10})});
    ASSERT_TRUE(g.run_to_end());
    auto audio = g.sink_named(u"Audio")->samples();
    ASSERT_EQ(audio.size(), 4u);   // the configuration tags are no samples
    for (std::size_t i = 0; i < 3; ++i) EXPECT_FALSE(audio[i].type) << i;
    ASSERT_TRUE(audio[3].type);
    EXPECT_EQ(configuration_of(*audio[3].type), std::vector<Bytes>{Bytes({0x11, 0x90})});
    EXPECT_EQ(audio[3].data, Bytes(30, 4));
}

TEST_F(FlvTest, SeekLandsOnTheKeyFrameAtOrBeforeTheTarget)
{
    for (const char* file : {"h263-mp3.flv", "h264-aac.flv"}) {
        for (REFERENCE_TIME target : {REFERENCE_TIME{25000000}, REFERENCE_TIME{40000000}, REFERENCE_TIME{49990000}}) {
            SCOPED_TRACE(std::string(file) + " " + std::to_string(target));
            const std::string path = test_media(file);
            REFERENCE_TIME key = 0;
            for (const auto& p : probed_packets(path, "video"))
                if (p.key && p.dts <= target) key = p.dts;
            SplitterGraph g;
            ASSERT_EQ(open(g, path), S_OK);
            ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
            ASSERT_TRUE(g.run_to_end());
            auto video = g.sink_named(u"Video")->samples();
            ASSERT_FALSE(video.empty());
            EXPECT_TRUE(video.front().sync);
            EXPECT_EQ(video.front().start + target, key);
            EXPECT_EQ(video.front().preroll, key < target);
        }
    }
}

TEST_F(FlvTest, VideoPinsFollowTheFirstVideoTag)
{
    const struct {
        const char* name;
        Bytes file;
        bool video_pin;
    } cases[] = {
        {"presence bit cleared", FlvBuilder(4).audio(0).video(0, true).bytes, true},
        {"first video tag not a key frame", FlvBuilder().audio(0).video(0, false).video(40, true).bytes, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        ASSERT_EQ(open(g, write("pins", c.file)), S_OK);
        EXPECT_EQ(offered(g, u"Video").IsValid(), c.video_pin);
        EXPECT_TRUE(offered(g, u"Audio").IsValid());
    }
}

TEST_F(FlvTest, Vp6HeaderGivesItsCodedAndDisplayedSize)
{
    auto vp6 = [](BYTE shown_rows, BYTE shown_cols) {
        return Bytes{0x14, 0x21, 0x00, 0x46, 15, 20, shown_rows, shown_cols, 0, 0};
    };
    const struct {
        BYTE rows, cols;
        GUID format;
        DWORD aspect_x, aspect_y;
    } cases[] = {{15, 20, FORMAT_VideoInfo, 0, 0}, {14, 18, FORMAT_VideoInfo2, 288, 224}};
    for (const auto& c : cases) {
        SplitterGraph g;
        ASSERT_EQ(open(g, write("vp6", FlvBuilder(1).tag(9, 0, vp6(c.rows, c.cols)).bytes)), S_OK);
        CMediaType v = offered(g, u"Video");
        EXPECT_EQ(v.subtype, plat::fourcc_guid(MAKEFOURCC('F', 'L', 'V', '4')));
        ASSERT_EQ(v.formattype, c.format);
        const BITMAPINFOHEADER* bmi = bitmap_of(v);
        EXPECT_EQ(bmi->biWidth, 320);
        EXPECT_EQ(bmi->biHeight, 240);
        if (c.format == FORMAT_VideoInfo2) {
            auto* vih2 = reinterpret_cast<const VIDEOINFOHEADER2*>(v.Format());
            EXPECT_EQ(v.cbFormat, 112u);
            EXPECT_EQ(vih2->dwPictAspectRatioX, c.aspect_x);
            EXPECT_EQ(vih2->dwPictAspectRatioY, c.aspect_y);
            EXPECT_EQ(vih2->rcSource.right, 320 - 2);
            EXPECT_EQ(vih2->rcSource.bottom, 240 - 1);
        }
    }
}

TEST_F(FlvTest, DurationComesFromMetadataUnlessItIsImplausible)
{
    auto script = [](double seconds) {
        Bytes d{2, 0, 10, 'o', 'n', 'M', 'e', 't', 'a', 'D', 'a', 't', 'a', 8, 0, 0, 0, 1, 0, 8};
        d.insert(d.end(), {'d', 'u', 'r', 'a', 't', 'i', 'o', 'n', 0});
        std::uint64_t bits = std::bit_cast<std::uint64_t>(seconds);
        for (int i = 7; i >= 0; --i) d.push_back(static_cast<BYTE>(bits >> (8 * i)));
        return d;
    };
    const struct { double meta; REFERENCE_TIME duration; } cases[] = {
        {12.5, 125000000},
        {31536000.0, 2400 * 10000},   // a year or more: the last time stamp instead
        {-3.0, 2400 * 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.meta);
        FlvBuilder f;
        f.tag(18, 0, script(c.meta));
        for (std::uint32_t ms = 0; ms <= 2400; ms += 40) f.audio(ms).video(ms, ms % 400 == 0);
        SplitterGraph g;
        ASSERT_EQ(open(g, write("duration", f.bytes)), S_OK);
        LONGLONG duration = 0;
        g.splitter->GetDuration(&duration);
        EXPECT_EQ(duration, c.duration);
    }
}

TEST_F(FlvTest, LargeTagsAreDataWhenTheirSizeFieldAgrees)
{
    FlvBuilder f;
    f.video(0, true, 200000).audio(0).video(40, false, 70000).audio(40);
    f.tag(9, 80, FlvBuilder::h263(true, 90000), {}, 1234);   // its trailing size disagrees: damage
    f.audio(80).video(120, false).audio(120);
    plat::DebugCapture log;
    SplitterGraph g;
    ASSERT_EQ(open(g, write("large", f.bytes)), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto video = g.sink_named(u"Video")->samples();
    ASSERT_EQ(video.size(), 3u);
    EXPECT_EQ(video[0].length, 200000);
    EXPECT_EQ(video[1].length, 70000);
    EXPECT_EQ(video[2].start, 120 * 10000);
    EXPECT_EQ(g.sink_named(u"Audio")->samples().size(), 4u);
    EXPECT_TRUE(log.contains("Splitter:Error"));
}

TEST_F(FlvTest, TimesContinueAcrossAnUnknownStretch)
{
    FlvBuilder f;
    f.audio(0).audio(40).audio(80);
    f.tag(7, 5000, Bytes(30, 0x55));      // an unknown tag type: a new segment
    f.audio(9000).audio(9040);
    plat::DebugCapture log;
    SplitterGraph g;
    ASSERT_EQ(open(g, write("segment", f.bytes)), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto audio = g.sink_named(u"Audio")->samples();
    ASSERT_EQ(audio.size(), 5u);
    const REFERENCE_TIME expected[] = {0, 400000, 800000, 800000, 1200000};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(audio[i].start, expected[i]) << i;
    EXPECT_TRUE(log.contains("Splitter:Segment"));
}

TEST_F(FlvTest, TimeStampExtensionGivesTimesBeyondFourHours)
{
    const std::uint32_t late = 0x01000000 + 500;   // 16,777,716 ms
    SplitterGraph g;
    ASSERT_EQ(open(g, write("late", FlvBuilder().audio(late).audio(late + 40).bytes)), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto audio = g.sink_named(u"Audio")->samples();
    ASSERT_EQ(audio.size(), 2u);
    EXPECT_EQ(audio[0].start, REFERENCE_TIME{late} * 10000);
}

TEST_F(FlvTest, DamagedFilesEndCleanly)
{
    const Bytes whole = [] {
        std::ifstream in(test_media("h263-mp3.flv"), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }();
    ASSERT_GT(whole.size(), 1000u);
    std::vector<std::pair<std::string, Bytes>> damaged;
    for (int eighth = 1; eighth < 8; ++eighth)
        damaged.emplace_back("cut at " + std::to_string(eighth) + "/8",
                             Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * eighth / 8)));
    for (std::size_t at : {4u, 8u, 13u, 17u, 20u, 24u}) {
        Bytes b = whole;
        b[at] ^= 0xFF;
        damaged.emplace_back("flipped byte " + std::to_string(at), b);
    }
    for (std::size_t at = whole.size() / 3; at < whole.size() / 3 + 4000; at += 331) {
        Bytes b = whole;
        b[at] ^= 0x5A;
        damaged.emplace_back("flipped byte " + std::to_string(at), b);
    }
    damaged.emplace_back("huge sizes", FlvBuilder().audio(0).tag(8, 40, FlvBuilder::pcm(10), 0xFFFFFF, 0xFFFFFFFF).audio(80).bytes);
    damaged.emplace_back("zero size", FlvBuilder().audio(0).tag(8, 40, {}, 0).audio(80).bytes);
    damaged.emplace_back("size past the end", FlvBuilder().audio(0).tag(8, 40, FlvBuilder::pcm(100), 5000000).bytes);
    damaged.emplace_back("truncated tag header", Bytes(whole.begin(), whole.begin() + 20));
    damaged.emplace_back("header only", Bytes(whole.begin(), whole.begin() + 13));
    // An AVC configuration record with one sequence set and no picture set, then a picture.
    const Bytes sps{0x67, 0x42, 0x00, 0x1E, 0x95, 0xA8, 0x28, 0x0F, 0x64};
    Bytes no_pps{0x17, 0x00, 0, 0, 0, 0x01, 0x42, 0x00, 0x1E, 0xFF, 0xE1, 0x00, static_cast<BYTE>(sps.size())};
    no_pps.insert(no_pps.end(), sps.begin(), sps.end());
    no_pps.push_back(0x00);
    damaged.emplace_back("AVC configuration without a picture set",
                         FlvBuilder(1).tag(9, 0, no_pps).tag(9, 0, {0x17, 0x01, 0, 0, 0, 0, 0, 0, 1, 0x65}).bytes);
    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        SplitterGraph g;
        if (FAILED(open(g, write("damaged", bytes)))) continue;   // nothing usable: refused
        ASSERT_EQ(g.graph->Run(), S_OK);
        LONG code = 0;
        ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
        EXPECT_TRUE(code == EC_COMPLETE || code == EC_ERRORABORT);
        EXPECT_EQ(g.graph->Stop(), S_OK);
    }
}

TEST_F(FlvTest, GrowingFileWaitsWhereverItStops)
{
    FlvBuilder f;
    for (std::uint32_t ms = 0; ms < 400; ms += 40) f.audio(ms, 500);
    const std::size_t tag = 4 + 11 + 502;   // a tag with its trailing size field
    const struct {
        const char* name;
        std::size_t cut;
    } cases[] = {
        {"inside a payload", 13 + 5 * tag + 100},
        {"at a tag boundary", 13 + 5 * tag},
        {"inside a tag header", 13 + 5 * tag + 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write("growing", Bytes(f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(c.cut)));
        SplitterGraph g;
        ASSERT_EQ(open(g, path, plat::Growth::Growing), S_OK);
        ASSERT_EQ(g.graph->Run(), S_OK);
        plat::RecordingSink* sink = g.sink_named(u"Audio");
        ASSERT_TRUE(sink->wait_for_samples(5, 60000));
        std::ofstream(path, std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(f.bytes.data() + c.cut),
                   static_cast<std::streamsize>(f.bytes.size() - c.cut));
        g.source->set_growth(plat::Growth::Complete);
        ASSERT_TRUE(sink->wait_for_end(60000));
        EXPECT_EQ(sink->samples().size(), 10u);
        EXPECT_EQ(g.graph->Stop(), S_OK);
    }
}

TEST_F(FlvTest, GrowingFileThatNeverCompletesEndsWhenTheGraphStops)
{
    FlvBuilder f;
    f.audio(0).audio(40);
    SplitterGraph g;
    ASSERT_EQ(open(g, write("stalled", f.bytes), plat::Growth::Growing), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    plat::RecordingSink* sink = g.sink_named(u"Audio");
    ASSERT_TRUE(sink->wait_for_samples(2, 60000));
    EXPECT_FALSE(sink->ended());
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST_F(FlvTest, GraphInsertsTheSplitterByMerit)
{
    int unwanted = 0;
    std::vector<plat::FilterTemplate> candidates{
        {u"Never", MERIT_DO_NOT_USE, [&] { ++unwanted; return plat::ComPtr<IBaseFilter>(); }},
        {u"Splitter", MERIT_NORMAL, [] { return plat::ComPtr<IBaseFilter>(ParserFilter::with<CFlashParser>()); }},
    };
    plat::ComPtr<plat::FilterGraph> graph(new plat::FilterGraph(std::move(candidates)));
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(test_media("h263-mp3.flv")).c_str(), nullptr), S_OK);
    plat::ComPtr<plat::RecordingSink> sink(new plat::RecordingSink(plat::Payload::Drop, MEDIATYPE_Video));
    graph->AddFilter(source.get(), u"File Source");
    graph->AddFilter(sink.get(), u"Sink");
    ASSERT_EQ(graph->Connect(source->GetPin(0), sink->input()), S_OK);
    EXPECT_EQ(unwanted, 0);
    plat::ComPtr<IBaseFilter> splitter;
    ASSERT_EQ(graph->FindFilterByName(u"Splitter", splitter.put()), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(sink->sample_count(), probed_packets(test_media("h263-mp3.flv"), "video").size());
    graph->Stop();
}
