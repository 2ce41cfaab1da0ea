// A WAVE file from anywhere: it opens or is refused, and an opened one never
// yields more than its announced data.

#include "toolkit/sound/WaveReader.h"

#include "platform/base/HResult.h"
#include "platform/base/Resources.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plat::add_resource(u"fuzzed", u"WAVE", std::string(reinterpret_cast<const char*>(data), size));
    WaveReader reader;
    if (FAILED(reader.open(u"fuzzed")))
        return 0;
    if (reader.data_size() == 0 || reader.data_size() > WaveReader::max_data_bytes)
        std::abort();
    std::vector<std::byte> into(reader.data_size() + 16);
    if (reader.read_data(into) > reader.data_size())
        std::abort();
    return 0;
}
