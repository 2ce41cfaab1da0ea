// RealMedia files come from anywhere: whatever the bytes, the parser opens
// them or refuses them, and demultiplexes to the end without a fault.

#include "splitter/base/testing/ParserFuzzing.h"
#include "splitter/realmedia/RMParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    splitter_testing::run_parser(data, size, [](CBaseSplitterFilter* f) { return std::make_unique<CRMParser>(f); });
    return 0;
}
