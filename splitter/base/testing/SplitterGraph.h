#pragma once
// A graph of file source -> splitter -> one recording sink per output pin,
// for tests and benchmarks.

#include "platform/base/Utf.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/RecordingSink.h"
#include "splitter/base/BaseSplitterFilter.h"

#include <string>
#include <vector>

struct SplitterGraph {
    plat::ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    plat::ComPtr<plat::AsyncFileSource> source;
    plat::ComPtr<CBaseSplitterFilter> splitter;
    std::vector<plat::ComPtr<plat::RecordingSink>> sinks;   // one per output pin, in pin order

    // The result of connecting the source to the splitter (the parser's Open).
    HRESULT open(const std::string& path, CBaseSplitterFilter* filter, plat::Payload payload = plat::Payload::Keep,
                 plat::Growth growth = plat::Growth::Complete)
    {
        splitter = plat::ComPtr<CBaseSplitterFilter>(filter);
        source = plat::ComPtr<plat::AsyncFileSource>(new plat::AsyncFileSource(growth));
        HRESULT hr = source->Load(plat::utf8_to_utf16(path).c_str(), nullptr);
        if (FAILED(hr)) return hr;
        graph->AddFilter(source.get(), u"File Source");
        graph->AddFilter(splitter.get(), u"Splitter");
        hr = graph->ConnectDirect(source->GetPin(0), splitter->GetPin(splitter->GetPinCount() - 1), nullptr);
        if (FAILED(hr)) return hr;
        for (int i = 0; i + 1 < splitter->GetPinCount(); ++i) {
            plat::ComPtr<plat::RecordingSink> sink(new plat::RecordingSink(payload));
            graph->AddFilter(sink.get(), nullptr);
            HRESULT c = graph->ConnectDirect(splitter->GetPin(i), sink->input(), nullptr);
            if (FAILED(c)) return c;
            sinks.push_back(sink);
        }
        return hr;
    }

    // Runs to the end; false when the graph did not complete within the time-out.
    bool run_to_end(LONG timeout_ms = 60000)
    {
        if (FAILED(graph->Run())) return false;
        LONG code = 0;
        return graph->WaitForCompletion(timeout_ms, &code) == S_OK && code == EC_COMPLETE;
    }

    plat::RecordingSink* sink_named(std::u16string_view name)
    {
        for (int i = 0; i + 1 < splitter->GetPinCount(); ++i)
            if (static_cast<CBasePin*>(splitter->GetPin(i))->Name() == name)
                return i < static_cast<int>(sinks.size()) ? sinks[static_cast<std::size_t>(i)].get() : nullptr;
        return nullptr;
    }
};
