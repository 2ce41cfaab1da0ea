#include "splitter/matroska/MatroskaRecords.h"

#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/MatroskaFile.h"

#include <random>

namespace MatroskaReader {

namespace {

// Calls each(child) for every child element in file order. A field that
// cannot be read stays unset and the walk goes on; running out of memory ends it.
template <class Each>
HRESULT for_each_child(CElementNode* node, Each&& each)
{
    if (!node) return E_POINTER;
    std::unique_ptr<CElementNode> child = node->FirstChild();
    if (!child) return 1;
    do {
        if (each(*child, *child->m_id) == E_OUTOFMEMORY) return E_OUTOFMEMORY;
    } while (child->Next());
    return 0;
}

// Appends a record read from the node, only when its reader succeeds.
template <class T>
HRESULT append(CNode<T>& list, CElementNode& node)
{
    auto record = std::make_unique<T>();
    HRESULT hr = record->Parse(&node);
    if (SUCCEEDED(hr)) list.push_back(std::move(record));
    return hr;
}

}

HRESULT EBMLHeader::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x4286: return EBMLVersion.Parse(&n);
        case 0x42F7: return EBMLReadVersion.Parse(&n);
        case 0x42F2: return EBMLMaxIDLength.Parse(&n);
        case 0x42F3: return EBMLMaxSizeLength.Parse(&n);
        case 0x4282: return DocType.Parse(&n);
        case 0x4287: return DocTypeVersion.Parse(&n);
        case 0x4285: return DocTypeReadVersion.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT Info::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x73A4: return SegmentUID.Parse(&n);
        case 0x7384: return SegmentFilename.Parse(&n);
        case 0x3CB923: return PrevUID.Parse(&n);
        case 0x3C83AB: return PrevFilename.Parse(&n);
        case 0x3EB923: return NextUID.Parse(&n);
        case 0x3E83BB: return NextFilename.Parse(&n);
        case 0x2AD7B1: return TimecodeScale.Parse(&n);
        case 0x4489: return Duration.Parse(&n);
        case 0x4461: return DateUTC.Parse(&n);
        case 0x7BA9: return Title.Parse(&n);
        case 0x4D80: return MuxingApp.Parse(&n);
        case 0x5741: return WritingApp.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT Seek::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        if (id == 0x53AB) return SeekID.Parse(&n);
        if (id == 0x53AC) return SeekPosition.Parse(&n);
        return S_OK;
    });
}

HRESULT SeekHead::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0x4DBB ? append(SeekList, n) : S_OK; });
}

HRESULT Video::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x9A: return FlagInterlaced.Parse(&n);
        case 0x53B8: return StereoMode.Parse(&n);
        case 0xB0: return PixelWidth.Parse(&n);
        case 0xBA: return PixelHeight.Parse(&n);
        case 0x54B0: return DisplayWidth.Parse(&n);
        case 0x54BA: return DisplayHeight.Parse(&n);
        case 0x54B2: return DisplayUnit.Parse(&n);
        case 0x54B3: return AspectRatioType.Parse(&n);
        case 0x2EB524: return ColourSpace.Parse(&n);
        case 0x2FB523: return GammaValue.Parse(&n);
        case 0x2383E3: return FramePerSec.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT Audio::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0xB5: return SamplingFrequency.Parse(&n);
        case 0x78B5: return OutputSamplingFrequency.Parse(&n);
        case 0x9F: return Channels.Parse(&n);
        case 0x7D7B: return ChannelPositions.Parse(&n);
        case 0x6264: return BitDepth.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT ContentCompression::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        if (id == 0x4254) return ContentCompAlgo.Parse(&n);
        if (id == 0x4255) return ContentCompSettings.Parse(&n);
        return S_OK;
    });
}

HRESULT ContentEncryption::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x47E1: return ContentEncAlgo.Parse(&n);
        case 0x47E2: return ContentEncKeyID.Parse(&n);
        case 0x47E3: return ContentSignature.Parse(&n);
        case 0x47E4: return ContentSigKeyID.Parse(&n);
        case 0x47E5: return ContentSigAlgo.Parse(&n);
        case 0x47E6: return ContentSigHashAlgo.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT ContentEncoding::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x5031: return ContentEncodingOrder.Parse(&n);
        case 0x5032: return ContentEncodingScope.Parse(&n);
        case 0x5033: return ContentEncodingType.Parse(&n);
        case 0x5034: return cc.Parse(&n);
        case 0x5035: return ce.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT ContentEncodings::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0x6240 ? append(ce, n) : S_OK; });
}

