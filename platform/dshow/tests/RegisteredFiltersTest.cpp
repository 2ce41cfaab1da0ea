#include "platform/dshow/FilterRegistration.h"

#include "platform/base/Utf.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/BasePin.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace {

constexpr CLSID CLSID_VideoOnly = plat::make_guid("{4F0B5E3A-1C2D-4E5F-8A9B-0C1D2E3F4A01}");
constexpr CLSID CLSID_Unlikely = plat::make_guid("{4F0B5E3A-1C2D-4E5F-8A9B-0C1D2E3F4A02}");
constexpr CLSID CLSID_Normal = plat::make_guid("{4F0B5E3A-1C2D-4E5F-8A9B-0C1D2E3F4A03}");
constexpr CLSID CLSID_NeverUsed = plat::make_guid("{4F0B5E3A-1C2D-4E5F-8A9B-0C1D2E3F4A04}");

constexpr plat::PinTypeSetup video_types[] = {{&MEDIATYPE_Video, &GUID_NULL}};
constexpr plat::PinTypeSetup stream_types[] = {{&MEDIATYPE_Stream, &GUID_NULL}, {&MEDIATYPE_Audio, &GUID_NULL}};
constexpr plat::PinSetup video_sink_pins[] = {{"In", true, false, false, false, video_types}};
constexpr plat::PinSetup stream_sink_pins[] = {{"In", true, false, false, false, stream_types}};

class RegisteredFiltersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(path) << "data";
        for (const plat::FilterSetup& setup : {
                 plat::FilterSetup{&CLSID_VideoOnly, "Video Sink", MERIT_PREFERRED, video_sink_pins},
                 plat::FilterSetup{&CLSID_Unlikely, "Unlikely Sink", MERIT_UNLIKELY, stream_sink_pins},
                 plat::FilterSetup{&CLSID_Normal, "Normal Sink", MERIT_NORMAL, stream_sink_pins},
                 plat::FilterSetup{&CLSID_NeverUsed, "Never", MERIT_DO_NOT_USE, stream_sink_pins},
             })
            ASSERT_EQ(plat::write_filter_keys(setup), ERROR_SUCCESS);
    }

    // Counts what the graph makes; the registered classes are recording sinks.
    plat::FilterMaker maker()
    {
        return [this](const CLSID& clsid) {
            ++made[plat::format_guid(clsid)];
            const GUID& major = clsid == CLSID_VideoOnly ? MEDIATYPE_Video : GUID_NULL;
            plat::ComPtr<plat::RecordingSink> sink(new plat::RecordingSink(plat::Payload::Drop, major));
            sinks[plat::format_guid(clsid)] = sink;
            return plat::ComPtr<IBaseFilter>(sink.get());
        };
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    const std::string path = folder / "registered-source";
    std::map<std::string, int> made;
    std::map<std::string, plat::ComPtr<plat::RecordingSink>> sinks;
};

}

TEST_F(RegisteredFiltersTest, FilterDataReadsBackItsMeritAndInputTypes)
{
    const auto data = plat::filter_data({&CLSID_Normal, "Normal Sink", MERIT_NORMAL, stream_sink_pins});
    const auto summary = plat::read_filter_data(data);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->merit, MERIT_NORMAL);
    ASSERT_EQ(summary->inputs.size(), 2u);
    EXPECT_EQ(summary->inputs[0].major, MEDIATYPE_Stream);
    EXPECT_EQ(summary->inputs[1].major, MEDIATYPE_Audio);
    EXPECT_EQ(summary->inputs[1].minor, GUID_NULL);
    // Cut anywhere, the data is refused rather than read past its end.
    for (std::size_t size = 0; size < data.size(); ++size)
        EXPECT_FALSE(plat::read_filter_data(std::span(data).first(size))) << size;
}

TEST_F(RegisteredFiltersTest, RenderTakesTheBestRegisteredFilterForTheTypeOffered)
{
    const auto candidates = plat::registered_filters(maker());
    ASSERT_EQ(candidates.size(), 4u);
    plat::ComPtr<plat::FilterGraph> graph(new plat::FilterGraph(candidates));
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
    ASSERT_EQ(graph->AddFilter(source.get(), u"File Source"), S_OK);

    ASSERT_EQ(graph->Render(source->GetPin(0)), S_OK);
    EXPECT_EQ(graph->Render(source->GetPin(0)), VFW_E_ALREADY_CONNECTED);
    // The video sink's better merit does not matter: it takes no stream and is never made.
    EXPECT_EQ(made, (std::map<std::string, int>{{plat::format_guid(CLSID_Normal), 1}}));
    plat::ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph->FindFilterByName(u"Normal Sink", found.put()), S_OK);
    EXPECT_EQ(found.get(), static_cast<IBaseFilter*>(sinks[plat::format_guid(CLSID_Normal)].get()));
}

TEST_F(RegisteredFiltersTest, RenderUsesASinkAlreadyInTheGraphFirst)
{
    plat::ComPtr<plat::FilterGraph> graph(new plat::FilterGraph(plat::registered_filters(maker())));
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
    plat::ComPtr<plat::RecordingSink> own(new plat::RecordingSink());
    ASSERT_EQ(graph->AddFilter(source.get(), u"File Source"), S_OK);
    ASSERT_EQ(graph->AddFilter(own.get(), u"Own Sink"), S_OK);
    ASSERT_EQ(graph->Render(source->GetPin(0)), S_OK);
    EXPECT_TRUE(made.empty());
    plat::ComPtr<IPin> peer;
    ASSERT_EQ(own->input()->ConnectedTo(peer.put()), S_OK);
    EXPECT_EQ(peer.get(), source->GetPin(0));
}

TEST_F(RegisteredFiltersTest, NothingThatTakesTheTypeLeavesTheGraphAsItWas)
{
    ASSERT_EQ(plat::remove_filter_keys(CLSID_Normal), ERROR_SUCCESS);
    ASSERT_EQ(plat::remove_filter_keys(CLSID_Unlikely), ERROR_SUCCESS);
    plat::ComPtr<plat::FilterGraph> graph(new plat::FilterGraph(plat::registered_filters(maker())));
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
    ASSERT_EQ(graph->AddFilter(source.get(), u"File Source"), S_OK);
    EXPECT_EQ(graph->Render(source->GetPin(0)), VFW_E_CANNOT_CONNECT);
    EXPECT_TRUE(made.empty());
    plat::ComPtr<IEnumFilters> filters;
    ASSERT_EQ(graph->EnumFilters(filters.put()), S_OK);
    IBaseFilter* got[2] = {};
    ULONG fetched = 0;
    filters->Next(2, got, &fetched);
    EXPECT_EQ(fetched, 1u);
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
}
