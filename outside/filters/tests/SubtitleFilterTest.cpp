#include "outside/filters/Decoders.h"
#include "outside/filters/SubtitleFilter.h"
#include "outside/filters/testing/FilterTesting.h"
#include "outside/filters/tests/FlvSplitter.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "splitter/base/testing/TestMedia.h"

#include <cstring>

using plat::ComPtr;

namespace {

using SubtitleTest = RegisteredFilters;

}

TEST_F(SubtitleTest, PropertiesAreKeptAndRefusedOutsideTheirSet)
{
    ComPtr<IKsPropertySet> properties = create(filters::CLSID_CorvaSubTitle).as<IKsPropertySet>();
    ASSERT_TRUE(properties);
    const GUID& set = filters::PROPSETID_CorvaSubTitle;
    char path[] = "/videos/clip.flv";
    DWORD on = 1, position = 12345;
    EXPECT_EQ(properties->Set(set, 0, nullptr, 0, path, sizeof path), S_OK);
    EXPECT_EQ(properties->Set(set, 1, nullptr, 0, &on, sizeof on), S_OK);
    EXPECT_EQ(properties->Set(set, 4, nullptr, 0, &position, sizeof position), S_OK);
    char back[64] = {};
    DWORD returned = 0;
    EXPECT_EQ(properties->Get(set, 0, nullptr, 0, back, sizeof back, &returned), S_OK);
    EXPECT_STREQ(back, path);
    EXPECT_EQ(returned, sizeof path);
    DWORD value = 0;
    EXPECT_EQ(properties->Get(set, 4, nullptr, 0, &value, sizeof value, &returned), S_OK);
    EXPECT_EQ(value, position);
    EXPECT_EQ(properties->Get(set, 0, nullptr, 0, back, 4, &returned), E_INVALIDARG);   // too small for the path
    EXPECT_EQ(properties->Set(set, 1, nullptr, 0, &on, 2), E_INVALIDARG);
    EXPECT_EQ(properties->Set(set, 2, nullptr, 0, &on, sizeof on), E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(properties->Set(GUID_NULL, 0, nullptr, 0, path, sizeof path), E_PROP_SET_UNSUPPORTED);
    DWORD support = 0;
    EXPECT_EQ(properties->QuerySupported(set, 4, &support), S_OK);
    EXPECT_EQ(support, 3u);
}

TEST_F(SubtitleTest, PicturesPassThroughUnchanged)
{
    const std::string path = test_media("h263-mp3.flv");
    ComPtr<plat::FilterGraph> graph(new plat::FilterGraph());
    const ComPtr<CBaseSplitterFilter> splitter = add_flv_splitter(graph.get(), path);
    ASSERT_TRUE(splitter);
    // Splitter -> decoder -> subtitle filter -> sink: what comes out is what ffmpeg decodes.
    std::vector<ComPtr<plat::RecordingSink>> sinks;
    IPin* video = nullptr;
    for (int i = 0; i + 1 < splitter->GetPinCount(); ++i)
        if (offered_major(splitter->GetPin(i)) == MEDIATYPE_Video) video = splitter->GetPin(i);
    ASSERT_NE(video, nullptr);
    ComPtr<IBaseFilter> decoder = create(filters::CLSID_FlashDecoder);
    ComPtr<IBaseFilter> subtitle = create(filters::CLSID_CorvaSubTitle);
    ComPtr<plat::RecordingSink> sink(new plat::RecordingSink());
    for (IBaseFilter* f : {decoder.get(), subtitle.get(), static_cast<IBaseFilter*>(sink.get())}) graph->AddFilter(f, nullptr);
    ASSERT_EQ(graph->ConnectDirect(video, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), pin(subtitle.get(), PINDIR_INPUT), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pin(subtitle.get(), PINDIR_OUTPUT), sink->input(), nullptr), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(sink->wait_for_end(60000));
    graph->Stop();
    const std::vector<plat::RecordedSample> pictures = sink->samples();
    ASSERT_EQ(pictures.size(), probed_packets(path, "video").size());
    const std::vector<BYTE> first = output_of("ffmpeg -nostdin -loglevel error -i '" + path +
                                              "' -frames:v 1 -f rawvideo -pix_fmt yuv420p -");
    ASSERT_EQ(first.size(), pictures[0].data.size());
    const std::size_t luma = 176 * 144;
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + luma, pictures[0].data.begin()));
    for (std::size_t i = 1; i < pictures.size(); ++i) EXPECT_EQ(pictures[i].start, pictures[i - 1].start + 400000);
}
