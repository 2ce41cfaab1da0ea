#include "DownloadEntity.h"

#include "Format.h"
#include "SegmentAllocator.h"

#include "outside/nimbrel/Nimbrel.h"
#include "platform/base/DebugLog.h"

#include <algorithm>
#include <vector>

namespace {

// Seconds an assignment may take before the slave counts as late: 48,000 bytes a second.
constexpr DWORD expected_rate = 48000;

}

void tDownloadEntity::ReleaseSlave(tSegmentAllocator& allocator)
{
    if (item != nullptr) item->Release(MASTER_USER);
    if (slave != nullptr) slave->Release(MASTER_USER);
    item = nullptr;
    slave = nullptr;
    GiveBack(allocator);
    waiting = false;
}

const tSegmentRecord* tDownloadEntity::FindSegment(const tSegmentRecord& record) const
{
    const auto it = std::find_if(segments.begin(), segments.end(), [&](const tSegmentRecord& s) {
        return s.offset == record.offset && s.data == record.data;
    });
    return it == segments.end() ? nullptr : &*it;
}

bool tDownloadEntity::RemoveSegment(const tSegmentRecord& record)
{
    const auto it = std::find_if(segments.begin(), segments.end(), [&](const tSegmentRecord& s) {
        return s.offset == record.offset && s.data == record.data;
    });
    if (it == segments.end()) return false;
    if (it->size != record.size)
        plat::debug_log(format_text("Warning: The Segment %u downloaded but size is different: %u against %u\n",
                                    record.offset, record.size, it->size));
    segments.erase(it);
    return true;
}

void tDownloadEntity::GiveBack(tSegmentAllocator& allocator)
{
    std::vector<tSegmentRecord> records(segments.begin(), segments.end());
    allocator.GiveBack(records.data(), records.size());
    segments.clear();
}

void tDownloadEntity::Shrink()
{
    if (batch >= 9) batch -= 3;
}

void tDownloadEntity::RestartStatistics(std::time_t now)
{
    start = now;
    received = 0;
    speed = 0;
    ULONGLONG bytes = 0;
    for (const tSegmentRecord& s : segments) bytes += s.size;
    assigned = static_cast<DWORD>(std::min<ULONGLONG>(bytes, 0xFFFFFFFFu));
    expected = assigned / expected_rate;
}

void tHTTPDownloadEntity::ReleaseSlave(tSegmentAllocator& allocator)
{
    if (http != nullptr) {
        http->Uninit();
        http->Release(MASTER_USER);
        http = nullptr;
    }
    tDownloadEntity::ReleaseSlave(allocator);
}

void tP2PDownloadEntity::ReleaseSlave(tSegmentAllocator& allocator)
{
    if (init != nullptr) {
        init->Uninit();
        init->Release(MASTER_USER);
        init = nullptr;
    }
    tDownloadEntity::ReleaseSlave(allocator);
}