HRESULT TrackEntry::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0xD7: return TrackNumber.Parse(&n);
        case 0x73C5: return TrackUID.Parse(&n);
        case 0x83: return TrackType.Parse(&n);
        case 0xB9: return FlagEnabled.Parse(&n);
        case 0x88: return FlagDefault.Parse(&n);
        case 0x9C: return FlagLacing.Parse(&n);
        case 0x6DE7: return MinCache.Parse(&n);
        case 0x6DF8: return MaxCache.Parse(&n);
        case 0x536E: return Name.Parse(&n);
        case 0x22B59C: return Language.Parse(&n);
        case 0x86: return CodecID.Parse(&n);
        case 0x63A2: return CodecPrivate.Parse(&n);
        case 0x258688: return CodecName.Parse(&n);
        case 0x3A9697: return CodecSettings.Parse(&n);
        case 0x3B4040: return CodecInfoURL.Parse(&n);
        case 0x26B240: return CodecDownloadURL.Parse(&n);
        case 0xAA: return CodecDecodeAll.Parse(&n);
        case 0x6FAB: return TrackOverlay.Parse(&n);
        case 0x23E383:
        case 0x2383E3: return DefaultDuration.Parse(&n);
        case 0x23314F: return TrackTimecodeScale.Parse(&n);
        case 0xE0: {
            HRESULT hr = v.Parse(&n);
            if (SUCCEEDED(hr)) DescType_Video = true;
            return hr;
        }
        case 0xE1: {
            HRESULT hr = a.Parse(&n);
            if (SUCCEEDED(hr)) DescType_Audio = true;
            return hr;
        }
        case 0x6D80: return ces.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT Track::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0xAE ? append(te, n) : S_OK; });
}

HRESULT CueReference::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x96: return CueRefTime.Parse(&n);
        case 0x97: return CueRefCluster.Parse(&n);
        case 0x535F: return CueRefNumber.Parse(&n);
        case 0xEB: return CueRefCodecState.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT CueTrackPosition::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0xF7: return CueTrack.Parse(&n);
        case 0xF1: return CueClusterPosition.Parse(&n);
        case 0x5378: return CueBlockNumber.Parse(&n);
        case 0xEA: return CueCodecState.Parse(&n);
        case 0xDB: return append(CueReferences, n);
        default: return S_OK;
        }
    });
}

HRESULT CuePoint::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        if (id == 0xB3) return CueTime.Parse(&n);
        if (id == 0xB7) return append(CueTrackPositions, n);
        return S_OK;
    });
}

HRESULT Cue::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0xBB ? append(CuePoints, n) : S_OK; });
}

HRESULT AttachedFile::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x467E: return FileDescription.Parse(&n);
        case 0x466E: return FileName.Parse(&n);
        case 0x4660: return FileMimeType.Parse(&n);
        case 0x465C:
            FileDataPos = n.m_datapos;
            FileDataLen = static_cast<LONGLONG>(*n.m_len);
            return S_OK;
        case 0x46AE: return FileUID.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT Attachment::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0x61A7 ? append(AttachedFiles, n) : S_OK; });
}

HRESULT ChapterDisplay::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        if (id == 0x85) return ChapString.Parse(&n);
        if (id == 0x437C) return ChapLanguage.Parse(&n);
        if (id == 0x437E) return ChapCountry.Parse(&n);
        return S_OK;
    });
}

ChapterAtom::ChapterAtom()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    ChapterUID.Set(random());
}

HRESULT ChapterAtom::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0x73C4: return ChapterUID.Parse(&n);
        case 0x91: return ChapterTimeStart.Parse(&n);
        case 0x92: return ChapterTimeEnd.Parse(&n);
        case 0x98: return ChapterFlagHidden.Parse(&n);
        case 0x4598: return ChapterFlagEnabled.Parse(&n);
        case 0x80: return append(ChapterDisplays, n);
        case 0xB6: return append(ChapterAtoms, n);
        default: return S_OK;
        }
    });
}

ChapterAtom* ChapterAtom::FindChapterAtom(ULONGLONG id)
{
    if (*ChapterUID == id) return this;
    for (auto& atom : ChapterAtoms)
        if (ChapterAtom* found = atom->FindChapterAtom(id)) return found;
    return nullptr;
}

HRESULT EditionEntry::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0xB6 ? append(ChapterAtoms, n) : S_OK; });
}

HRESULT Chapter::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0x45B9 ? append(EditionEntries, n) : S_OK; });
}

HRESULT BlockMore::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        if (id == 0xEE) return BlockAddID.Parse(&n);
        if (id == 0xA5) return BlockAdditional.Parse(&n);
        return S_OK;
    });
}

HRESULT BlockAdditions::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) { return id == 0xA6 ? append(bm, n) : S_OK; });
}

HRESULT TimeSlice::Parse(CElementNode* node)
{
    return for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0xCC: return LaceNumber.Parse(&n);
        case 0xCD: return FrameNumber.Parse(&n);
        case 0xCE: return BlockAdditionID.Parse(&n);
        case 0xCF: return Delay.Parse(&n);
        default: return S_OK;
        }
    });
}

HRESULT BlockGroup::Parse(CElementNode* node, bool full)
{
    HRESULT block = E_FAIL;
    HRESULT hr = for_each_child(node, [&](CElementNode& n, DWORD id) -> HRESULT {
        switch (id) {
        case 0xA1: return block = b.Parse(&n, full);
        case 0x9B: return BlockDuration.Parse(&n);
        case 0xFA: return ReferencePriority.Parse(&n);
        case 0xFB: return ReferenceBlock.Parse(&n);
        case 0xFD: return ReferenceVirtual.Parse(&n);
        case 0xA4: return CodecState.Parse(&n);
        case 0xE8: return append(TimeSlices, n);
        case 0x75A1: return ba.Parse(&n);
        default: return S_OK;
        }
    });
    // A group without a readable Block carries nothing to deliver.
    return FAILED(hr) ? hr : FAILED(block) ? block : hr;
}

}
