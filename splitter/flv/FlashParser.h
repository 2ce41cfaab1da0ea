#pragma once
// CFlashParser: reads FLV files. At most one audio pin (track 8, the audio
// tag type) and one video pin (track 9); every audio and video tag becomes
// one packet; damaged or unknown data is skipped by a resynchronisation scan.

#include "splitter/base/BaseParser.h"
#include "splitter/base/BaseSplitterFileEx.h"

#include <memory>

class CMediaType;

class CFlashParser final : public CBaseParser {
public:
    explicit CFlashParser(CBaseSplitterFilter* filter);
    ~CFlashParser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override { return true; }
    void CloseFile() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    bool SyncToPosition(LONGLONG offset) override;
    int DemuxLoop() override;
    REFERENCE_TIME GetDuration() override;
    bool SetCacheSize(int size) override;
    LONGLONG GetAvailableLength() override;

private:
    struct Tag;
    struct AudioTag;
    struct VideoTag;

    bool ReadTag(Tag& tag);
    bool ReadTag(AudioTag& tag);
    bool ReadTag(VideoTag& tag);
    bool Sync(LONGLONG& position);
    bool TagEndsWhereItSays(LONGLONG data_start, DWORD size);
    bool AudioType(const AudioTag& at, CMediaType& type);
    bool VideoType(const VideoTag& vt, const Tag& t, CMediaType& type);
    bool Vp6Type(CMediaType& type);
    bool AvcType(const Tag& t, CMediaType& type);
    void ReadScriptData(const Tag& t);
    void SeekBackToKeyFrame(REFERENCE_TIME start, LONGLONG estimate);

    DWORD m_DataOffset{0};
    std::unique_ptr<CBaseSplitterFileEx> m_pFile;
    bool m_IsAVC{false};
};
