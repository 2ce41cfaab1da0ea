#include "outside/filters/Decoders.h"
#include "outside/filters/LavfSplitter.h"
#include "outside/filters/testing/FilterTesting.h"
#include "platform/base/Utf.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "platform/fs/testing/TempFolder.h"

#include <cstdlib>

using plat::ComPtr;

namespace {

// Clips of two seconds made by ffmpeg, read through a system splitter made by
// class id and decoded to the end.
class SystemSplitter : public RegisteredFilters {
protected:
    void TearDown() override
    {
        if (graph) graph->Stop();
        graph = {};
        RegisteredFilters::TearDown();
    }

    std::string make(const std::string& name, const std::string& arguments)
    {
        const std::string path = folder / name;
        const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                                    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 " +
                                    arguments + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    // Connects file source and splitter; the result of that connection.
    HRESULT open(const std::string& path, const CLSID& splitter_class)
    {
        source = ComPtr<plat::AsyncFileSource>(new plat::AsyncFileSource());
        if (FAILED(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr))) return E_FAIL;
        splitter = create(splitter_class);
        graph->AddFilter(source.get(), u"File Source");
        graph->AddFilter(splitter.get(), u"Splitter");
        return graph->ConnectDirect(source->GetPin(0), pin(splitter.get(), PINDIR_INPUT), nullptr);
    }

    // Decodes every output of the splitter to the end.
    void decode_all()
    {
        for (int i = 0; IPin* out = pin(splitter.get(), PINDIR_OUTPUT, i); ++i) {
            const bool is_video = offered_major(out) == MEDIATYPE_Video;
            ComPtr<IBaseFilter> decoder = create(is_video ? filters::CLSID_FlashDecoder : filters::CLSID_KVRAudioDecoder);
            ComPtr<plat::RecordingSink> sink(new plat::RecordingSink());
            graph->AddFilter(decoder.get(), nullptr);
            graph->AddFilter(sink.get(), nullptr);
            ASSERT_EQ(graph->ConnectDirect(out, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
            ASSERT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), sink->input(), nullptr), S_OK);
            (is_video ? video : audio) = sink;
        }
        ASSERT_EQ(graph->Run(), S_OK);
        LONG code = 0;
        ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);
    }

    plat::TempFolder folder;
    ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    ComPtr<plat::AsyncFileSource> source;
    ComPtr<IBaseFilter> splitter;
    ComPtr<plat::RecordingSink> video, audio;
};

}

TEST_F(SystemSplitter, EachReadsItsFormatsToTheEnd)
{
    const struct {
        const char* name;
        const char* arguments;
        CLSID splitter;
        bool has_video;
        int channels;
    } cases[] = {
        {"clip.avi", "-c:v mpeg4 -c:a libmp3lame -ac 2", filters::CLSID_AVISplitter, true, 2},
        {"clip.mpg", "-c:v mpeg1video -c:a mp2 -ac 2 -f mpeg", filters::CLSID_MPEG1Splitter, true, 2},
        {"clip.ts", "-c:v mpeg2video -c:a mp2 -ac 2 -f mpegts", filters::CLSID_MPEG2Splitter, true, 2},
        {"clip.mov", "-c:v libx264 -preset ultrafast -c:a aac -ac 2", filters::CLSID_MOVSplitter, true, 2},
        {"tone.wav", "-vn -c:a pcm_s16le -ac 2", filters::CLSID_WaveParser, false, 2},
        {"tone.mp3", "-vn -c:a libmp3lame -ac 2", filters::CLSID_MPEG1Splitter, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        graph = ComPtr<plat::FilterGraph>(new plat::FilterGraph());
        video = audio = {};
        const std::string path = make(c.name, c.arguments);
        ASSERT_EQ(open(path, c.splitter), S_OK);
        decode_all();
        ASSERT_TRUE(audio);
        EXPECT_EQ(static_cast<bool>(video), c.has_video);
        EXPECT_EQ(video ? video->sample_count() : 50u, 50u);
        // Within the encoders' delay and padding of what two seconds hold.
        const double seconds = static_cast<double>(audio->byte_count()) / (44100.0 * 2 * c.channels);
        EXPECT_NEAR(seconds, 2.0, 0.1);
        graph->Stop();
    }
}

TEST_F(SystemSplitter, ASplitterRefusesFormatsThatAreNotItsOwn)
{
    const std::string wav = make("tone.wav", "-vn -c:a pcm_s16le");
    const std::string avi = make("clip.avi", "-c:v mpeg4 -c:a libmp3lame");
    const struct {
        const std::string* path;
        CLSID splitter;
    } cases[] = {{&wav, filters::CLSID_AVISplitter}, {&avi, filters::CLSID_WaveParser}, {&avi, filters::CLSID_MOVSplitter}};
    for (const auto& c : cases) {
        SCOPED_TRACE(*c.path);
        graph = ComPtr<plat::FilterGraph>(new plat::FilterGraph());
        EXPECT_TRUE(FAILED(open(*c.path, c.splitter)));
    }
}
