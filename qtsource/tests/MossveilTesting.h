#pragma once
// What the filter's tests share: filters over scripted or real movies,
// their pins by name, and graphs of recording sinks.

#include "outside/quicktime/AvQuickTime.h"
#include "outside/quicktime/testing/ScriptedQuickTime.h"
#include "outside/quicktime/testing/TestMovies.h"
#include "platform/base/Utf.h"
#include "platform/dshow/BaseOutputPin.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "qtsource/MossveilSourceFilter.h"

#include <gtest/gtest.h>

#include <functional>

namespace mossveil_testing {

using plat::ComPtr;

// A filter reading a made-up movie; `adjust` may script failures.
inline ComPtr<MossveilSourceFilter> scripted_filter(const qt::ScriptedMovie& movie,
                                                    std::function<void(qt::ScriptedQuickTime&)> adjust = {})
{
    return ComPtr<MossveilSourceFilter>(new MossveilSourceFilter([movie, adjust] {
        auto made = std::make_unique<qt::ScriptedQuickTime>(movie);
        if (adjust) adjust(*made);
        return std::unique_ptr<qt::QuickTime>(std::move(made));
    }));
}

inline ComPtr<MossveilSourceFilter> real_filter() { return ComPtr<MossveilSourceFilter>(new MossveilSourceFilter()); }

inline HRESULT load(MossveilSourceFilter* filter, const std::string& path)
{
    return filter->Load(plat::utf8_to_utf16(path).c_str(), nullptr);
}

// The pin of that name, or null.
inline CBasePin* pin_named(MossveilSourceFilter* filter, std::u16string_view name)
{
    for (int i = 0; i < filter->GetPinCount(); ++i)
        if (filter->GetPin(i)->Name() == name) return filter->GetPin(i);
    return nullptr;
}

inline qt::ScriptedSound stereo16(qt::TimeValue frames = 88200)
{
    return {qt::k16BitBigEndianFormat, 2, 16, 44100u << 16, frames};
}
inline qt::ScriptedVideo bars(int depth = 24) { return {321, 241, depth, 20, 60}; }

// A graph of the filter with a recording sink on each of its pins.
struct SinkGraph {
    explicit SinkGraph(IBaseFilter* source) { EXPECT_EQ(graph->AddFilter(source, u"QT Source"), S_OK); }
    ~SinkGraph() { graph->Stop(); }

    // Connects the pin to a new sink, with the type if given.
    ComPtr<plat::RecordingSink> sink_on(IPin* pin, const AM_MEDIA_TYPE* type = nullptr)
    {
        ComPtr<plat::RecordingSink> sink(new plat::RecordingSink());
        EXPECT_EQ(graph->AddFilter(sink.get(), nullptr), S_OK);
        EXPECT_EQ(graph->ConnectDirect(pin, sink->input(), type), S_OK);
        return sink;
    }

    ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
};

}
