// A movie file from anywhere: its atoms are read or refused, and whatever
// tracks it yields never place a sample outside the input.

#include "outside/ap4/Ap4DataBuffer.h"
#include "outside/ap4/Ap4File.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4Track.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const AP4_StreamReference stream =
        AP4_StreamReference::adopt(new AP4_MemoryByteStream(data, static_cast<AP4_Size>(size)));
    AP4_File file(*stream.get());
    if (!file.GetMovie()) return 0;
    for (const auto& track : file.GetMovie()->GetTracks()) {
        AP4_Sample sample;
        AP4_DataBuffer bytes;
        for (AP4_Ordinal i = 0; i < track->GetSampleCount(); ++i) {
            if (AP4_FAILED(track->ReadSample(i, sample, bytes))) continue;
            if (sample.GetOffset() + bytes.GetDataSize() > size) std::abort();
        }
        AP4_Ordinal index = 0;
        if (AP4_SUCCEEDED(track->GetSampleIndexForTimeStampMs(1000, index)) && index > track->GetSampleCount())
            std::abort();
        track->GetSampleDescription(0);
    }
    return 0;
}
