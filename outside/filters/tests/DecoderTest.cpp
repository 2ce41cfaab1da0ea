#include "outside/filters/CodecTable.h"
#include "outside/filters/Decoders.h"
#include "outside/filters/testing/FilterTesting.h"
#include "outside/filters/tests/FlvSplitter.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "splitter/base/testing/TestMedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <numeric>

using plat::ComPtr;

namespace {

// ffmpeg's own decoding of a file's first picture, or of its whole sound, as raw bytes.
std::vector<BYTE> reference(const std::string& path, const std::string& what)
{
    return output_of("ffmpeg -nostdin -loglevel error -i '" + path + "' " + what + " -");
}

// File source -> FLV splitter -> a decoder made by class id per output pin -> a recording sink.
class DecoderGraph : public RegisteredFilters {
protected:
    void TearDown() override
    {
        if (graph) graph->Stop();
        sinks.clear();
        graph = {};
        RegisteredFilters::TearDown();
    }

    // Decodes the whole file, from `from` on; `video_type`, when given, is the picture type asked of the video decoder.
    void decode(const std::string& path, const AM_MEDIA_TYPE* video_type = nullptr, REFERENCE_TIME from = 0)
    {
        const ComPtr<CBaseSplitterFilter> splitter = add_flv_splitter(graph.get(), path);
        ASSERT_TRUE(splitter);
        for (int i = 0; i + 1 < splitter->GetPinCount(); ++i) {
            CBasePin* out = splitter->GetPin(i);
            const bool video = offered_major(out) == MEDIATYPE_Video;
            ComPtr<IBaseFilter> decoder = create(video ? filters::CLSID_FlashDecoder : filters::CLSID_KVRAudioDecoder);
            ComPtr<plat::RecordingSink> sink(new plat::RecordingSink());
            graph->AddFilter(decoder.get(), nullptr);
            graph->AddFilter(sink.get(), nullptr);
            ASSERT_EQ(graph->ConnectDirect(out, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
            ASSERT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), sink->input(), video ? video_type : nullptr),
                      S_OK);
            (video ? video_sink : audio_sink) = sink.get();
            sinks.push_back(sink);
        }
        ASSERT_EQ(graph->SetPositions(&from, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_EQ(graph->Run(), S_OK);
        LONG code = 0;
        ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
    }

    std::vector<BYTE> all_sound() const
    {
        std::vector<BYTE> bytes;
        for (const plat::RecordedSample& s : audio_sink->samples()) bytes.insert(bytes.end(), s.data.begin(), s.data.end());
        return bytes;
    }

    ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    std::vector<ComPtr<plat::RecordingSink>> sinks;
    plat::RecordingSink* video_sink = nullptr;
    plat::RecordingSink* audio_sink = nullptr;
};

// YV12 keeps V before U; ffmpeg's yuv420p has U first.
std::vector<BYTE> as_yv12(const std::vector<BYTE>& i420, int width, int height)
{
    const std::size_t luma = static_cast<std::size_t>(width) * height, chroma = luma / 4;
    if (i420.size() < luma + 2 * chroma) return {};
    std::vector<BYTE> out(i420.begin(), i420.begin() + static_cast<std::ptrdiff_t>(luma));
    out.insert(out.end(), i420.begin() + static_cast<std::ptrdiff_t>(luma + chroma), i420.begin() + static_cast<std::ptrdiff_t>(luma + 2 * chroma));
    out.insert(out.end(), i420.begin() + static_cast<std::ptrdiff_t>(luma), i420.begin() + static_cast<std::ptrdiff_t>(luma + chroma));
    return out;
}

}

TEST_F(DecoderGraph, FlashVideoAndMp3DecodeAsFfmpegDoes)
{
    const std::string path = test_media("h263-mp3.flv");
    decode(path);
    ASSERT_NE(video_sink, nullptr);
    ASSERT_NE(audio_sink, nullptr);
    const std::vector<plat::RecordedSample> pictures = video_sink->samples();
    ASSERT_EQ(pictures.size(), probed_packets(path, "video").size());
    EXPECT_EQ(pictures[0].data, as_yv12(reference(path, "-frames:v 1 -f rawvideo -pix_fmt yuv420p"), 176, 144));
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pictures[i].length, 176 * 144 * 3 / 2);
        EXPECT_EQ(pictures[i].start, pictures[i - 1].start + 400000);
    }
    EXPECT_EQ(all_sound(), reference(path, "-vn -f s16le -ac 1"));
    EXPECT_TRUE(video_sink->ended());
    EXPECT_TRUE(audio_sink->ended());
}

