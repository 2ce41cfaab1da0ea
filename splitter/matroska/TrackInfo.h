#pragma once
// ITrackInfo: per-track queries of the Matroska parser, plain calls without
// reference counting. Indexes count the tracks in the order their pins were
// made; the strings belong to the parser and live until it closes its file.

#include "platform/base/Types.h"

#pragma pack(push, 1)
struct TrackElement {
    WORD Size;   // not written
    BYTE Type;
    BOOL FlagDefault;
    BOOL FlagLacing;
    UINT MinCache;
    UINT MaxCache;
    char Language[4];
};

struct TrackExtendedInfoVideo {
    WORD Size;   // not written
    BOOL Interlaced;
    UINT PixelWidth;
    UINT PixelHeight;
    UINT DisplayWidth;
    UINT DisplayHeight;
    BYTE DisplayUnit;
    BYTE AspectRatioType;
};

struct TrackExtendedInfoAudio {
    WORD Size;   // not written
    float SamplingFreq;
    float OutputSamplingFrequency;
    UINT Channels;
    UINT BitDepth;
};
#pragma pack(pop)

static_assert(sizeof(TrackElement) == 23);

struct ITrackInfo {
    virtual UINT TrackCount() = 0;
    virtual BOOL TrackInfo(UINT index, TrackElement* record) = 0;
    // Fills a TrackExtendedInfoVideo or TrackExtendedInfoAudio by the track's kind.
    virtual BOOL TrackExtendedInfo(UINT index, void* record) = 0;
    virtual const WCHAR* TrackCodecId(UINT index) = 0;
    virtual const WCHAR* TrackName(UINT index) = 0;
    virtual const WCHAR* TrackCodecName(UINT index) = 0;
    virtual const WCHAR* TrackCodecInfoUrl(UINT index) = 0;
    virtual const WCHAR* TrackCodecDownloadUrl(UINT index) = 0;

protected:
    ~ITrackInfo() = default;
};
