#pragma once
// CFlashParser: reads FLV files. At most one audio pin (track 8, the audio
// tag type) and one video pin (track 9); every audio and video tag becomes
// one packet; damaged or unknown data is skipped by a resynchronisation scan.

#include "splitter/base/BaseParser.h"
#include "splitter/base/BaseSplitterFileEx.h"

#include "platform/dshow/MediaType.h"

#include <map>
#include <memory>
#include <vector>

class Packet;

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
    // Continuity of the time stamps across damaged stretches, for one run.
    struct TimeLine {
        DWORD offset{0};   // subtracted from every time stamp after a damaged stretch
        DWORD last{0};     // the last time stamp delivered
        bool segment{false};
    };
    enum class Header { None, Damaged, Config, Media };

    bool ReadTag(Tag& tag);
    bool ReadTag(AudioTag& tag);
    bool ReadTag(VideoTag& tag);
    bool Sync(LONGLONG& position);
    bool TagEndsWhereItSays(LONGLONG data_start, DWORD size);
    std::vector<BYTE> ReadAacConfig(const Tag& t);
    bool AudioType(const AudioTag& at, const Tag& t, CMediaType& type);
    bool VideoType(const VideoTag& vt, const Tag& t, CMediaType& type);
    bool Vp6Type(CMediaType& type);
    bool AvcType(const Tag& t, CMediaType& type);
    void ReadScriptData(const Tag& t);
    void SeekBackToKeyFrame(REFERENCE_TIME start, LONGLONG estimate);

    // One tag of the demultiplexing loop: S_OK or a dropped packet's S_FALSE go on.
    HRESULT DemuxTag(TimeLine& times);
    // False once the source is complete; else waits a little for it to grow.
    bool WaitForMore();
    void Resync(LONGLONG from, const char* debug_line);
    bool SizeIsPlausible(const Tag& t, LONGLONG data_start);
    Header ReadStreamHeader(const Tag& t, AudioTag& at, VideoTag& vt);
    void UpdateConfig(const Tag& t, LONGLONG data_start);
    std::unique_ptr<Packet> MakePacket(const Tag& t, const AudioTag& at, const VideoTag& vt, TimeLine& times);

    DWORD m_data_start{0};
    std::unique_ptr<CBaseSplitterFileEx> m_file;
    std::map<DWORD, CMediaType> m_configs;   // by track: the type last announced, to see a configuration change
};