TEST_F(DecoderGraph, H264FromItsDecoderConfigurationAndAacToPcm)
{
    const std::string path = test_media("h264-aac.flv");
    decode(path);
    ASSERT_NE(video_sink, nullptr);
    const std::vector<plat::RecordedSample> pictures = video_sink->samples();
    ASSERT_EQ(pictures.size(), probed_packets(path, "video").size());
    EXPECT_EQ(pictures[0].data, as_yv12(reference(path, "-frames:v 1 -f rawvideo -pix_fmt yuv420p"), 640, 360));
    const std::vector<BYTE> sound = all_sound();
    const std::vector<BYTE> expected = reference(path, "-vn -f s16le");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(sound, expected);
}

TEST_F(DecoderGraph, PicturesAsBottomUpRgb32WhenAsked)
{
    CMediaType rgb(MEDIATYPE_Video);
    rgb.SetSubtype(&MEDIASUBTYPE_RGB32);
    rgb.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(rgb.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    *vih = {};
    vih->bmiHeader = {sizeof(BITMAPINFOHEADER), 176, 144, 1, 32, 0, 176 * 144 * 4, 0, 0, 0, 0};
    const std::string path = test_media("h263-mp3.flv");
    decode(path, &rgb);
    ASSERT_NE(video_sink, nullptr);
    const std::vector<plat::RecordedSample> pictures = video_sink->samples();
    ASSERT_FALSE(pictures.empty());
    ASSERT_EQ(pictures[0].data.size(), 176u * 144 * 4);
    // ffmpeg's top-down BGRA against our bottom-up rows, within rounding.
    const std::vector<BYTE> top_down = reference(path, "-frames:v 1 -f rawvideo -pix_fmt bgra");
    ASSERT_EQ(top_down.size(), 176u * 144 * 4);
    int worst = 0;
    for (int y = 0; y < 144; ++y)
        for (int x = 0; x < 176 * 4; x += 4)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(pictures[0].data[(143 - y) * 176 * 4 + x + c] - top_down[y * 176 * 4 + x + c]));
    EXPECT_LE(worst, 6);
}

