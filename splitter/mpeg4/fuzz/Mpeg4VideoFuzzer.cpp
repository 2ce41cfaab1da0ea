// Bare MPEG-4 video streams come from anywhere: whatever the bytes, the
// parser opens them or refuses them, and cuts pictures to the end without a fault.

#include "splitter/base/testing/ParserFuzzing.h"
#include "splitter/mpeg4/MPEG4VideoParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    splitter_testing::run_parser(data, size, [](CBaseSplitterFilter* f) { return std::make_unique<CMPEG4VideoParser>(f); });
    return 0;
}
