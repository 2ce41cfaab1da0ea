#pragma once
// What the parsers' fuzz targets share: a parser run as the splitter runs it
// (Open on the source, then demultiplexing to the end, a seek to the middle
// and demultiplexing again) over bytes in memory. No pin is connected, so
// every packet is made and then dropped at delivery.

#include "splitter/base/testing/MemoryReader.h"
#include "splitter/base/testing/ParserFilter.h"

#include <cstdint>
#include <vector>

namespace splitter_testing {

inline void run_parser(const std::uint8_t* data, std::size_t size, const ParserFilter::MakeParser& make)
{
    MemoryReader reader(std::vector<BYTE>(data, data + size));
    plat::ComPtr<ParserFilter> filter(new ParserFilter(make));
    if (FAILED(filter->CreateOutputs(&reader))) return;
    filter->DemuxInit();
    filter->DemuxLoop();
    filter->DemuxSeek(filter->parser()->GetDuration() / 2);
    filter->DemuxLoop();
}

}