TEST(CodecTable, TypesTheDecodersTakeAndRefuse)
{
    const auto video = [](DWORD fourcc, LONG width, LONG height, std::size_t extra = 0) {
        CMediaType t(MEDIATYPE_Video);
        t.SetFormatType(&FORMAT_VideoInfo);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.AllocFormatBuffer(static_cast<ULONG>(sizeof(VIDEOINFOHEADER) + extra)));
        std::memset(vih, 0, sizeof(VIDEOINFOHEADER) + extra);
        vih->bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 0, fourcc, 0, 0, 0, 0, 0};
        return t;
    };
    const auto audio = [](WORD tag, WORD channels, DWORD rate, WORD extra = 0, ULONG length = 0) {
        CMediaType t(MEDIATYPE_Audio);
        t.SetFormatType(&FORMAT_WaveFormatEx);
        auto* wfe = reinterpret_cast<WAVEFORMATEX*>(t.AllocFormatBuffer(length ? length : sizeof(WAVEFORMATEX) + extra));
        std::memset(wfe, 0, length ? length : sizeof(WAVEFORMATEX) + extra);
        *wfe = {tag, channels, rate, rate * 2, 2, 16, extra};
        return t;
    };
    const auto avc = [](std::vector<BYTE> sets, DWORD declared) {
        CMediaType t(MEDIATYPE_Video);
        t.SetFormatType(&FORMAT_MPEG2Video);
        auto* m = reinterpret_cast<MPEG2VIDEOINFO*>(t.AllocFormatBuffer(static_cast<ULONG>(mpeg2_video_info_size(sets.size()))));
        std::memset(m, 0, mpeg2_video_info_size(sets.size()));
        m->hdr.bmiHeader = {sizeof(BITMAPINFOHEADER), 640, 360, 1, 0, MAKEFOURCC('A', 'V', 'C', '1'), 0, 0, 0, 0, 0};
        m->cbSequenceHeader = declared;
        m->dwFlags = 4;
        std::memcpy(m->dwSequenceHeader, sets.data(), sets.size());
        return t;
    };
    const std::vector<BYTE> sets = {0, 6, 0x67, 0x42, 0xC0, 0x1E, 0xDA, 0x02, 0, 4, 0x68, 0xCE, 0x3C, 0x80};
    const struct {
        const char* what;
        CMediaType type;
        int codec;
    } cases[] = {
        {"Sorenson H.263", video(MAKEFOURCC('F', 'L', 'V', '1'), 176, 144), AV_CODEC_ID_FLV1},
        {"VP6 of Flash", video(MAKEFOURCC('F', 'L', 'V', '4'), 320, 240), AV_CODEC_ID_VP6F},
        {"MPEG-4 part 2 by the RIFF table", video(MAKEFOURCC('X', 'V', 'I', 'D'), 320, 240), AV_CODEC_ID_MPEG4},
        {"RealVideo 4", video(MAKEFOURCC('R', 'V', '4', '0'), 320, 240), AV_CODEC_ID_RV40},
        {"AVC with its parameter sets", avc(sets, static_cast<DWORD>(sets.size())), AV_CODEC_ID_H264},
        {"MP3", audio(0x55, 2, 44100), AV_CODEC_ID_MP3},
        {"AAC", audio(0xFF, 2, 44100, 2), AV_CODEC_ID_AAC},
        {"PCM", audio(1, 2, 44100), AV_CODEC_ID_PCM_S16LE},
        {"an unknown picture code", video(MAKEFOURCC('Z', 'Z', 'Z', 'Z'), 320, 240), AV_CODEC_ID_NONE},
        {"no width", video(MAKEFOURCC('F', 'L', 'V', '1'), 0, 144), AV_CODEC_ID_NONE},
        {"a picture of absurd size", video(MAKEFOURCC('F', 'L', 'V', '1'), 100000, 144), AV_CODEC_ID_NONE},
        {"parameter sets past the block", avc(sets, 4000), AV_CODEC_ID_NONE},
        {"a parameter set longer than what is left", avc({0, 60, 0x67, 0x42}, 4), AV_CODEC_ID_NONE},
        {"no sequence set", avc({0, 4, 0x68, 0xCE, 0x3C, 0x80}, 6), AV_CODEC_ID_NONE},
        {"extra bytes past the block", audio(0xFF, 2, 44100, 40, sizeof(WAVEFORMATEX) + 2), AV_CODEC_ID_NONE},
        {"no channels", audio(0x55, 0, 44100), AV_CODEC_ID_NONE},
        {"no rate", audio(0x55, 2, 0), AV_CODEC_ID_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<filters::DecoderSetup> setup = filters::decoder_setup(c.type);
        EXPECT_EQ(setup ? setup->codec_id : AV_CODEC_ID_NONE, c.codec);
    }
    const auto h264 = filters::decoder_setup(avc(sets, static_cast<DWORD>(sets.size())));
    ASSERT_TRUE(h264);
    // An avcC record: version, profile, compatibility, level, 4-byte lengths, one set of each kind.
    const std::vector<std::uint8_t> record = {1, 0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0, 6, 0x67, 0x42, 0xC0, 0x1E, 0xDA, 0x02,
                                              1, 0, 4, 0x68, 0xCE, 0x3C, 0x80};
    EXPECT_EQ(h264->extradata, record);
}

TEST_F(DecoderGraph, AfterASeekWhatComesBeforeTheTargetIsPrerollAndTheRestFollowsIt)
{
    const std::string path = test_media("h264-aac.flv");   // no reordering: pictures come in their times' order
    const REFERENCE_TIME target = 25000000;
    REFERENCE_TIME key = 0, first = -1;
    std::size_t after = 0;
    for (const ProbedPacket& p : probed_packets(path, "video")) {
        if (p.key && p.dts <= target) key = p.dts;
        if (p.dts >= target) {
            if (first < 0) first = p.dts;
            ++after;
        }
    }
    decode(path, nullptr, target);
    ASSERT_NE(video_sink, nullptr);
    const std::vector<plat::RecordedSample> pictures = video_sink->samples();
    ASSERT_FALSE(pictures.empty());
    std::size_t shown = 0;
    for (const plat::RecordedSample& p : pictures) {
        EXPECT_EQ(p.preroll, p.start < 0) << p.start;
        if (!p.preroll) ++shown;
    }
    EXPECT_EQ(pictures.front().start, key - target);   // decoding starts at the key picture before the target
    EXPECT_EQ(shown, after);
    const auto first_shown = std::find_if(pictures.begin(), pictures.end(), [](const auto& p) { return !p.preroll; });
    ASSERT_NE(first_shown, pictures.end());
    EXPECT_EQ(first_shown->start, first - target);
    // And it is ffmpeg's picture of that time.
    const std::string at = std::to_string(static_cast<double>(first) / 1e7);
    EXPECT_EQ(first_shown->data,
              as_yv12(reference(path, "-vf select='gte(t\\," + at + ")' -frames:v 1 -f rawvideo -pix_fmt yuv420p"), 640, 360));
}
