#pragma once
// For the filters' tests that start from an FLV clip: the file source and the
// FLV splitter in a graph, connected, ready for the filters under test.

#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/dshow/AsyncFileSource.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/flv/FlashParser.h"

#include <gtest/gtest.h>

#include <string>

// The splitter reading the file at path in graph, its input connected; null,
// with the test failed, when the file does not load or connect. The splitter's
// last pin is its input.
inline plat::ComPtr<CBaseSplitterFilter> add_flv_splitter(IFilterGraph* graph, const std::string& path)
{
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    if (source->Load(plat::utf8_to_utf16(path).c_str(), nullptr) != S_OK) {
        ADD_FAILURE() << "cannot load " << path;
        return {};
    }
    plat::ComPtr<CBaseSplitterFilter> splitter(ParserFilter::with<CFlashParser>());
    graph->AddFilter(source.get(), u"File Source");
    graph->AddFilter(splitter.get(), u"Splitter");
    if (graph->ConnectDirect(source->GetPin(0), splitter->GetPin(splitter->GetPinCount() - 1), nullptr) != S_OK) {
        ADD_FAILURE() << "the splitter does not take " << path;
        return {};
    }
    return splitter;
}
