// The reader every parser reads its source through: a program of reads,
// seeks and scans taken from the input's head, over the rest of the input
// as the file. Byte and bit reads must give the file's own bytes and bits,
// whatever the cache size, and positions stay inside the file.

#include "splitter/base/BaseSplitterFileEx.h"
#include "splitter/base/testing/MemoryReader.h"

#include "platform/dshow/MediaType.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "bit reader fuzzer: %s\n", what);
    std::abort();
}

// The file's bits from bit position `at`, most significant first.
ULONGLONG bits_of(const std::vector<BYTE>& file, LONGLONG at, int count)
{
    ULONGLONG value = 0;
    for (int i = 0; i < count; ++i, ++at) value = value << 1 | ((file[at / 8] >> (7 - at % 8)) & 1);
    return value;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int cache = input.PickValueInArray({0, 16, 1000, 2048, 4096});
    std::vector<std::uint8_t> program = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 64));
    splitter_testing::MemoryReader reader(input.ConsumeRemainingBytes<BYTE>());
    const std::vector<BYTE>& file = reader.data;
    const auto length = static_cast<LONGLONG>(file.size());

    HRESULT hr = S_OK;
    CBaseSplitterFileEx reader_file(&reader, hr, CBaseSplitterFile::default_cache, RandomAccess::NotRequired, Streaming::No);
    if (FAILED(hr)) return 0;
    check(reader_file.SetCacheSize(cache), "the cache size is refused");

    FuzzedDataProvider steps(program.data(), program.size());
    LONGLONG bit = 0;   // where the next bit read starts, or -1 after a failed read
    while (steps.remaining_bytes() > 0) {
        switch (steps.ConsumeIntegralInRange(0, 5)) {
        case 0: {
            const LONGLONG to = steps.ConsumeIntegralInRange<LONGLONG>(-2, length + 2);
            reader_file.Seek(to);
            bit = 8 * std::clamp<LONGLONG>(to, 0, length);
            break;
        }
        case 1: {
            const int count = steps.ConsumeIntegralInRange(0, 70);
            const bool peek = steps.ConsumeBool();
            const ULONGLONG value = reader_file.BitRead(count, peek);
            if (bit < 0) break;
            const int wanted = std::min(count, 64);
            if ((bit + wanted + 7) / 8 <= length) {
                check(value == (wanted == 0 ? 0 : bits_of(file, bit, wanted)), "a bit read gives other bits");
                if (!peek) bit += wanted;
            } else {
                check(value == CBaseSplitterFile::failed_bit_read, "a bit read past the end succeeds");
                bit = -1;
            }
            break;
        }
        case 2: {
            const auto count = steps.ConsumeIntegralInRange<LONGLONG>(0, 5000);
            std::vector<BYTE> out(static_cast<std::size_t>(count));
            const LONGLONG from = bit < 0 ? -1 : (bit + 7) / 8;
            const HRESULT read = reader_file.ByteRead(out.data(), count);
            if (from < 0) break;
            if (from + count <= length) {
                check(read == S_OK && std::equal(out.begin(), out.end(), file.begin() + from), "a byte read gives other bytes");
                bit = 8 * (from + count);
            } else {
                check(read != S_OK, "a byte read past the end succeeds");
                bit = -1;
            }
            break;
        }
        case 3:
            steps.ConsumeBool() ? reader_file.BitByteAlign() : reader_file.BitFlush();
            if (bit >= 0) bit = (bit + 7) / 8 * 8;
            break;
        case 4: {
            BYTE code = 0;
            reader_file.NextMpegStartCode(code, steps.ConsumeIntegralInRange<LONGLONG>(0, 100000));
            bit = -1;
            break;
        }
        default: {
            MpegAudioHeader header{};
            CMediaType type;
            if (reader_file.ReadAudioHeader(header, steps.ConsumeIntegralInRange(0, 10000), steps.ConsumeBool(), &type))
                check(header.frame_size > 0 && header.rate > 0, "an audio header without a frame size or rate");
            bit = -1;
            break;
        }
        }
        check(reader_file.GetPos() >= 0 && reader_file.GetPos() <= length, "the position leaves the file");
        if (bit >= 0) check(reader_file.GetPos() == (bit + 7) / 8, "the position is not after the last bit read");
    }
    return 0;
}
