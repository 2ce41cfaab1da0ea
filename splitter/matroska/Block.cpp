// The Block record: its header and the lacing of its frames.

#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/MatroskaFile.h"
#include "splitter/matroska/MatroskaRecords.h"

namespace MatroskaReader {

namespace {

enum Lacing { NoLacing = 0, XiphLacing = 1, FixedLacing = 2, EbmlLacing = 3 };

// The size of every frame, checked against what is left of the block before
// anything is read or allocated; false when a lace runs past the block.
bool lace_sizes(CMatroskaFile& f, LONGLONG end, BYTE flags, std::vector<LONGLONG>& sizes)
{
    const int lacing = (flags >> 1) & 3;
    if (lacing == NoLacing) {
        sizes.push_back(end - f.GetPos());
        return true;
    }
    ULONGLONG count = 0;
    if (f.GetPos() >= end || FAILED(f.ReadBE(count, 1))) return false;
    const auto left = [&] { return end - f.GetPos(); };
    LONGLONG total = 0;
    switch (lacing) {
    case XiphLacing:
        for (ULONGLONG i = 0; i < count; ++i) {
            LONGLONG size = 0;
            ULONGLONG b = 255;
            while (b == 255) {
                if (left() <= 0 || FAILED(f.ReadBE(b, 1))) return false;
                size += static_cast<LONGLONG>(b);
            }
            sizes.push_back(size);
            total += size;
        }
        break;
    case FixedLacing: {
        const LONGLONG each = left() / static_cast<LONGLONG>(count + 1);
        sizes.assign(count + 1, each);
        return true;
    }
    case EbmlLacing:
        if (count == 0) break;
        for (ULONGLONG i = 0; i < count; ++i) {
            LONGLONG size;
            if (i == 0) {
                CLength first;
                if (f.GetPos() >= end || FAILED(first.Parse(&f))) return false;
                size = static_cast<LONGLONG>(std::min<ULONGLONG>(*first, INT64_MAX / 2));
            } else {
                CSignedLength delta;
                if (f.GetPos() >= end || FAILED(delta.Parse(&f))) return false;
                size = sizes.back() + static_cast<LONGLONG>(*delta);
            }
            if (size < 0 || size > end) return false;
            sizes.push_back(size);
            total += size;
        }
        break;
    }
    const LONGLONG last = left() - total;
    if (last < 0) return false;
    sizes.push_back(last);
    return true;
}

}

HRESULT Block::Parse(CElementNode* node, bool full)
{
    if (!node) return E_POINTER;
    BlockData.clear();
    if (!node->PayloadFits()) return E_FAIL;
    CMatroskaFile& f = *node->m_pFile;
    const LONGLONG end = node->End();
    node->SeekTo();
    ULONGLONG timecode = 0, flags = 0;
    if (FAILED(TrackNumber.Parse(&f)) || end - f.GetPos() < 3 || FAILED(f.ReadBE(timecode, 2)) ||
        FAILED(f.ReadBE(flags, 1)))
        return E_FAIL;
    TimeCode.Set(static_cast<short>(timecode));
    Lacing.Set(static_cast<BYTE>(flags));
    if (!full) return S_OK;
    std::vector<LONGLONG> sizes;
    if (!lace_sizes(f, end, static_cast<BYTE>(flags), sizes)) return E_FAIL;
    BlockData.reserve(sizes.size());
    for (LONGLONG size : sizes) {
        std::vector<BYTE>& frame = BlockData.emplace_back(static_cast<std::size_t>(size));
        if (size > 0 && f.ByteRead(frame.data(), size) != S_OK) {
            BlockData.clear();
            return E_FAIL;
        }
    }
    return S_OK;
}

std::int64_t Block::FrameBytes() const
{
    std::int64_t total = 0;
    for (const auto& frame : BlockData) total += static_cast<std::int64_t>(frame.size());
    return total;
}

}
