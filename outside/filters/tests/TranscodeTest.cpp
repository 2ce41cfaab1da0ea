#include "outside/filters/AudioEncoderFilter.h"
#include "outside/filters/Decoders.h"
#include "outside/filters/MultiplexerFilter.h"
#include "outside/filters/VideoEncoderFilter.h"
#include "outside/filters/testing/FilterTesting.h"
#include "outside/filters/tests/FlvSplitter.h"
#include "platform/base/Utf.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "splitter/base/testing/TestMedia.h"

#include <cstring>

using plat::ComPtr;

namespace {

// File source -> FLV splitter -> decoders -> encoders -> multiplexer, as the
// transcode engine builds it, with every filter made by class id.
class Transcode : public RegisteredFilters {
protected:
    void TearDown() override
    {
        if (graph) graph->Stop();
        graph = {};
        RegisteredFilters::TearDown();
    }

    ComPtr<IBaseFilter> add(const CLSID& clsid, const tOutputSettings* settings)
    {
        ComPtr<IBaseFilter> filter = create(clsid);
        if (settings != nullptr) {
            ComPtr<IOutputSettings> taker = filter.as<IOutputSettings>();
            EXPECT_TRUE(taker && taker->SetSettings(0, settings) == S_OK);
        }
        graph->AddFilter(filter.get(), nullptr);
        return filter;
    }

    // Runs the whole chain into `out`; the code the graph completed with.
    LONG run(const std::string& source_path, const std::string& out, const tOutputSettings& settings)
    {
        const ComPtr<CBaseSplitterFilter> splitter = add_flv_splitter(graph.get(), source_path);
        if (!splitter) return E_FAIL;
        ComPtr<IBaseFilter> mux = add(filters::CLSID_KVRMultiplexer, &settings);
        EXPECT_EQ(mux.as<IFileSinkFilter>()->SetFileName(plat::utf8_to_utf16(out).c_str(), nullptr), S_OK);
        for (int i = 0; i + 1 < splitter->GetPinCount(); ++i) {
            CBasePin* from = splitter->GetPin(i);
            const bool video = offered_major(from) == MEDIATYPE_Video;
            ComPtr<IBaseFilter> decoder = add(video ? filters::CLSID_FlashDecoder : filters::CLSID_KVRAudioDecoder, nullptr);
            ComPtr<IBaseFilter> encoder =
                add(video ? filters::CLSID_KVRVideoEncoder : filters::CLSID_KVRAudioEncoder, &settings);
            EXPECT_EQ(graph->ConnectDirect(from, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
            EXPECT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), pin(encoder.get(), PINDIR_INPUT), nullptr), S_OK);
            EXPECT_EQ(graph->ConnectDirect(pin(encoder.get(), PINDIR_OUTPUT), pin(mux.get(), PINDIR_INPUT, video ? 1 : 0),
                                           nullptr),
                      S_OK);
        }
        if (graph->Run() != S_OK) return -1;
        LONG code = 0;
        EXPECT_EQ(graph->WaitForCompletion(120000, &code), S_OK);
        graph->Stop();
        return code;
    }

    // One line of ffprobe's answer for the stream: "codec,profile,width,height,rate,channels,frames".
    static std::string probe(const std::string& path, const char* stream)
    {
        return text_of(std::string("ffprobe -v error -count_frames -select_streams ") + stream +
                       " -show_entries stream=codec_name,profile,width,height,sample_rate,channels,nb_read_frames"
                       " -of csv=p=0 '" + path + "'");
    }

    ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    plat::TempFolder folder;
};

double duration_of(const std::string& path)
{
    return std::atof(text_of("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
}

}

TEST_F(Transcode, FlashVideoBecomesAnMp4EveryPlayerPlays)
{
    const std::string source = test_media("h264-aac.flv");   // 640x360, 6 s
    const std::string out = folder / "out.mp4";
    EXPECT_EQ(run(source, out, tOutputSettings{}), EC_COMPLETE);
    EXPECT_EQ(probe(out, "v"), "h264,Constrained Baseline,640,360,150\n");
    EXPECT_EQ(probe(out, "a").substr(0, 14), "aac,LC,44100,2");
    EXPECT_NEAR(duration_of(out), 6.0, 0.1);
    EXPECT_NE(text_of("ffprobe -v error -show_entries format_tags=major_brand -of csv=p=0 '" + out + "'").find("M4V"),
              std::string::npos);
}

TEST_F(Transcode, SmallPicturesKeepTheirSizeAndBitRatesFollowTheSettings)
{
    const std::string source = test_media("h263-mp3.flv");   // 176x144 with 22.05 kHz mono
    const std::string out = folder / "small.mp4";
    tOutputSettings settings{};
    const std::uint32_t video_rate = 200000, audio_rate = 64000;
    std::memcpy(settings.settings, &video_rate, 4);
    std::memcpy(settings.settings + 4, &audio_rate, 4);
    EXPECT_EQ(run(source, out, settings), EC_COMPLETE);
    EXPECT_EQ(probe(out, "v"), "h264,Constrained Baseline,176,144,150\n");
    EXPECT_EQ(probe(out, "a").substr(0, 14), "aac,LC,44100,2");
    const double audio_kbps =
        std::atof(text_of("ffprobe -v error -select_streams a -show_entries stream=bit_rate -of csv=p=0 '" + out + "'").c_str()) / 1000;
    EXPECT_LT(audio_kbps, 80);
}

TEST(FittedSize, WithinTheLargestPictureThePlayersShow)
{
    const struct {
        int w, h, fw, fh;
    } cases[] = {{640, 360, 640, 360}, {1280, 720, 640, 360}, {1920, 1080, 640, 360}, {720, 576, 600, 480},
                 {176, 144, 176, 144}, {321, 241, 320, 240}, {4000, 100, 640, 16}, {1, 1, 2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        EXPECT_EQ(filters::fitted_size(c.w, c.h), std::make_pair(c.fw, c.fh));
    }
}
