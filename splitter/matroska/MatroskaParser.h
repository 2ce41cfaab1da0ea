#pragma once
// CMatroskaParser: the splitter's parser for Matroska files. One pin per
// video, audio or subtitle track it can describe; every Block and
// SimpleBlock goes to its pin as a MatroskaPacket. Seeks go through the Cues,
// or through an index of the Clusters built at the start when the file has
// none and is wholly available.

#include "splitter/base/BaseParser.h"
#include "splitter/matroska/TrackInfo.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace MatroskaReader {
class CMatroskaFile;
class CElementNode;
struct TrackEntry;
struct BlockGroup;
}

class CMatroskaParser final : public CBaseParser, public ITrackInfo {
public:
    explicit CMatroskaParser(CBaseSplitterFilter* filter);
    ~CMatroskaParser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override;
    void CloseFile() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    int DemuxLoop() override;
    bool SetCacheSize(int size) override;

    UINT TrackCount() override;
    BOOL TrackInfo(UINT index, TrackElement* record) override;
    BOOL TrackExtendedInfo(UINT index, void* record) override;
    const WCHAR* TrackCodecId(UINT index) override;
    const WCHAR* TrackName(UINT index) override;
    const WCHAR* TrackCodecName(UINT index) override;
    const WCHAR* TrackCodecInfoUrl(UINT index) override;
    const WCHAR* TrackCodecDownloadUrl(UINT index) override;

private:
    bool AddTrackPin(MatroskaReader::TrackEntry& track, int kind_number);
    void IndexClusters();
    bool SeekInCluster(REFERENCE_TIME target, ULONGLONG master);
    HRESULT SendVorbisHeaders();
    HRESULT DeliverBlockGroup(std::unique_ptr<MatroskaReader::BlockGroup> group, ULONGLONG cluster_time);
    // True once the demultiplexing thread has a request waiting.
    bool RequestPending() const;
    const WCHAR* Kept(std::u16string text);
    REFERENCE_TIME ToRefTime(LONGLONG t) const;

    std::unique_ptr<MatroskaReader::CMatroskaFile> m_pFile;
    std::unique_ptr<MatroskaReader::CElementNode> m_pRoot;
    std::unique_ptr<MatroskaReader::CElementNode> m_pSegment, m_pCluster, m_pBlock;
    std::map<DWORD, MatroskaReader::TrackEntry*> m_pTrackEntryMap;   // records owned by the file
    std::vector<MatroskaReader::TrackEntry*> m_pOrderedTrackArray;
    std::vector<std::unique_ptr<std::u16string>> m_strings;           // handed out by the track queries
    bool m_bIndexingStopped{false};
};
