// The ".info" and ".data" files of an earlier run, as the cache finds them:
// the input's head is ".info" (its length in the input's last two bytes),
// the rest ".data". The item loads or is refused, and everything a loaded
// item says it holds reads back without a fault.

#include "components/common/murrel/CacheInfo.h"
#include "components/common/murrel/ContentCacheItem.h"
#include "components/common/murrel/IndexRange.h"
#include "platform/fs/testing/TempFolder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const plat::TempFolder folder;
    const tContentKey key{{1, 2, 3, 4}};
    const std::string name = CacheFileName(key);

    FuzzedDataProvider input(data, size);
    const std::size_t info_length = input.ConsumeIntegral<std::uint16_t>();
    const std::string info = input.ConsumeBytesAsString(info_length);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    std::ofstream(folder / (name + ".info"), std::ios::binary | std::ios::trunc) << info;
    std::ofstream(folder / (name + ".data"), std::ios::binary | std::ios::trunc) << bytes;

    const auto item = tContentCacheItem::Load(key, folder.path(), std::chrono::milliseconds(1));
    if (!item) return 0;
    const std::size_t table = info.size() > INFO_HEADER_SIZE ? (info.size() - INFO_HEADER_SIZE) / 4 : 0;
    for (ULONGLONG index = 0; index < std::min<std::size_t>(table, 256); ++index) {
        tSegment segment;
        segment.Allocate(SEGMENT_SIZE);
        if (item->ReadSegment(index, &segment) == RESULT_OK) item->ReleaseSegmentBuffer(&segment);
    }
    std::vector<BYTE> buffer(std::min<std::size_t>(item->GetTotalSize(), 8 * SEGMENT_SIZE) + 100);
    DWORD read = 0;
    const BaseResult result = item->ReadData(buffer.data(), 0, static_cast<DWORD>(buffer.size()), &read, false, 0, {});
    if (read > buffer.size() || (result != RESULT_OK && result != RESULT_FAIL && result != RESULT_END_OF_CONTENT))
        std::abort();
    tIndexRange range;
    item->GetIndexRange(&range);
    return 0;
}
