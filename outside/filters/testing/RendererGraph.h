#pragma once
// For tests of the renderers and of what presents their pictures: a second of
// red pictures (25 a second, MPEG-4) and a tone (MP3) in an AVI file, played
// through the registered splitter, decoders and renderers on the silent sound
// output, with the UI's device on a headless software rig. A test target using
// it defines STRIMO_REGSVR and FILTERS_MODULE (FilterTesting.h).

#include "outside/filters/AudioRenderer.h"
#include "outside/filters/Decoders.h"
#include "outside/filters/LavfSplitter.h"
#include "outside/filters/VideoMixingRenderer9.h"
#include "outside/filters/testing/FilterTesting.h"
#include "outside/filters/testing/RecordingPresenter.h"
#include "platform/base/Utf.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"

#include <cstdlib>
#include <string>

namespace filters_testing {

class RendererGraph : public RegisteredFilters {
protected:
    void SetUp() override
    {
        RegisteredFilters::SetUp();
        sound = &plat::use_silent_audio();
        rig = test::make_device(16, 16);
    }
    void TearDown() override
    {
        if (graph) graph->Stop();
        if (vmr) vmr.as<IVMRSurfaceAllocatorNotify9>()->AdviseSurfaceAllocator(0, nullptr);
        graph = {};
        plat::use_silent_audio();
        RegisteredFilters::TearDown();
    }

    std::string make_clip()
    {
        const std::string path = folder / "red.avi";
        const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:size=160x120:rate=25:duration=1 "
                                    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
                                    "-c:v mpeg4 -c:a libmp3lame -ac 2 '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    // Source, splitter, decoders and the renderers; without `with_sound` the
    // sound stream stays unconnected.
    void build(bool with_sound, DWORD mode)
    {
        source = plat::ComPtr<plat::AsyncFileSource>(new plat::AsyncFileSource());
        ASSERT_EQ(source->Load(plat::utf8_to_utf16(make_clip()).c_str(), nullptr), S_OK);
        plat::ComPtr<IBaseFilter> splitter = create(filters::CLSID_AVISplitter);
        graph->AddFilter(source.get(), u"File Source");
        graph->AddFilter(splitter.get(), u"AVI Splitter");
        ASSERT_EQ(graph->ConnectDirect(source->GetPin(0), pin(splitter.get(), PINDIR_INPUT), nullptr), S_OK);
        vmr = create(filters::CLSID_VideoMixingRenderer9);
        ASSERT_EQ(vmr.as<IVMRFilterConfig9>()->SetRenderingMode(mode), S_OK);
        if (with_sound) speaker = create(filters::CLSID_DSoundRender);
        for (int i = 0; IPin* out = pin(splitter.get(), PINDIR_OUTPUT, i); ++i) {
            const bool is_video = offered_major(out) == MEDIATYPE_Video;
            if (!is_video && !with_sound) continue;
            plat::ComPtr<IBaseFilter> decoder =
                create(is_video ? filters::CLSID_FlashDecoder : filters::CLSID_KVRAudioDecoder);
            IBaseFilter* renderer = is_video ? vmr.get() : speaker.get();
            graph->AddFilter(decoder.get(), nullptr);
            graph->AddFilter(renderer, is_video ? u"Video Mixing Renderer 9" : u"Default DirectSound Device");
            ASSERT_EQ(graph->ConnectDirect(out, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
            ASSERT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), pin(renderer, PINDIR_INPUT), nullptr), S_OK);
        }
    }

    void play_to_the_end()
    {
        LONG code = 0;
        ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);
    }

    plat::TempFolder folder;
    plat::SilentAudioOutput* sound = nullptr;
    test::DeviceRig rig;
    plat::ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    plat::ComPtr<plat::AsyncFileSource> source;
    plat::ComPtr<IBaseFilter> vmr, speaker;
};

}
